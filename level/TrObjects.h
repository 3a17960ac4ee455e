#pragma once
// The exchangeable objects of a level: CTrObjBase > CTrObjGfx > {CTrLstSpr, CTrLstMsh >
// {CTrStatMsh, CTrMvb}}. Each owns its object textures and a texture page of its own, and
// its object file is exactly its Serialize image.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "level/ByteIO.h"
#include "level/TrRecords.h"

namespace lithoscope {

class CFragment;

// The 8 bytes that start every object file.
struct TrObjectFileHeader {
    uint8_t format = 0;
    uint8_t kind = 0;
    uint8_t gameVersion = 0;
    uint8_t zero = 0;
    int32_t extra = 0;
    static constexpr size_t kSize = 8;
};

// Object kinds of the header (and of the catalog).
enum TrObjectKind : int32_t { TrKindNone = 0, TrKindStaticMesh = 2, TrKindMoveable = 3, TrKindSprite = 6 };

class CTrObjBase {
public:
    CTrObjBase() = default;
    // Reads the header from the start of the buffer.
    explicit CTrObjBase(ByteReader& in);
    virtual ~CTrObjBase() = default;

    // Byte size of the serialised image (the object file).
    virtual int GetSize() const;
    // A new image of the object; size (when given) receives its byte count.
    std::vector<uint8_t> Serialize(int* size = nullptr) const;
    // Frees what the class owns and zeroes its fields; chain: the bases' parts too.
    virtual void Clear(bool chain);

    // Writes the image through the safe writer; false (error set) on failure.
    bool SaveFile(const std::string& path, std::string* error = nullptr) const;

    uint8_t format = 0;
    int32_t kind = 0;
    int32_t gameVersion = 0;
    uint8_t reserved = 0;
    int32_t extra = 0;

protected:
    // Writes this class's part after the bases' parts.
    virtual void SerializeParts(ByteWriter& out) const;
    void CopyHeader(const CTrObjBase& other);
};

class CTrObjGfx : public CTrObjBase {
public:
    CTrObjGfx() = default;
    // Header and graphic part from the buffer (bounded: a short buffer throws FormatError).
    explicit CTrObjGfx(ByteReader& in);
    explicit CTrObjGfx(ByteReader&& in) : CTrObjGfx(in) {}
    // A page packed from fragments (header zeroed).
    explicit CTrObjGfx(std::vector<CFragment>& fragments);
    CTrObjGfx(const CTrObjGfx& other) : CTrObjBase() { CopyFrom(other); }
    CTrObjGfx& operator=(const CTrObjGfx&) = delete;

    int GetSize() const override;
    void Clear(bool chain) override;

    // Sorts, optionally merges, packs the fragments into this object's page; the object
    // textures become the representatives. Throws FragmentPackError when packing fails.
    // With planes, filePixels follow the pixels from the sources that have them.
    void BuildFromFragments(std::vector<CFragment>& fragments, int pageWidth, int pageHeight,
                            bool mergeDuplicates,
                            const std::unordered_map<const uint16_t*, const uint32_t*>* planes = nullptr);
    void CopyFrom(const CTrObjGfx& other);
    // Takes the donor's header, id, textures and page; the donor is left empty.
    void TakeOverGfx(CTrObjGfx& donor);
    // Replaces the page by a picture of the same size; false, nothing changed, otherwise.
    bool ReplaceTexture(const std::string& path);
    // Writes the page as a 32-bit TGA; pad: 256 wide, height rounded up to 256.
    bool ExportTga(const std::string& path, bool pad, std::string* error = nullptr) const;

    uint32_t textureCount() const { return uint32_t(textures.size()); }
    // Pixel bytes the page must hold.
    size_t PixelBytes() const { return size_t(bitsPerPixel / 8) * height * width; }

    int32_t objectId = 0;
    std::vector<TrObjectTextureRecord> textures;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 0;
    std::vector<uint8_t> pixels;  // width x height x bitsPerPixel / 8, rows top first
    // The page's pixels as the level file held them (see FilePixelPlanes), width x height
    // of them, or none. Not part of the object file.
    std::vector<uint32_t> filePixels;

protected:
    void SerializeParts(ByteWriter& out) const override;
};

class CTrLstSpr;
class CTrLstMsh;
class CTrStatMsh;
class CTrMvb;

// A reader over an object-file image whose format byte must be `format`; other images are
// rejected with RejectedObjectBuffer.
ByteReader RequireFormat(const std::vector<uint8_t>& buffer, uint8_t format, const char* what);

// Reads a whole object file; false when it can't be opened or read.
bool ReadObjectFile(const std::string& path, std::vector<uint8_t>& out);

// Builds an object of class T from a file: null when the file can't be read, is damaged
// or is rejected by the class.
template <class T>
std::unique_ptr<T> LoadObjectFile(const std::string& path) {
    std::vector<uint8_t> buffer;
    if (!ReadObjectFile(path, buffer)) return nullptr;
    try {
        return std::make_unique<T>(buffer);
    } catch (const LevelError&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace lithoscope
