#pragma once
// Moveables: a mesh list with its mesh tree, animations and sounds.
#include "level/TrLstMsh.h"

namespace lithoscope {

class CTrMvb : public CTrLstMsh {};

}  // namespace lithoscope
