// Level files: the containers of Tomb Raider I-III (palettes and raw pages before the
// level data) and Tomb Raider IV (zlib chunks and samples), load and save.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <exception>
#include <new>
#include <thread>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "level/Fragment.h"
#include "level/LevelBounds.h"
#include "level/LevelLog.h"
#include "level/LevelProgress.h"
#include "level/ObjectModel.h"
#include "level/Pixels.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/SampleConvert.h"
#include "platform/Settings.h"

namespace lithoscope {

// ---- Object model ---------------------------------------------------------------------
// CTrLevel::BuildObjectModel after a load; around a save, the save preparation first and
// the same build again afterwards (see RebuildScope).
// ------------------------------------------------------------------------------------------

namespace {

constexpr uint32_t kMagicTr1 = 0x00000020;
constexpr uint32_t kMagicTr2 = 0x0000002D;
constexpr uint32_t kMagicTr3 = 0xFF180038;
constexpr uint32_t kMagicTr3Old = 0xFF080038;
constexpr uint32_t kMagicTr4 = 0x00345254;           // "TR4\0"
constexpr uint32_t kMagicTr4Encrypted = 0x63345254;  // "TR4c"

// No zlib stream inflates to more than about 1032 times its size.
constexpr uint64_t kMaxInflateRatio = 1032;
// A page in memory: its 16-bit pixels and the file's pixels beside them.
constexpr uint64_t kPageHeldBytes = kPage16Bytes + kPage32Bytes;

const char* const kCaption = "Lithoscope";
// Kept as variables: the texts are the system's own, flags and all.
const char* const kUnableToOpen = "Unable to open %s.\n";
const char* const kCantGetSize = "Can't get the size of the file (error %ld).\n";
const char* const kCantRead = "Can't read the data (error %ld).\n";
const char* const kCantCreate = "Can't create the file %s (err 0x%0.8X).\n";
const char* const kCantWrite = "Can't write the data (error %ld).\n";
const char* const kDetectedErrors =
    "Warning: found %d errors parsing file %s\r\n\r\nThe found errors have been fixed anyway "
    "you should save current tr4 file to save the error fixing.\r\nYou can find more infos "
    "about detected errors in log file saved in: %s";

void ShowError(const std::string& text) {
    ShowMessage(text, kCaption, MsgButtons::Ok, MsgIcon::Error);
}

// Formats one of the fixed texts above (not literals, so printf checks don't apply).
template <class... A>
std::string Text(const char* fmt, A... args) {
    const int n = std::snprintf(nullptr, 0, fmt, args...);
    if (n <= 0) return std::string();
    std::string s(size_t(n) + 1, '\0');
    std::snprintf(&s[0], s.size(), fmt, args...);
    s.resize(size_t(n));
    return s;
}

// Closes the progress window when the operation ends, however it ends.
class ProgressScope {
public:
    ProgressScope(bool show, const char* kind, const std::string& title)
        : window_(show ? CreateLevelProgress(kind, title) : nullptr) {}
    ~ProgressScope() {
        if (window_) window_->Close();
    }
    ILevelProgress* get() const { return window_.get(); }
    void range(size_t max) const {
        if (window_) window_->SetMainRange(uint32_t(std::min<size_t>(max, UINT32_MAX)));
    }
    void pos(size_t p) const {
        if (window_) window_->SetMainPos(uint32_t(std::min<size_t>(p, UINT32_MAX)));
    }

private:
    std::unique_ptr<ILevelProgress> window_;
};

// A save with rebuilding: the object model is written back into the arrays (the
// preparation) and built again once the image is complete. When building the image fails,
// the level goes back to what it was before the save, object model included, instead of
// being rebuilt from half-written arrays. A preparation that fails restores the level
// itself.
class RebuildScope {
public:
    RebuildScope(CTrLevel& level, bool rebuild, ILevelProgress* progress, bool keepUnused,
                 CGameCatalog* catalog)
        : level_(level), progress_(progress), catalog_(catalog) {
        if (rebuild) rollback_ = PrepareLevelForSave(level, progress, keepUnused);
        active_ = rebuild;
    }
    // The image is complete.
    void Done() { done_ = true; }
    ~RebuildScope() {
        if (!active_) return;
        if (!done_) {
            if (rollback_) rollback_->Restore();
            return;
        }
        if (!level_.rebuildAfterSave) return;
        try {
            level_.BuildObjectModel(progress_, catalog_);
        } catch (const std::exception& e) {
            AppendLogLine(std::string("Object model not rebuilt after saving: ") + e.what(), true);
        }
    }

private:
    CTrLevel& level_;
    ILevelProgress* progress_;
    CGameCatalog* catalog_;
    std::unique_ptr<LevelSaveRollback> rollback_;
    bool active_ = false;
    bool done_ = false;
};

void ReadChunk(ByteReader& in, TrPackedChunk& chunk, const char* what) {
    in.setSection(what);
    chunk.unpackedSize = in.u32();
    const uint32_t packed = in.u32();
    chunk.data = in.take(packed);
}

void WriteChunk(ByteWriter& out, const TrPackedChunk& chunk) {
    out.u32(chunk.unpackedSize);
    out.u32(chunk.packedSize());
    out.bytes(chunk.data.data(), chunk.data.size());
}

// A chunk's sizes with its packed bytes where they stand in the image.
struct PackedSpan {
    uint32_t unpackedSize = 0;
    const uint8_t* data = nullptr;
    uint32_t packedSize = 0;
};

// What is wrong with a chunk kept packed as read, "" when its bytes inflate to exactly its
// unpacked size. The output passes through a small window: nothing is kept.
std::string ChunkDamage(const TrPackedChunk& chunk) {
    if (chunk.unpackedSize == 0 && chunk.data.empty()) return "";
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return "zlib not started";
    std::vector<uint8_t> window(1 << 16);
    z.next_in = const_cast<Bytef*>(chunk.data.data());
    z.avail_in = uInt(chunk.data.size());
    int err;
    do {
        z.next_out = window.data();
        z.avail_out = uInt(window.size());
        err = inflate(&z, Z_NO_FLUSH);
    } while (err == Z_OK && z.total_out <= chunk.unpackedSize);
    const uLong produced = z.total_out;
    inflateEnd(&z);
    if (err == Z_STREAM_END && produced == chunk.unpackedSize) return "";
    if (err == Z_STREAM_END || produced > chunk.unpackedSize)
        return StrFormat("inflates to %s%lu bytes, not the %u it declares",
                         err == Z_STREAM_END ? "" : "more than ", produced, unsigned(chunk.unpackedSize));
    return StrFormat("does not inflate past byte %lu of %u (zlib %d)", produced,
                     unsigned(chunk.unpackedSize), err);
}

// Reads a chunk's sizes and steps over its packed bytes; chunk gets the unpacked size only.
PackedSpan ReadSpan(ByteReader& in, TrPackedChunk& chunk, const char* what) {
    in.setSection(what);
    chunk.clear();
    PackedSpan span;
    span.unpackedSize = chunk.unpackedSize = in.u32();
    span.packedSize = in.u32();
    span.data = in.cursor();
    in.skip(span.packedSize);
    return span;
}

// An unpacked size checked against what the packed bytes could hold, before anything is
// allocated for it.
void CheckInflatedSize(const PackedSpan& span, uint64_t unpacked, const char* what) {
    if (unpacked > uint64_t(span.packedSize) * kMaxInflateRatio + 64)
        throw FormatError(what, 0, StrFormat("%llu bytes can't come from %u packed bytes",
                                             static_cast<unsigned long long>(unpacked),
                                             unsigned(span.packedSize)));
}

// Inflates a chunk that must give exactly its unpacked size (count blocks of blockSize), or
// with firstBlocksOnly at least those blocks.
void InflateSpan(const PackedSpan& span, uint8_t* const* blocks, size_t count, size_t blockSize,
                 const char* what, bool firstBlocksOnly = false) {
    const int status =
        DecompressToBlocks(span.data, span.packedSize, blocks, count, blockSize, firstBlocksOnly);
    if (status != Z_OK)
        throw FormatError(what, 0, StrFormat("does not inflate to its size (zlib %d)", status));
}

// 16-bit pages as little-endian bytes, one after the other.
void PutPages16(uint8_t* out, const std::vector<TrPage>& pages) {
    for (const TrPage& page : pages) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        std::memcpy(out, page.data(), kPage16Bytes);
        out += kPage16Bytes;
#else
        for (size_t i = 0; i < kPagePixels; ++i, out += 2) PutU16(out, page[i]);
#endif
    }
}

// Bytes [offset, offset + size) of the 16-bit pages as one little-endian block.
void CopyPages16(const std::vector<TrPage>& pages, size_t offset, size_t size, uint8_t* out) {
    while (size > 0) {
        const size_t p = offset / kPage16Bytes, at = offset % kPage16Bytes;
        const size_t n = std::min(size, kPage16Bytes - at);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        std::memcpy(out, reinterpret_cast<const uint8_t*>(pages[p].data()) + at, n);
#else
        for (size_t i = 0; i < n; ++i) {
            const uint16_t px = pages[p][(at + i) / 2];
            out[i] = uint8_t((at + i) % 2 ? px >> 8 : px);
        }
#endif
        out += n;
        offset += n;
        size -= n;
    }
}

// Bytes [offset, offset + size) of the 32-bit B, G, R, A pages that a save writes: each
// pixel as the file had it while nobody changed its 16-bit form, else made from that.
void MakePages32(int version, const std::vector<TrPage>& pages,
                 const std::vector<std::vector<uint32_t>>& filePixels, size_t offset, size_t size,
                 uint8_t* out) {
    // Whole pixels only: the segments the compressor asks for start and end on them.
    for (size_t end = offset + size; offset < end; offset += 4, out += 4) {
        const size_t p = offset / kPage32Bytes, i = offset % kPage32Bytes / 4;
        const uint16_t px = pages[p][i];
        uint32_t v = uint32_t((px & 31) << 3) | uint32_t(((px >> 5) & 31) << 3) << 8 |
                     uint32_t(((px >> 10) & 31) << 3) << 16 | (px & 0x8000 ? 0xFF000000u : 0);
        if (p < filePixels.size() && filePixels[p].size() == kPagePixels &&
            FilePixelFits(version, filePixels[p][i], px))
            v = filePixels[p][i];
        PutU32(out, v);
    }
}

// One 16-bit page from its little-endian bytes.
void GetPage16(TrPage& page, const uint8_t* src) {
    page.resize(kPagePixels);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(page.data(), src, kPage16Bytes);
#else
    for (size_t i = 0; i < kPagePixels; ++i) page[i] = GetU16(src + 2 * i);
#endif
}

void CheckPages(const std::vector<TrPage>& pages) {
    for (size_t i = 0; i < pages.size(); ++i)
        if (pages[i].size() != kPagePixels)
            throw OverflowError(StrFormat("texture page %zu is not 256 x 256 pixels", i));
}

// The line a message adds when a path names something else than a regular file.
std::string NotRegularLine(const std::string& notRegular) {
    return notRegular.empty() ? std::string() : NotRegularFileText("It", notRegular) + ".\n";
}

// The line that says what a system error number means ("No space left on device.").
std::string ReasonLine(long err) { return std::string(std::strerror(int(err))) + ".\n"; }

// 16-bit pages as 8-bit ones through the indexer; a texel whose file pixel still fits keeps
// the index it had.
void ConvertPagesTo8(CPage8Indexer& indexer, const std::vector<TrPage>& pages, uint8_t* out,
                     const std::vector<std::vector<uint32_t>>& filePixels, int version) {
    for (size_t p = 0; p < pages.size(); ++p) {
        const TrPage& page = pages[p];
        const uint32_t* plane = p < filePixels.size() && filePixels[p].size() == kPagePixels
                                    ? filePixels[p].data() : nullptr;
        for (size_t i = 0; i < kPagePixels; ++i) {
            const uint16_t px = page[i];
            // A texel nobody changed keeps the index it had.
            if (plane && FilePixelFits(version, plane[i], px)) {
                *out++ = uint8_t(plane[i] >> 16);
                continue;
            }
            *out++ = indexer(px);
        }
    }
}

bool SaveUncompressedSounds() {
    return GetProfileInt("Settings", "SaveUncompressedSounds", 0) != 0;
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// Why the last load refused its level, for the log and for batch mode, which says it
// after "Unknown file type !".
void NoteRefusal(const std::string& why) {
    LevelLog().refusal = "Level not read: " + why;
    AppendLogLine(LevelLog().refusal);
}

// The box of a refused level; with why, the log's line of its reason below.
std::string RefusedText(bool why) {
    const std::string& refusal = LevelLog().refusal;
    return why && !refusal.empty() ? "Unknown file type !\n" + refusal : "Unknown file type !";
}

std::string TooLargeText(uint64_t size) {
    return StrFormat("%llu bytes: more than a level holds (at most %llu)",
                     static_cast<unsigned long long>(size),
                     static_cast<unsigned long long>(kMaxLevelBytes));
}

// Nothing is written that a load would refuse: checked before the image is allocated.
void CheckImageBounds(uint64_t size, size_t pageCount) {
    if (size > kMaxLevelBytes || pageCount > kMaxPages)
        throw OverflowError(StrFormat("%llu bytes and %zu texture pages, more than a level holds "
                                      "(at most %llu bytes and %llu pages)",
                                      static_cast<unsigned long long>(size), pageCount,
                                      static_cast<unsigned long long>(kMaxLevelBytes),
                                      static_cast<unsigned long long>(kMaxPages)));
}

}  // namespace

uint32_t MagicForVersion(int version) {
    switch (version) {
        case TrVersion1: return kMagicTr1;
        case TrVersion2: return kMagicTr2;
        case TrVersion3: return kMagicTr3;
        case TrVersion4: return kMagicTr4;
        default: return 0;
    }
}

// ---- Load ----------------------------------------------------------------------------------

bool CTrLevel::Load(const std::string& filePath, bool noBuild, bool showMessages,
                    CGameCatalog* catalog) {
    path = filePath;
    name = StemOf(filePath);
    StartLevelLog(filePath);
    PumpPendingMessages();

    std::vector<uint8_t> image;
    // A named pipe, a device or a folder is refused unread: reading one could wait forever.
    std::string notRegular;
    const int fd = OpenRegularFileForReading(filePath, &notRegular);
    if (fd < 0) {
        const long err = errno ? errno : ENOENT;
        if (showMessages)
            ShowError(Text(kUnableToOpen, filePath.c_str()) +
                      (notRegular.empty() ? ReasonLine(err) : NotRegularLine(notRegular)));
        return false;
    }
    struct stat st;
    errno = 0;
    if (::fstat(fd, &st) != 0) {
        const long err = errno ? errno : EINVAL;
        ::close(fd);
        if (showMessages) ShowError(Text(kCantGetSize, err));
        return false;
    }
    // Refused unread: no level is that large.
    if (uint64_t(st.st_size) > kMaxLevelBytes) {
        ::close(fd);
        Free();
        NoteRefusal(TooLargeText(uint64_t(st.st_size)));
        if (showMessages) ShowError(RefusedText(sayWhyRefused));
        return false;
    }
    long readError = 0;
    try {
        image.resize(size_t(st.st_size));
        size_t got = 0;
        while (got < image.size()) {
            const ssize_t n = ::read(fd, image.data() + got, image.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                readError = n < 0 ? errno : EIO;
                break;
            }
            got += size_t(n);
        }
    } catch (const std::bad_alloc&) {
        readError = ENOMEM;
        LevelLog().outOfMemory = true;
    }
    ::close(fd);
    if (readError != 0) {
        if (showMessages) ShowError(Text(kCantRead, readError));
        return false;
    }

    const std::string levelPath = path;
    if (!ReadFileImage(image, filePath, noBuild, showMessages, catalog)) {
        const int failedVersion = version;
        Free();
        if (showMessages)
            ShowError(failedVersion == TrVersion4Encrypted ? "NG encrypted TR4 file !"
                                                           : RefusedText(sayWhyRefused));
        return false;
    }
    std::vector<uint8_t>().swap(image);

    // Shown whatever showMessages says.
    const LevelLogState& log = LevelLog();
    if (log.errorCount > 0)
        ShowMessage(Text(kDetectedErrors, int(log.errorCount), levelPath.c_str(),
                         log.logPath.c_str()),
                    "Detected Errors", MsgButtons::Ok, MsgIcon::None);
    return true;
}

bool CTrLevel::ReadFileImage(const uint8_t* image, size_t size, const std::string& filePath,
                             bool noBuild, bool showMessages, CGameCatalog* catalog) {
    return ReadImage(image, size, filePath, noBuild, showMessages, catalog, nullptr);
}

bool CTrLevel::ReadFileImage(std::vector<uint8_t>& owner, const std::string& filePath,
                             bool noBuild, bool showMessages, CGameCatalog* catalog) {
    return ReadImage(owner.data(), owner.size(), filePath, noBuild, showMessages, catalog, &owner);
}

bool CTrLevel::ReadImage(const uint8_t* image, size_t size, const std::string& filePath,
                         bool noBuild, bool showMessages, CGameCatalog* catalog,
                         std::vector<uint8_t>* owner) {
    // Start from an empty level; path and name stay.
    {
        std::string keepPath = std::move(path);
        std::string keepName = std::move(name);
        Free();
        path = std::move(keepPath);
        name = std::move(keepName);
    }
    if (!image || size < 4) {
        NoteRefusal(StrFormat("%zu bytes: too short for a level", image ? size : 0));
        return false;
    }
    if (size > kMaxLevelBytes) {
        NoteRefusal(TooLargeText(size));
        return false;
    }
    const uint32_t magic = GetU32(image);
    switch (magic) {
        case kMagicTr1:
            version = TrVersion1;
            // Tomb Raider I Gold levels are told by their extension.
            isTub = EqualsNoCase(ExtensionOf(filePath), ".tub") ? 1 : 0;
            break;
        case kMagicTr2: version = TrVersion2; break;
        case kMagicTr3:
        case kMagicTr3Old: version = TrVersion3; break;
        case kMagicTr4: version = TrVersion4; break;
        case kMagicTr4Encrypted: version = TrVersion4Encrypted; return false;
        default:
            version = TrVersionUnknown;
            NoteRefusal(StrFormat("first word 0x%08x: not a level of Tomb Raider I-IV", magic));
            return false;
    }

    try {
        ProgressScope progress(showMessages, "load", name);
        progress.range(size - 4);
        // The file's size stays counted: a save makes an image about as large, beside the
        // packed parts it is made of.
        memory.Charge(size, "the file");
        ByteReader cursor(image, size, "file");
        cursor.skip(4);
        if (version == TrVersion4)
            ReadImageTr4(cursor, size, progress.get());
        else
            ReadImageTr123(cursor, progress.get());
        if (owner) std::vector<uint8_t>().swap(*owner);  // everything read is copied
        if (!noBuild) BuildObjectModel(progress.get(), catalog);
    } catch (const std::bad_alloc&) {
        Free();
        LevelLog().outOfMemory = true;
        NoteRefusal("not enough memory to read it");
        return false;
    } catch (const std::exception& e) {
        NoteRefusal(e.what());
        Free();
        return false;
    }
    return true;
}

void CTrLevel::ReadImageTr123(ByteReader& in, ILevelProgress* progress) {
    const size_t origin = in.pos();
    auto report = [&](size_t pos) {
        if (progress) progress->SetMainPos(uint32_t(std::min<size_t>(pos - origin, UINT32_MAX)));
    };
    if (version != TrVersion1) {
        in.setSection("palettes");
        in.bytes(palette, sizeof palette);
        in.bytes(palette16, sizeof palette16);
        report(in.pos());
    }
    in.setSection("texture pages");
    const uint32_t count = in.u32();
    if (count > kMaxPages)
        in.fail(StrFormat("%u pages, more than a level holds (at most %llu)", count,
                          static_cast<unsigned long long>(kMaxPages)));
    in.need(count, version == TrVersion1 ? kPage8Bytes : kPage8Bytes + kPage16Bytes);
    // The pages with their file pixels, and the index of each colour.
    memory.Charge(count * kPageHeldBytes + 32768 * (sizeof(int16_t) + sizeof(int16_t)),
                  "texture pages");
    // The 8-bit pages stay in the image until the palette is known.
    const uint8_t* pages8 = in.cursor();
    in.skip(size_t(count) * kPage8Bytes);
    pages.assign(count, TrPage());
    if (version != TrVersion1) {
        for (TrPage& page : pages) {
            GetPage16(page, in.cursor());
            in.skip(kPage16Bytes);
        }
        report(in.pos());
    }

    ParseLevelData(in, in.pos() - origin, progress);
    if (in.left() > 0)
        AppendLogLine(StrFormat("%zu bytes after the level data are not part of the level",
                                in.left()));

    if (version == TrVersion1) {
        // Index 0 is transparent black; any other index is its palette colour, opaque.
        uint16_t colours[256];
        Tr1EntryColours(palette, colours);
        colours[0] = 0;
        for (size_t p = 0; p < pages.size(); ++p) {
            pages[p].resize(kPagePixels);
            const uint8_t* src = pages8 + p * kPage8Bytes;
            for (size_t i = 0; i < kPagePixels; ++i) pages[p][i] = colours[src[i]];
        }
    }
    // Every texel's index beside its 16-bit pixel, for the save to give back; and the index
    // each opaque colour had in the file: where the file gave one colour several indices,
    // the nearest of them (the lowest of equals), so that no texel gets an entry further
    // from its colour than the one it had.
    pageFilePixels.assign(pages.size(), std::vector<uint32_t>());
    colourIndices.assign(32768, -1);
    std::vector<int16_t> distance(32768, INT16_MAX);
    for (size_t p = 0; p < pages.size(); ++p) {
        const uint8_t* src = pages8 + p * kPage8Bytes;
        const uint16_t* page = pages[p].data();
        std::vector<uint32_t>& plane = pageFilePixels[p];
        plane.resize(kPagePixels);
        uint32_t last = 0;  // the texel before, as its file pixel (0: none)
        for (size_t i = 0; i < kPagePixels; ++i) {
            const uint16_t px = page[i];
            const uint8_t k = src[i];
            const uint32_t filePixel = IndexFilePixel(px, k);
            plane[i] = filePixel;
            // A texel like the one before changes nothing below.
            if (filePixel == last) continue;
            last = filePixel;
            if (!(px & 0x8000) || k == 0) continue;
            const size_t c = px & 0x7FFF;
            if (colourIndices[c] == k) continue;
            const int d = std::abs(int((px >> 10) & 31) * 8 - 4 * palette[k][0]) +
                          std::abs(int((px >> 5) & 31) * 8 - 4 * palette[k][1]) +
                          std::abs(int(px & 31) * 8 - 4 * palette[k][2]);
            if (d < distance[c] || (d == distance[c] && k < colourIndices[c])) {
                distance[c] = int16_t(d);
                colourIndices[c] = k;
            }
        }
    }
}

CPage8Indexer::CPage8Indexer(const uint8_t palette[256][3], bool exactColours,
                             const std::vector<int16_t>& known)
    : table_(32768, 0) {
    for (int k = 0; k < 256; ++k) {
        pr_[k] = int16_t(4 * palette[k][0]);
        pg_[k] = int16_t(4 * palette[k][1]);
        pb_[k] = int16_t(4 * palette[k][2]);
    }
    if (exactColours) {
        // Tomb Raider I: each entry's own colour (the pages were made from them).
        uint16_t colours[256];
        Tr1EntryColours(palette, colours);
        for (int k = 1; k < 256; ++k) table_[colours[k] & 0x7FFF] = uint8_t(k);
    }
    // The index a colour had in the file wins over any other.
    for (size_t c = 0; c < known.size() && c < table_.size(); ++c)
        if (known[c] > 0) table_[c] = uint8_t(known[c]);
}

uint8_t CPage8Indexer::operator()(uint16_t px) {
    if (!(px & 0x8000)) return 0;
    uint8_t& entry = table_[px & 0x7FFF];
    if (entry == 0) {
        const int16_t r = int16_t(((px >> 10) & 31) * 8), g = int16_t(((px >> 5) & 31) * 8),
                      b = int16_t((px & 31) * 8);
        int16_t d[256];
        for (int k = 0; k < 256; ++k)
            d[k] = int16_t(std::abs(r - pr_[k]) + std::abs(g - pg_[k]) + std::abs(b - pb_[k]));
        // The first of the smallest distances among entries 1 to 255.
        int bestIndex = 1;
        for (int k = 2; k < 256; ++k)
            if (d[k] < d[bestIndex]) bestIndex = k;
        entry = uint8_t(bestIndex);
    }
    return entry;
}

void Tr1EntryColours(const uint8_t palette[256][3], uint16_t out[256]) {
    std::vector<bool> taken(32768, false);
    for (int i = 0; i < 256; ++i) {
        const int r = (palette[i][0] >> 1) & 31, g = (palette[i][1] >> 1) & 31, b = (palette[i][2] >> 1) & 31;
        int colour = (r << 10) | (g << 5) | b;
        // The halved colour, else the nearest free one a step away on one or more axes.
        for (int step = 0; step < 27 && taken[size_t(colour)]; ++step) {
            const int dr = step % 3 == 1 ? 1 : step % 3 == 2 ? -1 : 0;
            const int dg = step / 3 % 3 == 1 ? 1 : step / 3 % 3 == 2 ? -1 : 0;
            const int db = step / 9 == 1 ? 1 : step / 9 == 2 ? -1 : 0;
            const int nr = r + dr, ng = g + dg, nb = b + db;
            if (nr < 0 || ng < 0 || nb < 0 || nr > 31 || ng > 31 || nb > 31) continue;
            if (!taken[size_t((nr << 10) | (ng << 5) | nb)]) colour = (nr << 10) | (ng << 5) | nb;
        }
        taken[size_t(colour)] = true;
        out[i] = uint16_t(0x8000 | colour);
    }
}

void CTrLevel::ReadImageTr4(ByteReader& in, size_t size, ILevelProgress* progress) {
    (void)size;  // the cursor is bounded by the image
    in.setSection("page counts");
    roomPageCount = in.u16();
    objectPageCount = in.u16();
    bumpPageCount = in.u16();
    const uint64_t count = uint64_t(roomPageCount) + objectPageCount + bumpPageCount;
    if (count > kMaxPages)
        in.fail(StrFormat("%llu pages, more than a level holds (at most %llu)",
                          static_cast<unsigned long long>(count),
                          static_cast<unsigned long long>(kMaxPages)));
    // The page and level-data chunks are inflated from the image itself; only what the
    // save writes back as it stands is kept packed.
    const PackedSpan packed32 = ReadSpan(in, pages32Chunk, "32-bit pages chunk");
    const PackedSpan packed16 = ReadSpan(in, pages16Chunk, "16-bit pages chunk");
    ReadChunk(in, miscChunk, "third texture chunk");
    TrPackedChunk levelChunk;
    const PackedSpan packedLevel = ReadSpan(in, levelChunk, "level-data chunk");

    in.setSection("samples");
    const uint32_t sampleCount = in.u32();
    in.need(sampleCount, 8);
    // The samples, the third chunk and the trailing bytes are kept as read: at most the
    // file's size.
    memory.Charge(in.left() + miscChunk.data.size() + sampleCount * sizeof(TrPackedChunk),
                  "samples");
    samples.assign(sampleCount, TrPackedChunk());
    for (TrPackedChunk& sample : samples) {
        sample.unpackedSize = in.u32();
        const uint32_t packed = in.u32();
        sample.data = in.take(packed);
    }
    trailing = in.take(in.left());

    // Every size checked before anything is allocated for it. The 16-bit pages must all be
    // there; what the chunk holds past them is left out. The level data can't be more than
    // a level file holds.
    const uint64_t pages16Bytes = count * kPage16Bytes;
    if (pages16Chunk.unpackedSize < pages16Bytes)
        throw FormatError("16-bit pages chunk", 0,
                          StrFormat("%u bytes, too few for %llu pages", unsigned(pages16Chunk.unpackedSize),
                                    static_cast<unsigned long long>(count)));
    CheckInflatedSize(packed16, pages16Bytes, "16-bit pages chunk");
    if (packedLevel.unpackedSize > kMaxLevelBytes)
        throw FormatError("level-data chunk", 0,
                          StrFormat("%u bytes, more than a level holds (at most %llu)",
                                    unsigned(packedLevel.unpackedSize),
                                    static_cast<unsigned long long>(kMaxLevelBytes)));
    CheckInflatedSize(packedLevel, packedLevel.unpackedSize, "level-data chunk");
    memory.Charge(count * kPageHeldBytes, "texture pages");
    // The inflated level data, until it is read.
    ScopedCharge levelDataCharge(memory, packedLevel.unpackedSize, "the level data");
    // The game's 32-bit pages, not ours: damage there is repaired at the next save from the
    // 16-bit pages, as before they were kept.
    std::string pages32Damage;
    if (pages32Chunk.unpackedSize != count * kPage32Bytes)
        pages32Damage = StrFormat("it declares %u bytes for %llu pages",
                                  unsigned(pages32Chunk.unpackedSize),
                                  static_cast<unsigned long long>(count));
    else if (uint64_t(count) * kPage32Bytes > uint64_t(packed32.packedSize) * kMaxInflateRatio + 64)
        pages32Damage = "its size can't come from its packed bytes";

    // The level data inflates on a thread of its own while the pages do.
    if (progress) progress->SetMainRange(levelChunk.unpackedSize);
    std::vector<uint8_t> data;
    std::exception_ptr levelFailure;
    std::thread levelInflate([&]() {
        try {
            data.resize(packedLevel.unpackedSize);
            uint8_t* block = data.data();
            InflateSpan(packedLevel, &block, 1, data.size(), "level-data chunk");
        } catch (...) {
            levelFailure = std::current_exception();
        }
    });
    // The 32-bit pages, which the game shows: a save gives back each pixel whose 16-bit
    // form nobody changed. They go straight into the page planes (B, G, R, A bytes are the
    // little-endian words).
    std::exception_ptr pages32Failure;
    pageFilePixels.assign(pages32Damage.empty() ? size_t(count) : 0, std::vector<uint32_t>());
    std::thread pages32Inflate([&]() {
        if (!pages32Damage.empty()) return;
        try {
            std::vector<uint8_t*> blocks;
            for (std::vector<uint32_t>& plane : pageFilePixels) {
                plane.resize(kPagePixels);
                blocks.push_back(reinterpret_cast<uint8_t*>(plane.data()));
            }
            InflateSpan(packed32, blocks.data(), blocks.size(), kPage32Bytes, "32-bit pages chunk");
#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
            for (std::vector<uint32_t>& plane : pageFilePixels)
                for (uint32_t& v : plane) v = GetU32(reinterpret_cast<const uint8_t*>(&v));
#endif
        } catch (...) {
            pages32Failure = std::current_exception();
        }
    });
    struct Join {  // a failure with the pages still waits for the threads
        std::thread& a;
        std::thread& b;
        ~Join() {
            if (a.joinable()) a.join();
            if (b.joinable()) b.join();
        }
    } join{levelInflate, pages32Inflate};
    {
        pages.assign(size_t(count), TrPage());
        std::vector<uint8_t*> blocks;
        for (TrPage& page : pages) {
            page.resize(kPagePixels);
            blocks.push_back(reinterpret_cast<uint8_t*>(page.data()));
        }
        const bool longer = pages16Chunk.unpackedSize > pages16Bytes;
        InflateSpan(packed16, blocks.data(), blocks.size(), kPage16Bytes, "16-bit pages chunk", longer);
        if (longer)
            AppendLogLine(StrFormat("ERROR: 16-bit pages chunk declares %u bytes for %llu pages; "
                                    "what follows the pages is left out.",
                                    unsigned(pages16Chunk.unpackedSize),
                                    static_cast<unsigned long long>(count)),
                          true);
#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
        for (TrPage& page : pages)
            for (uint16_t& v : page) v = GetU16(reinterpret_cast<const uint8_t*>(&v));
#endif
    }
    // Kept and written back as read: damage there can only be reported.
    const std::string miscDamage = ChunkDamage(miscChunk);
    if (!miscDamage.empty())
        AppendLogLine("ERROR: third texture chunk damaged (" + miscDamage + "); it is kept as read.",
                      true);
    pages32Inflate.join();
    if (pages32Failure) {
        std::vector<std::vector<uint32_t>>().swap(pageFilePixels);
        try {
            std::rethrow_exception(pages32Failure);
        } catch (const std::exception& e) {
            pages32Damage = e.what();
        }
    }
    if (!pages32Damage.empty())
        AppendLogLine("ERROR: 32-bit pages not read (" + pages32Damage +
                          "); they are made again from the 16-bit pages when saving.",
                      true);
    levelInflate.join();
    if (levelFailure) std::rethrow_exception(levelFailure);
    ByteReader levelData(data, "level data");
    ParseLevelData(levelData, 0, progress);
}

// ---- Save ----------------------------------------------------------------------------------

bool CTrLevel::DecideKeepUnusedTextures(int unusedTextureMode) const {
    if (unusedObjectTextures.empty()) return false;
    if (unusedTextureMode == 2)
        // Asked whatever the caller says about messages; keeping loses nothing.
        return ShowMessage("Do you want to keep the unused textures in the level ?", kCaption,
                           MsgButtons::YesNo, MsgIcon::Question, MsgAnswer::Yes) == MsgAnswer::Yes;
    return unusedTextureMode == 1;
}

bool CTrLevel::Save(const std::string& target, int unusedTextureMode, bool noRebuild,
                    bool showMessages, CGameCatalog* catalog) {
    if (version < TrVersion1 || version > TrVersion4) return false;
    PumpPendingMessages();

    // Refused before anything is built; the old file is never touched.
    std::string notRegular;
    if (const int err = CheckWritable(target, &notRegular)) {
        if (showMessages)
            ShowError(Text(kCantCreate, target.c_str(), unsigned(err)) +
                      (notRegular.empty() ? ReasonLine(err) : NotRegularLine(notRegular)));
        return false;
    }

    const bool rebuild = !noRebuild;
    soundsLeftOut.clear();
    LevelLog().outOfMemory = false;
    std::vector<uint8_t> image;
    size_t size = 0;
    try {
        image = version == TrVersion4
                    ? BuildImageTr4(&size, rebuild, unusedTextureMode, showMessages, catalog)
                    : BuildImageTr123(&size, rebuild, unusedTextureMode, showMessages, catalog);
        CheckImageBounds(size, pages.size());
    } catch (const std::exception& e) {
        const bool memory = dynamic_cast<const std::bad_alloc*>(&e) != nullptr;
        const std::string why = memory ? "not enough memory to build it" : e.what();
        LevelLog().outOfMemory = memory;
        AppendLogLine("Level not saved: " + why);
        if (showMessages) ShowError(StrFormat("The level can't be saved: %s.\n", why.c_str()));
        return false;
    }

    std::string why;
    errno = 0;
    if (!WriteFileSafely(target, image.data(), size, &why)) {
        const long err = errno ? errno : EIO;
        if (showMessages) {
            if (StartsWith(why, "can't create"))
                ShowError(Text(kCantCreate, target.c_str(), unsigned(err)) + ReasonLine(err));
            else
                ShowError(Text(kCantWrite, err) + ReasonLine(err));
        }
        return false;
    }
    path = target;
    // Told whatever the caller says about messages: the file lacks what the level had.
    if (!soundsLeftOut.empty())
        ShowMessage(SoundsLeftOutMessage(soundsLeftOut), kCaption, MsgButtons::Ok,
                    MsgIcon::Warning);
    return true;
}

size_t CTrLevel::GetImageSizeTr123() const {
    size_t size = GetLevelDataSize() + 8 + pages.size() * kPage8Bytes;  // magic, page count
    if (version != TrVersion1) size += sizeof palette + sizeof palette16 + pages.size() * kPage16Bytes;
    return size;
}

size_t CTrLevel::GetImageSizeTr4(bool withLevelData) const {
    const bool pcm = SaveUncompressedSounds();
    size_t size = 46 + pages32Chunk.packedSize() + pages16Chunk.packedSize() + miscChunk.packedSize();
    for (const TrPackedChunk& s : samples)
        size += 8 + (pcm && s.unpackedSize != s.packedSize() ? 4 * size_t(s.packedSize())
                                                              : size_t(s.packedSize()));
    size += trailing.size();
    if (withLevelData) size += GetLevelDataSize();
    return size;
}

std::vector<uint8_t> CTrLevel::BuildImageTr123(size_t* sizeOut, bool rebuild,
                                               int unusedTextureMode, bool showDialog,
                                               CGameCatalog* catalog) {
    ProgressScope progress(showDialog, "save", name);
    const bool keepUnused = DecideKeepUnusedTextures(unusedTextureMode);
    PumpPendingMessages();
    RebuildScope rebuildAfter(*this, rebuild, progress.get(), keepUnused, catalog);
    if (version < TrVersion1 || version > TrVersion3)
        throw LevelError("not a Tomb Raider I to III level");
    CheckPages(pages);
    CheckLevelDataBounds();

    const size_t size = GetImageSizeTr123();
    CheckImageBounds(size, pages.size());
    progress.range(size);
    std::vector<uint8_t> image(size);
    ByteWriter out(image);
    out.u32(MagicForVersion(version));
    if (version != TrVersion1) {
        out.bytes(palette, sizeof palette);
        out.bytes(palette16, sizeof palette16);
    }
    progress.pos(out.pos());
    out.u32(uint32_t(pages.size()));
    // The pages go straight into the image; the level data follows them.
    const size_t pagesAt = out.pos();
    const size_t pageBytes = pages.size() * (version == TrVersion1 ? kPage8Bytes
                                                                   : kPage8Bytes + kPage16Bytes);
    if (pageBytes > out.left()) throw LevelError("the pages don't fit the image");
    CPage8Indexer indexer(palette, version == TrVersion1, colourIndices);
    ConvertPagesTo8(indexer, pages, image.data() + pagesAt, pageFilePixels, version);
    if (version != TrVersion1)
        PutPages16(image.data() + pagesAt + pages.size() * kPage8Bytes, pages);
    ByteWriter rest(image.data() + pagesAt + pageBytes, size - pagesAt - pageBytes);
    WriteLevelData(rest, progress.get(), pagesAt + pageBytes);
    if (pagesAt + pageBytes + rest.pos() != size)
        throw LevelError(StrFormat("the image holds %zu bytes instead of %zu",
                                   pagesAt + pageBytes + rest.pos(), size));
    rebuildAfter.Done();
    *sizeOut = size;
    return image;
}

std::vector<uint8_t> CTrLevel::BuildImageTr4(size_t* sizeOut, bool rebuild, int unusedTextureMode,
                                             bool showDialog, CGameCatalog* catalog) {
    ProgressScope progress(showDialog, "save", name);
    const bool keepUnused = DecideKeepUnusedTextures(unusedTextureMode);
    PumpPendingMessages();
    RebuildScope rebuildAfter(*this, rebuild, progress.get(), keepUnused, catalog);
    if (version != TrVersion4) throw LevelError("not a Tomb Raider IV level");
    CheckPages(pages);
    if (size_t(roomPageCount) + objectPageCount + bumpPageCount != pages.size())
        throw OverflowError(StrFormat("%zu pages for page counts %u + %u + %u", pages.size(),
                                   unsigned(roomPageCount), unsigned(objectPageCount),
                                   unsigned(bumpPageCount)));

    // Level data, 16-bit pages as held and 32-bit B, G, R, A pages made from them,
    // compressed together; the pages are read or made segment by segment, never whole.
    CheckLevelDataBounds();
    CheckImageBounds(0, pages.size());
    const size_t c = GetLevelDataSize();
    progress.range(2 * c);
    TrPackedChunk levelChunk;
    pages32Chunk.clear();
    pages16Chunk.clear();
    struct ChunkRelease {
        CTrLevel& l;
        ~ChunkRelease() {
            l.pages32Chunk.clear();
            l.pages16Chunk.clear();
        }
    } releaseChunks{*this};
    {
        std::vector<uint8_t> data(c);
        ByteWriter w(data);
        WriteLevelData(w, progress.get(), 0);
        if (w.pos() != c)
            throw LevelError(StrFormat("the level data holds %zu bytes instead of %zu", w.pos(), c));
        ChunkToCompress jobs[3];
        jobs[0].data = data.data();
        jobs[0].size = data.size();
        jobs[1].size = pages.size() * kPage16Bytes;
        jobs[1].make = [this](size_t offset, size_t size, uint8_t* out) {
            CopyPages16(pages, offset, size, out);
        };
        jobs[2].size = pages.size() * kPage32Bytes;
        jobs[2].make = [this](size_t offset, size_t size, uint8_t* out) {
            MakePages32(version, pages, pageFilePixels, offset, size, out);
        };
        TrPackedChunk* const outs[3] = {&levelChunk, &pages16Chunk, &pages32Chunk};
        const char* const what[3] = {"level data", "16-bit pages", "32-bit pages"};
        size_t failed = 0;
        // Packed chunks larger than a level are given up as soon as they are.
        const int status = CompressChunksParallel(jobs, outs, 3, 0, &failed, kMaxLevelBytes);
        if (status == Z_BUF_ERROR)
            throw OverflowError(StrFormat("the level data and pages pack to more than %llu bytes, "
                                          "more than a level holds",
                                          static_cast<unsigned long long>(kMaxLevelBytes)));
        if (status != Z_OK)
            throw LevelError(StrFormat("zlib could not compress the %s (error %d)", what[failed], status));
    }
    progress.pos(c + c / 2);

    // Samples as held, or as 16-bit PCM when the setting asks and the conversion works.
    const bool pcm = SaveUncompressedSounds();
    std::vector<std::vector<uint8_t>> converted(samples.size());
    if (pcm) {
        for (size_t i = 0; i < samples.size(); ++i) {
            const TrPackedChunk& s = samples[i];
            if (s.unpackedSize == s.packedSize()) continue;
            std::vector<uint8_t> wave = ConvertSampleToPcm(s);
            // Held to four times the stored size, as the image size allows for.
            if (!wave.empty() && wave.size() <= 4 * size_t(s.packedSize()))
                converted[i] = std::move(wave);
        }
    }

    const size_t bound = GetImageSizeTr4(false) + levelChunk.packedSize();
    AppendLogLine(StrFormat("DataSize for Level = 0x%X", unsigned(bound)));
    size_t exact = bound;
    for (size_t i = 0; i < samples.size(); ++i)
        if (pcm && samples[i].unpackedSize != samples[i].packedSize())
            exact = exact - 4 * size_t(samples[i].packedSize()) +
                    (converted[i].empty() ? samples[i].packedSize() : converted[i].size());
    CheckImageBounds(exact, pages.size());
    std::vector<uint8_t> image(exact);
    ByteWriter out(image);
    out.u32(MagicForVersion(version));
    out.u16(roomPageCount);
    out.u16(objectPageCount);
    out.u16(bumpPageCount);
    WriteChunk(out, pages32Chunk);
    WriteChunk(out, pages16Chunk);
    WriteChunk(out, miscChunk);
    WriteChunk(out, levelChunk);
    out.u32(uint32_t(samples.size()));
    for (size_t i = 0; i < samples.size(); ++i) {
        if (!converted[i].empty()) {
            out.u32(uint32_t(converted[i].size()));
            out.u32(uint32_t(converted[i].size()));
            out.bytes(converted[i].data(), converted[i].size());
        } else {
            WriteChunk(out, samples[i]);
        }
    }
    out.bytes(trailing.data(), trailing.size());
    progress.pos(2 * c);
    image.resize(out.pos());
    rebuildAfter.Done();
    *sizeOut = image.size();
    return image;
}

// ---- Samples -------------------------------------------------------------------------------

std::vector<uint8_t> ConvertSampleToPcm(const TrPackedChunk& sample) {
    const std::vector<uint8_t>& wave = sample.data;
    // The channel count as the decoder sees it, so that the header fits the data even
    // when the format record does not stand at byte 20.
    int channelCount = 0, rate = 0;
    if (!ProbeWave(wave.data(), wave.size(), &channelCount, &rate)) return {};
    if (channelCount <= 0 || channelCount > 0xFFFF / 2) return {};
    const uint16_t channels = uint16_t(channelCount);
    std::vector<uint8_t> pcm;
    if (AcmConvert(wave.data(), wave.size(), pcm) != 0 || pcm.empty()) return {};
    if (pcm.size() > 0xFFFFFFFFu - 44) return {};
    const uint32_t dataSize = uint32_t(pcm.size());

    std::vector<uint8_t> out(44 + pcm.size());
    ByteWriter w(out);
    w.bytes("RIFF", 4);
    w.u32(dataSize + 36);
    w.bytes("WAVE", 4);
    w.bytes("fmt ", 4);
    w.u32(16);
    w.u16(1);  // PCM
    w.u16(channels);
    w.u32(uint32_t(kPcmTargetRate));
    w.u32(uint32_t(kPcmTargetRate) * channels * 2);
    w.u16(uint16_t(channels * 2));
    w.u16(16);
    w.bytes("data", 4);
    w.u32(dataSize);
    w.bytes(pcm.data(), pcm.size());
    return out;
}

// ---- Progress factory and message pump -------------------------------------------------------

namespace {
LevelProgressFactory& Factory() {
    static LevelProgressFactory factory;
    return factory;
}
PendingMessagePump& Pump() {
    static PendingMessagePump pump;
    return pump;
}
}  // namespace

LevelProgressFactory SetLevelProgressFactory(LevelProgressFactory factory) {
    LevelProgressFactory previous = std::move(Factory());
    Factory() = std::move(factory);
    return previous;
}

std::unique_ptr<ILevelProgress> CreateLevelProgress(const std::string& kind,
                                                    const std::string& title) {
    if (!Factory()) return nullptr;
    return Factory()(kind, title);
}

PendingMessagePump SetPendingMessagePump(PendingMessagePump pump) {
    PendingMessagePump previous = std::move(Pump());
    Pump() = std::move(pump);
    return previous;
}

void PumpPendingMessages() {
    if (Pump()) Pump()();
}

}  // namespace lithoscope
