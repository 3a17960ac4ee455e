#include "level/SoundList.h"
#include "level/TrMvb.h"

namespace lithoscope {

// Moveables do not carry a sound list of their own yet; once they do, this returns it.
const CTrSoundList* MoveableSoundList(const CTrMvb&) { return nullptr; }

}  // namespace lithoscope
