#pragma once
// Sprite lists.
#include "level/TrObjects.h"

namespace lithoscope {

class CTrLstSpr : public CTrObjGfx {};

}  // namespace lithoscope
