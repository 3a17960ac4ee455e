#include "level/TrObjects.h"

#include <cstring>

#include "level/Fragment.h"
#include "level/Pixels.h"
#include "platform/Files.h"
#include "platform/System.h"

namespace lithoscope {

CTrObjBase::CTrObjBase(ByteReader& in) {
    in.setSection("object header");
    format = in.u8();
    kind = in.u8();
    gameVersion = in.u8();
    in.u8();
    reserved = 0;
    extra = in.s32();
}

int CTrObjBase::GetSize() const { return int(TrObjectFileHeader::kSize); }

void CTrObjBase::Clear(bool) {
    format = 0;
    kind = 0;
    gameVersion = 0;
    reserved = 0;
    extra = 0;
}

void CTrObjBase::SerializeParts(ByteWriter& out) const {
    out.u8(format);
    out.u8(uint8_t(kind));
    out.u8(uint8_t(gameVersion));
    out.u8(0);
    out.s32(extra);
}

std::vector<uint8_t> CTrObjBase::Serialize(int* size) const {
    std::vector<uint8_t> image(static_cast<size_t>(GetSize()));
    ByteWriter out(image);
    SerializeParts(out);
    if (out.pos() != image.size()) throw LevelError("object image shorter than its size");
    if (size) *size = int(image.size());
    return image;
}

bool CTrObjBase::SaveFile(const std::string& path, std::string* error) const {
    std::vector<uint8_t> image = Serialize();
    return WriteFileSafely(path, image.data(), image.size(), error);
}

void CTrObjBase::CopyHeader(const CTrObjBase& other) {
    format = other.format;
    kind = other.kind;
    gameVersion = other.gameVersion;
    reserved = other.reserved;
    extra = other.extra;
}

CTrObjGfx::CTrObjGfx(ByteReader& in) : CTrObjBase(in) {
    in.setSection("object textures");
    objectId = in.s32();
    uint32_t n = in.u32();
    in.need(n, 38);
    textures.resize(n);
    for (TrObjectTextureRecord& t : textures) in.bytes(t.b.data(), t.b.size());
    in.setSection("object page");
    width = in.u32();
    height = in.u32();
    bitsPerPixel = in.u32();
    // Checked in 64 bits against what is left before anything is allocated.
    in.need(uint64_t(bitsPerPixel / 8) * height, width);
    pixels = in.take(PixelBytes());
}

CTrObjGfx::CTrObjGfx(std::vector<CFragment>& fragments) { BuildFromFragments(fragments, 0, 0, true); }

int CTrObjGfx::GetSize() const {
    return CTrObjBase::GetSize() + 20 + 38 * int(textures.size()) + int(PixelBytes());
}

void CTrObjGfx::SerializeParts(ByteWriter& out) const {
    CTrObjBase::SerializeParts(out);
    out.s32(objectId);
    out.u32(textureCount());
    for (const TrObjectTextureRecord& t : textures) out.bytes(t.b.data(), t.b.size());
    out.u32(width);
    out.u32(height);
    out.u32(bitsPerPixel);
    // A page holds exactly its computed size, whatever its vector says.
    size_t bytes = PixelBytes();
    size_t have = std::min(bytes, pixels.size());
    out.bytes(pixels.data(), have);
    out.zeros(bytes - have);
}

void CTrObjGfx::Clear(bool chain) {
    objectId = 0;
    std::vector<TrObjectTextureRecord>().swap(textures);
    std::vector<uint8_t>().swap(pixels);
    std::vector<uint32_t>().swap(filePixels);
    width = height = bitsPerPixel = 0;
    if (chain) CTrObjBase::Clear(true);
}

void CTrObjGfx::BuildFromFragments(std::vector<CFragment>& fragments, int pageWidth, int,
                                   bool mergeDuplicates, const FilePixelPlanes* planes) {
    if (fragments.size() > 1) CFragment::SortBySize(fragments, 0, int(fragments.size()) - 1);
    if (mergeDuplicates) CFragment::MergeDuplicates(fragments, planes);
    int w = pageWidth, h = 0;
    CFragment::BuildBytesFromFragments(fragments, pixels, &w, &h, planes, &filePixels);
    textures = CFragment::Representatives(fragments);
    width = uint32_t(w);
    height = uint32_t(h);
    bitsPerPixel = 16;
}

void CTrObjGfx::CopyFrom(const CTrObjGfx& other) {
    CopyHeader(other);
    objectId = other.objectId;
    textures = other.textures;
    width = other.width;
    height = other.height;
    bitsPerPixel = other.bitsPerPixel;
    pixels = other.pixels;
    filePixels = other.filePixels;
}

void CTrObjGfx::TakeOverGfx(CTrObjGfx& donor) {
    CopyHeader(donor);
    objectId = donor.objectId;
    textures = std::move(donor.textures);
    width = donor.width;
    height = donor.height;
    bitsPerPixel = donor.bitsPerPixel;
    pixels = std::move(donor.pixels);
    filePixels = std::move(donor.filePixels);
    donor.filePixels.clear();
    donor.CTrObjBase::Clear(true);
    donor.objectId = 0;
    donor.textures.clear();
    donor.pixels.clear();
    donor.width = donor.height = donor.bitsPerPixel = 0;
}

bool CTrObjGfx::ReplaceTexture(const std::string& path) {
    if (pixels.empty() || width == 0 || height == 0) return false;
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    if (LoadPictureRGBA(path, &w, &h, &rgba) != 0) return false;
    if (uint32_t(w) != width || uint32_t(h) != height) return false;
    std::vector<uint16_t> page(size_t(w) * size_t(h));
    ConvertRgbaPixels(page.data(), w, h, false, rgba.data());
    pixels.resize(page.size() * 2);
    for (size_t i = 0; i < page.size(); ++i) PutU16(&pixels[2 * i], page[i]);
    std::vector<uint32_t>().swap(filePixels);  // a picture of its own now
    bitsPerPixel = 16;
    return true;
}

bool CTrObjGfx::ExportTga(const std::string& path, bool pad, std::string* error) const {
    if (width == 0 || height == 0 || pixels.size() < PixelBytes()) {
        if (error) *error = "the object has no page to export";
        return false;
    }
    const int w = int(width), h = int(height);
    std::vector<uint16_t> page16;
    if (bitsPerPixel == 16) {
        page16.resize(size_t(w) * h);
        for (size_t i = 0; i < page16.size(); ++i) page16[i] = GetU16(&pixels[2 * i]);
    }
    // A page of another depth is written as 32-bit pixels only when it holds that many.
    if (bitsPerPixel != 16 && bitsPerPixel != 32) {
        if (error) *error = "the page has an unsupported pixel depth";
        return false;
    }
    std::vector<uint8_t> image;
    int outW = w, outH = h;
    if (!pad) {
        if (bitsPerPixel == 16) {
            image.resize(size_t(w) * h * 4);
            ConvertPageToBgra(page16.data(), w, h, 16, nullptr, image.data(), false);
        } else {
            image.assign(pixels.begin(), pixels.begin() + ptrdiff_t(size_t(w) * h * 4));
        }
    } else {
        outW = std::max(256, w);
        outH = ((h - 1) / 256 + 1) * 256;
        if (bitsPerPixel == 16) {
            image.assign(size_t(outW) * outH * 4, 0);
            ConvertPageToBgra(page16.data(), outW, outH, 16, nullptr, image.data(), false, w, h);
        } else {
            image = CopyImageToCanvas(pixels.data(), w, h, outW, outH);
        }
    }
    return WriteTga32(path, image.data(), outW, outH, 4, true, error);
}

ByteReader RequireFormat(const std::vector<uint8_t>& buffer, uint8_t format, const char* what) {
    if (buffer.empty() || buffer[0] != format)
        throw RejectedObjectBuffer(std::string(what) + " file of another format");
    return ByteReader(buffer, what);
}

bool ReadObjectFile(const std::string& path, std::vector<uint8_t>& out) {
    return ReadWholeFile(path, out);
}

}  // namespace lithoscope
