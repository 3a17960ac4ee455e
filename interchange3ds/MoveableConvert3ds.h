#pragma once
// Moveables to and from 3D Studio files: one keyframer node per mesh (the mesh tree as the
// node hierarchy) and, on request, one animation as position and rotation keys; and what
// the tree's commands do with an imported object.
#include <cstdint>
#include <string>
#include <vector>

#include "interchange3ds/Chunk3ds.h"
#include "level/Maths.h"

namespace lithoscope {

class CImport3dsOptions;
class CTrLevel;
class CTrLstMsh;
class CTrMvb;
class CTrStatMsh;
struct MaterialTextureMap;
struct TrMeshTreeEntry;

// Writes the moveable as a .3ds file at path with its page beside it as textureName.tga;
// anim: the animation written as keys, -1 for none. Under the Tomb Raider IV body rule the
// dummy meshes of Lara's objects take the meshes of the skin (object 8). False with the
// reason on a toolkit or write failure (the files are then left as they were).
// *drawn (when given) tells whether a mesh was written: a moveable whose meshes are all
// dummies gives a file of its tree and keys only (kNoMeshInMoveable3ds says so).
bool ExportMoveableTo3ds(CTrMvb* mvb, const char* path, const char* textureName, CTrLevel* level,
                         int anim, std::string* error = nullptr, bool* drawn = nullptr);
extern const char* const kNoMeshInMoveable3ds;

// Reads a .3ds file into target (a new, empty moveable): meshes, mesh tree and one
// animation. Nodes without ids count in file order; the helper nodes other tools write (a
// scene root, a node per mesh) are folded away, and nodes without keys are placed by their
// mesh matrices. A file without nodes keeps its meshes, all attached to the first one, and
// says so. False (with a message, target unchanged) when the
// file can't be read, holds no mesh, has more than one root, or is too large.
bool ImportMoveableFrom3ds(CTrMvb* target, const char* path, bool withLights, bool tr4);

// Parent index of each object node (its parent's name among the nodes before it, ignoring
// case; -1 for none); returns the number of roots.
int ResolveNodeParentsFrom3ds(Database3ds* db, std::vector<int>& parents, int count,
                              const StringList3ds* names);
// The mesh tree's pop and push flags from the parents (offsets 0); rewrites parents.
void BuildMeshTreeFromParents(std::vector<TrMeshTreeEntry>& entries, int count,
                              std::vector<int>& parents);
// Meshes, tree offsets, the animation and the boxes of its keys from count object nodes.
bool BuildMoveableFrom3ds(Database3ds* db, CTrMvb* target, int count, bool withLights,
                          MaterialTextureMap* map, bool tr4);
void QuaternionToEuler(const CQuaternion& q, float& ex, float& ey, float& ez);
// Three angles (radians) packed into the two words of a level rotation.
void PackTrRotation(float x, float y, float z, int16_t* word0, int16_t* word1);

// The choice of the "Importing from 3DS" dialog applied to the current moveable, the
// imported one giving its meshes or its animation. Meshes: the current moveable takes the
// imported meshes and tree, whatever their number (as long as the frames of its animations
// still fit a level of levelVersion; -1: the moveable's own version), and keeps its animations; a message says so when
// their frames turn fewer meshes than it now has. An animation is added or replaced only
// between moveables of as many meshes. Messages say why nothing changed; true when the
// current moveable changed.
bool ApplyMoveableImport3ds(CTrMvb& current, CTrMvb& imported, const CImport3dsOptions& choice,
                            int32_t levelVersion = -1);
// Whether the frames of animated's animations, with meshCount meshes, fit a level of that
// version (a frame's size is a byte); a message says so when they don't.
bool ImportedMeshesFit3ds(const CTrMvb& animated, size_t meshCount, int32_t levelVersion);
// A static mesh takes an imported mesh list: collision radius 0, both boxes from the mesh,
// flags 2 (the object id is kept).
void TakeImportedStaticMesh3ds(CTrStatMsh& target, CTrLstMsh& imported);
// Mesh meshIndex of a moveable becomes the imported list's mesh (radius 0, box computed).
bool ReplaceMeshFrom3ds(CTrMvb& target, int meshIndex, CTrLstMsh& imported);

}  // namespace lithoscope
