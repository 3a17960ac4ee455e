#pragma once
// One animation of a moveable as flat key arrays (root positions and bone rotations), and
// the Fairy key file (.fkeys) written from them.
#include <string>
#include <vector>

#include "level/Maths.h"

namespace lithoscope {

class CTrLevel;
class CTrMvb;

// The keys of animation anim: roots gets keyCount + 1 offsets of bone 0 (the last a copy
// of key 0), rotations (keyCount + 1) x meshCount quaternions, key-major, each one negated
// where that is the shorter way from the one before. Both arrays are emptied first; false
// when the moveable has no such animation.
bool ExtractAnimationKeys(const CTrMvb* moveable, int anim, int* meshCount, int* frameCount,
                          int* keyCount, int* framesPerKey, std::vector<CVector3>* roots,
                          std::vector<CQuaternion>* rotations);

// The .fkeys image of the moveable's nodes and animation anim (-1: nodes only); false when
// the animation does not exist.
bool BuildMoveableFkeys(const CTrMvb* moveable, int anim, std::vector<uint8_t>* image);

// Writes the .fkeys file through the safe writer; false (error set) when the animation
// does not exist or the file can't be written. level is not consulted.
bool ExportMoveableFkeys(const CTrMvb* moveable, const std::string& path, CTrLevel* level,
                         int anim, std::string* error = nullptr);

}  // namespace lithoscope
