#pragma once
// Mesh lists and static meshes.
#include "level/TrObjects.h"

namespace lithoscope {

class CTrLstMsh : public CTrObjGfx {};

class CTrStatMsh : public CTrLstMsh {};

}  // namespace lithoscope
