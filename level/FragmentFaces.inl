// Face collectors of CFragment (templates over the mesh and room face slots).
#pragma once
#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"

namespace lithoscope {

// The texture word of a face slot follows its corner indices.
template <class Face>
inline uint8_t* FaceTextureWord(Face& face, int cornerCount) {
    return &face.b[size_t(cornerCount) * 2];
}

template <class Face>
void CFragment::AddFaces(const uint16_t* pixels, int stride, int sourceRows,
                         const std::vector<TrObjectTextureRecord>& textures,
                         std::vector<Face>& faces, int cornerCount,
                         std::vector<CFragment>& fragments, bool stackedPages,
                         FragmentSourceIndex* index) {
    if (!index) {
        FragmentSourceIndex own(fragments);
        AddFaces(pixels, stride, sourceRows, textures, faces, cornerCount, fragments, stackedPages, &own);
        return;
    }
    for (Face& face : faces) {
        uint8_t* word = FaceTextureWord(face, cornerCount);
        size_t textureIndex = GetU16(word) & 0x7FFF;
        if (textureIndex >= textures.size()) {
            AppendLogLine(StrFormat("ERROR: face texture %u past the %u object textures, skipped",
                                    unsigned(textureIndex), unsigned(textures.size())),
                          true);
            continue;
        }
        AddIndexed(fragments, index, textures[textureIndex], cornerCount, FragFace, word, false,
                   pixels, stride, sourceRows, stackedPages);
    }
}

template <class Face>
void CFragment::AddLevelFaces(CTrLevel& level, const std::vector<TrObjectTextureRecord>& textures,
                              std::vector<Face>& faces, int cornerCount,
                              std::vector<CFragment>& fragments, bool tr4RoomMode,
                              FragmentSourceIndex* index,
                              const std::vector<bool>* animatedMembers) {
    if (!index) {
        FragmentSourceIndex own(fragments);
        AddLevelFaces(level, textures, faces, cornerCount, fragments, tr4RoomMode, &own,
                      animatedMembers);
        return;
    }
    tr4RoomMode = tr4RoomMode && level.version == TrVersion4;
    const unsigned firstObjectPage = level.roomPageCount;
    const unsigned endObjectPage = unsigned(level.roomPageCount) + level.objectPageCount;
    for (Face& face : faces) {
        uint8_t* word = FaceTextureWord(face, cornerCount);
        size_t textureIndex = GetU16(word) & 0x7FFF;
        if (textureIndex >= textures.size()) {
            AppendLogLine(StrFormat("ERROR: face texture %u past the %u object textures, skipped",
                                    unsigned(textureIndex), unsigned(textures.size())),
                          true);
            continue;
        }
        const TrObjectTextureRecord& texture = textures[textureIndex];
        unsigned tile = texture.page() & 0x7FFF;
        if (tr4RoomMode && (tile < firstObjectPage || tile >= endObjectPage)) continue;
        if (tile >= level.pages.size()) {
            AppendLogLine(StrFormat("ERROR: texture %u on page %u past the %u pages, skipped",
                                    unsigned(textureIndex), tile, unsigned(level.pages.size())),
                          true);
            continue;
        }
        const bool member = animatedMembers && textureIndex < animatedMembers->size() &&
                            (*animatedMembers)[textureIndex];
        AddIndexed(fragments, index, texture, cornerCount, FragFace, word, false,
                   level.pages[tile].data(), 256, 256, false,
                   member ? uint32_t(textureIndex) + 1 : 0);
        if (tr4RoomMode) PutU16(word, uint16_t(GetU16(word) | 0x4000));
    }
}

}  // namespace lithoscope
