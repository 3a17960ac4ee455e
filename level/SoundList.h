#pragma once
// Sounds keyed by internal index (sound-map slot), for the level and for each moveable.
#include <cstdint>
#include <vector>

namespace lithoscope {

class CTrSoundList {
public:
    virtual ~CTrSoundList() = default;
};

}  // namespace lithoscope
