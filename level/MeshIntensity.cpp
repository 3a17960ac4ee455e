#include "level/MeshRecord.h"
#include "level/TrLevel.h"

namespace lithoscope {

namespace {

constexpr uint16_t kTextureIndexMask = 0x7FFF;
constexpr uint16_t kAttributeIntensityAlpha = 0x0002;
constexpr uint16_t kEffectIntensityAlpha = 0x0001;

template <class Face>
bool FacesUseIntensityAlpha(const std::vector<Face>& faces,
                            const std::vector<TrObjectTextureRecord>& textures) {
    for (const auto& f : faces) {
        if (f.effects() & kEffectIntensityAlpha) continue;
        const size_t t = f.texture() & kTextureIndexMask;
        // A face without a texture in the table says nothing either way.
        if (t >= textures.size()) continue;
        if (!(textures[t].attributes() & kAttributeIntensityAlpha)) return false;
    }
    return true;
}

uint16_t WithBit(uint16_t word, uint16_t bit, bool on) {
    return on ? uint16_t(word | bit) : uint16_t(word & ~bit);
}

template <class Face>
void SetFaceEffects(std::vector<Face>& faces, bool on) {
    for (auto& f : faces) f.setEffects(WithBit(f.effects(), kEffectIntensityAlpha, on));
}

template <class Face>
void SetTextureAttributes(const std::vector<Face>& faces,
                          std::vector<TrObjectTextureRecord>& textures, bool on) {
    for (const auto& f : faces) {
        const size_t t = f.texture() & kTextureIndexMask;
        if (t >= textures.size()) continue;
        textures[t].setU16(0, WithBit(textures[t].attributes(), kAttributeIntensityAlpha, on));
    }
}

}  // namespace

bool TrMeshRecord::UsesIntensityAlpha(const std::vector<TrObjectTextureRecord>& textures) const {
    return FacesUseIntensityAlpha(texturedRectangles, textures) &&
           FacesUseIntensityAlpha(texturedTriangles, textures);
}

void CTrLevel::ApplyIntensityAlpha(TrMeshRecord& mesh, std::vector<TrObjectTextureRecord>& textures,
                                   bool on) const {
    if (version == TrVersion4) {
        // Tomb Raider IV keeps the flag per face.
        SetFaceEffects(mesh.texturedRectangles, on);
        SetFaceEffects(mesh.texturedTriangles, on);
    } else {
        // Earlier games keep it in the object texture.
        SetTextureAttributes(mesh.texturedRectangles, textures, on);
        SetTextureAttributes(mesh.texturedTriangles, textures, on);
    }
}

}  // namespace lithoscope
