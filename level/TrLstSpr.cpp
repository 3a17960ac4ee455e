#include "level/TrLstSpr.h"

#include "level/Fragment.h"
#include "level/LevelLog.h"
#include "level/ObjectModel.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {
void SetCorner(TrObjectTextureRecord& t, int k, int x, int y, uint8_t xc, uint8_t yc) {
    uint8_t* c = t.corner(k);
    c[0] = xc;
    c[1] = uint8_t(x);
    c[2] = yc;
    c[3] = uint8_t(y);
}
}  // namespace

CTrLstSpr::CTrLstSpr(const std::vector<uint8_t>& buffer)
    : CTrObjGfx(RequireFormat(buffer, 2, "sprite list")) {
    ByteReader in(buffer, "sprite frames");
    in.seek(size_t(CTrObjGfx::GetSize()));
    in.need(textures.size(), 12);
    sprites.resize(textures.size());
    for (TrSpriteFrameRecord& s : sprites) in.bytes(s.b.data(), s.b.size());
}

CTrLstSpr::CTrLstSpr(const TrSpriteSequenceRecord& sequence, CTrLevel& level) {
    format = 2;
    kind = TrKindSprite;
    gameVersion = level.version;
    extra = 0;
    objectId = sequence.objectId();

    // The sequence's sprites, kept inside the level's sprite textures.
    const size_t available = level.spriteTextures.size();
    int count = -int(sequence.negativeLength());
    int first = sequence.offset();
    if (count < 0 || first < 0 || size_t(first) + size_t(count) > available) {
        AppendLogLine(StrFormat("ERROR: sprite sequence %d uses sprites %d to %d of %u", objectId,
                                first, first + count - 1, unsigned(available)),
                      true);
        if (first < 0 || size_t(first) > available) first = 0, count = 0;
        count = std::max(0, std::min(count, int(available - size_t(first))));
    }
    // A save numbers the sprites of all sequences with 15 bits.
    TallyForSave(level.objectTally.sprites, uint64_t(count), 0x7FFF, "sprites in sequences");
    std::vector<TrSpriteTextureRecord> copies(level.spriteTextures.begin() + first,
                                              level.spriteTextures.begin() + first + count);
    std::vector<CFragment> fragments;
    fragments.reserve(size_t(count));
    for (TrSpriteTextureRecord& s : copies) {
        unsigned tile = s.u16(0);
        const int x = s.u8(2), y = s.u8(3);
        const int w = s.u16(4), h = s.u16(6);
        const int left = s.s16(8), top = s.s16(10), right = s.s16(12), bottom = s.s16(14);
        int x0, y0, x1, y1;
        if (level.version == TrVersion4) {
            x0 = left & 0xFF;
            y0 = top & 0xFF;
            x1 = (right - 1) & 0xFF;
            y1 = (bottom - 1) & 0xFF;
        } else {
            x0 = x;
            y0 = y;
            x1 = (x + (w - 255) / 256) & 0xFF;
            y1 = (y + (h - 255) / 256) & 0xFF;
        }
        if (tile >= level.pages.size()) tile = 0;
        TrObjectTextureRecord t;
        t.setU16(2, uint16_t(tile));
        SetCorner(t, 0, x0, y0, 1, 1);
        SetCorner(t, 1, x1, y0, 255, 1);
        SetCorner(t, 2, x1, y1, 255, 255);
        SetCorner(t, 3, x0, y1, 1, 255);
        if (level.pages.empty()) continue;
        // No joining: every sprite keeps a texture and a frame record of its own.
        CFragment::Add(fragments, t, 4, FragSprite, &s, true, level.pages[tile].data(), 256, 256,
                       false);
    }
    const FilePixelPlanes planes = level.FilePlanes();
    BuildFromFragments(fragments, 0, 0, false, &planes);

    // Frame record g belongs to the sprite whose fragment became texture g.
    sprites.assign(textures.size(), TrSpriteFrameRecord());
    size_t g = 0;
    for (const CFragment& f : fragments) {
        if (f.references.empty() || g >= sprites.size()) continue;
        const auto* s = static_cast<const TrSpriteTextureRecord*>(f.references.front().owner);
        const size_t i = size_t(s - copies.data());
        if (i >= sprites.size()) {
            ++g;
            continue;
        }
        const TrSpriteTextureRecord& src = level.spriteTextures[size_t(first) + i];
        TrSpriteFrameRecord& r = sprites[i];
        if (level.version == TrVersion4) {
            const int w = src.s16(12) - src.s16(8), h = src.s16(14) - src.s16(10);
            r.setS16(0, int16_t(-2 * (w / 2)));
            r.setS16(2, int16_t(-2 * (h / 2)));
            r.setS16(4, int16_t(2 * (w / 2)));
            r.setS16(6, int16_t(2 * (h / 2)));
            r.setU8(10, src.u8(2));
            r.setU8(11, src.u8(3));
        } else {
            r.setS16(0, src.s16(8));
            r.setS16(2, src.s16(10));
            r.setS16(4, src.s16(12));
            r.setS16(6, src.s16(14));
        }
        r.setS16(8, int16_t(g));
        ++g;
    }
}

int CTrLstSpr::GetSize() const { return CTrObjGfx::GetSize() + 12 * int(textures.size()); }

void CTrLstSpr::SerializeParts(ByteWriter& out) const {
    const size_t start = out.pos();
    CTrObjGfx::SerializeParts(out);
    if (format == 0) {  // made without a header of its own: still readable as a sprite list
        out.data()[start] = 2;
        out.data()[start + 1] = uint8_t(TrKindSprite);
    }
    for (size_t i = 0; i < textures.size(); ++i) {
        if (i < sprites.size())
            out.bytes(sprites[i].b.data(), sprites[i].b.size());
        else
            out.zeros(12);
    }
}

void CTrLstSpr::Clear(bool chain) {
    std::vector<TrSpriteFrameRecord>().swap(sprites);
    if (chain) CTrObjGfx::Clear(true);
}

void CTrLstSpr::TakeOver(CTrLstSpr& donor) {
    TakeOverGfx(donor);
    sprites = std::move(donor.sprites);
    donor.sprites.clear();
}

}  // namespace lithoscope
