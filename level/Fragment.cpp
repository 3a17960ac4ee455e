#include "level/Fragment.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "level/LevelLog.h"
#include "level/MeshRecord.h"
#include "level/Pixels.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {
// Index i of the first fragment (in index order) among candidates whose rectangle
// contains or lies inside (left, top, right, bottom); -1 when none.
template <class Candidates>
long FindJoin(const std::vector<CFragment>& fragments, const Candidates& candidates,
              const uint16_t* pixels, int left, int top, int right, int bottom) {
    for (size_t i : candidates) {
        const CFragment& f = fragments[i];
        if (f.references.empty() || f.pixels != pixels) continue;
        bool inside = left >= f.x1 && top >= f.y1 && right <= f.x2 && bottom <= f.y2;
        bool holds = left <= f.x1 && top <= f.y1 && right >= f.x2 && bottom >= f.y2;
        if (inside || holds) return long(i);
    }
    return -1;
}

struct AllIndices {
    size_t n;
    struct It {
        size_t i;
        size_t operator*() const { return i; }
        It& operator++() { ++i; return *this; }
        bool operator!=(const It& o) const { return i != o.i; }
    };
    It begin() const { return {0}; }
    It end() const { return {n}; }
};
}  // namespace

// Appends refs to list, keeping the list in collection order. Both are normally in that
// order already: then they only need merging.
static void AppendInOrder(std::vector<FragmentRef>& list, const std::vector<FragmentRef>& refs) {
    auto before = [](const FragmentRef& x, const FragmentRef& y) { return x.order < y.order; };
    const auto middle = ptrdiff_t(list.size());
    list.insert(list.end(), refs.begin(), refs.end());
    if (std::is_sorted(list.begin(), list.begin() + middle, before) &&
        std::is_sorted(list.begin() + middle, list.end(), before))
        std::inplace_merge(list.begin(), list.begin() + middle, list.end(), before);
    else
        std::stable_sort(list.begin(), list.end(), before);
}

static uint64_t NextRefOrder() {
    static std::atomic<uint64_t> counter{0};
    return ++counter;
}

FragmentSourceIndex::FragmentSourceIndex(const std::vector<CFragment>& fragments)
    : exactKnown_(fragments.empty()) {
    for (size_t i = 0; i < fragments.size(); ++i) bySource_[fragments[i].pixels].push_back(i);
}

long FragmentSourceIndex::FindExact(const uint16_t* pixels, int left, int top, int right,
                                    int bottom) const {
    if (!exactKnown_) return -1;
    auto it = exact_.find(Rect{pixels, int16_t(left), int16_t(top), int16_t(right), int16_t(bottom)});
    return it == exact_.end() ? -1 : long(it->second);
}

void FragmentSourceIndex::SetExact(const uint16_t* pixels, int left, int top, int right, int bottom,
                                   size_t index) {
    if (exactKnown_)
        exact_[Rect{pixels, int16_t(left), int16_t(top), int16_t(right), int16_t(bottom)}] = index;
}

void FragmentSourceIndex::EraseExact(const uint16_t* pixels, int left, int top, int right,
                                     int bottom) {
    if (exactKnown_)
        exact_.erase(Rect{pixels, int16_t(left), int16_t(top), int16_t(right), int16_t(bottom)});
}

void CFragment::Add(std::vector<CFragment>& fragments, const TrObjectTextureRecord& texture,
                    int cornerCount, int kind, void* owner, bool noJoin, const uint16_t* pixels,
                    int stride, int sourceRows, bool stackedPages) {
    AddIndexed(fragments, nullptr, texture, cornerCount, kind, owner, noJoin, pixels, stride,
               sourceRows, stackedPages);
}

void CFragment::AddIndexed(std::vector<CFragment>& fragments, FragmentSourceIndex* index,
                           const TrObjectTextureRecord& texture, int cornerCount, int kind,
                           void* owner, bool noJoin, const uint16_t* pixels, int stride,
                           int sourceRows, bool stackedPages, uint32_t animated) {
    FragmentRef ref;
    ref.texture = texture;
    ref.animated = animated;
    ref.isQuad = cornerCount == 4;
    ref.owner = owner;
    ref.kind = kind;
    ref.order = NextRefOrder();
    // The corner bytes are settled (a no-op for the textures of a loaded level, which are
    // settled at load); the rectangle is then the corners' pixels, whatever its place, so
    // a texture cut again after a save gives the same rectangle.
    const int corners = ref.isQuad ? 4 : 3;
    NormaliseTextureCorners(ref.texture, corners);
    int left = 255, top = 255, right = 0, bottom = 0;
    for (int k = 0; k < corners; ++k) {
        const uint8_t* c = ref.texture.corner(k);
        left = std::min<int>(left, c[1]);
        right = std::max<int>(right, c[1]);
        top = std::min<int>(top, c[3]);
        bottom = std::max<int>(bottom, c[3]);
    }
    if (stackedPages) {
        int band = (texture.page() & 0xFF) * 256;
        top += band;
        bottom += band;
    }

    long found = -1;
    bool exact = false;  // the fragment has this very rectangle
    if (!noJoin) {
        if (index) {
            found = index->FindExact(pixels, left, top, right, bottom);
            exact = found >= 0 && !fragments[size_t(found)].references.empty() &&
                    fragments[size_t(found)].pixels == pixels;
            if (!exact) {
                found = -1;
                const std::vector<size_t>* bucket = index->Find(pixels);
                if (bucket) found = FindJoin(fragments, *bucket, pixels, left, top, right, bottom);
            }
        } else {
            found = FindJoin(fragments, AllIndices{fragments.size()}, pixels, left, top, right,
                             bottom);
        }
    }
    CFragment* target;
    if (found >= 0) {
        target = &fragments[size_t(found)];
        if (!exact && left <= target->x1 && top <= target->y1 && right >= target->x2 &&
            bottom >= target->y2) {
            if (index) index->EraseExact(pixels, target->x1, target->y1, target->x2, target->y2);
            target->x1 = int16_t(left);
            target->y1 = int16_t(top);
            target->x2 = int16_t(right);
            target->y2 = int16_t(bottom);
            target->width = int16_t(right - left + 1);
            target->height = int16_t(bottom - top + 1);
            target->area = int32_t(target->width) * target->height;
            // Fragments of the same source that now lie inside the grown one join it, so
            // that uses of one texture never end up in two fragments.
            auto absorb = [&](size_t i) {
                CFragment& other = fragments[i];
                if (&other == target || other.references.empty() || other.pixels != pixels ||
                    other.x1 < left || other.y1 < top || other.x2 > right || other.y2 > bottom)
                    return;
                AppendInOrder(target->references, other.references);
                std::vector<FragmentRef>().swap(other.references);  // an empty slot holds nothing
                if (index) index->EraseExact(pixels, other.x1, other.y1, other.x2, other.y2);
            };
            if (index) {
                if (const std::vector<size_t>* bucket = index->Find(pixels))
                    for (size_t i : *bucket) absorb(i);
                index->SetExact(pixels, left, top, right, bottom, size_t(found));
            } else {
                for (size_t i = 0; i < fragments.size(); ++i) absorb(i);
            }
        }
    } else {
        if (index) {
            index->Note(pixels, fragments.size());
            if (noJoin)
                index->StopExact();
            else
                index->SetExact(pixels, left, top, right, bottom, fragments.size());
        }
        fragments.emplace_back();
        target = &fragments.back();
        target->pixels = pixels;
        target->stride = stride;
        target->sourceRows = sourceRows;
        target->x1 = int16_t(left);
        target->y1 = int16_t(top);
        target->x2 = int16_t(right);
        target->y2 = int16_t(bottom);
        target->width = int16_t(right - left + 1);
        target->height = int16_t(bottom - top + 1);
        target->area = int32_t(target->width) * target->height;
    }
    target->references.push_back(ref);
}

void CFragment::AddObjectMeshFaces(CTrLstMsh& object, const std::vector<uint16_t>& page,
                                   std::vector<CFragment>& fragments, int meshIndex,
                                   bool allButIt) {
    const int stride = int(object.width);
    const int rows = int(std::min<size_t>(object.height, stride ? page.size() / size_t(stride) : 0));
    FragmentSourceIndex index(fragments);
    for (size_t i = object.meshes.size(); i-- > 0;) {
        if (meshIndex != -1) {
            const bool it = int(i) == meshIndex;
            if (it == allButIt) continue;
        }
        TrMeshRecord& m = object.meshes[i];
        if (m.dummy) continue;
        AddFaces(page.data(), stride, rows, object.textures, m.texturedRectangles, 4, fragments,
                 true, &index);
        AddFaces(page.data(), stride, rows, object.textures, m.texturedTriangles, 3, fragments,
                 true, &index);
    }
}

std::vector<CFragment> CFragment::CollectMeshFragments(CTrLevel& level,
                                                       const std::vector<TrMeshRecord*>& meshes) {
    std::vector<CFragment> fragments;
    size_t slots = 0;
    for (const TrMeshRecord* m : meshes)
        if (m) slots += m->texturedRectangles.size() + m->texturedTriangles.size();
    fragments.reserve(slots);
    FragmentSourceIndex index(fragments);
    for (size_t i = meshes.size(); i-- > 0;) {
        TrMeshRecord* m = meshes[i];
        if (!m || m->dummy) continue;
        AddLevelFaces(level, level.objectTextures, m->texturedRectangles, 4, fragments, false, &index);
        AddLevelFaces(level, level.objectTextures, m->texturedTriangles, 3, fragments, false, &index);
    }
    return fragments;
}

void CFragment::SortBySize(std::vector<CFragment>& fragments, int first, int last) {
    if (first < 0 || last >= int(fragments.size()) || first >= last) return;
    std::stable_sort(fragments.begin() + first, fragments.begin() + last + 1,
                     [](const CFragment& a, const CFragment& b) {
                         if (a.height != b.height) return a.height > b.height;
                         return a.width > b.width;
                     });
}

namespace {
// A rectangle outside its source's real extent can't be copied.
bool InsideSource(const CFragment& f) {
    return f.x1 >= 0 && f.y1 >= 0 && f.x2 >= f.x1 && f.y2 >= f.y1 && f.x2 < f.stride &&
           f.y2 < f.sourceRows && f.pixels != nullptr;
}
}  // namespace

namespace {
uint64_t Fnv(uint64_t h, const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Groups candidates only (equal pixels always hash alike): eight bytes at a time.
uint64_t PixelHash(const CFragment& f) {
    constexpr uint64_t kMix = 0xFF51AFD7ED558CCDull;
    uint64_t h = 1469598103934665603ull;
    for (int r = 0; r < f.height; ++r) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(f.pixels + size_t(f.y1 + r) * f.stride + f.x1);
        size_t n = size_t(f.width) * 2;
        for (; n >= 8; n -= 8, p += 8) {
            uint64_t v;
            std::memcpy(&v, p, 8);
            h = (h ^ v) * kMix;
            h ^= h >> 29;
        }
        uint64_t tail = 0;
        std::memcpy(&tail, p, n);
        h = (h ^ tail ^ (uint64_t(n) << 56)) * kMix;
        h ^= h >> 29;
    }
    return h;
}

const uint32_t* PlaneOf(const CFragment& f, const FilePixelPlanes* planes) {
    if (!planes) return nullptr;
    auto it = planes->find(f.pixels);
    return it == planes->end() ? nullptr : it->second;
}

bool SamePixels(const CFragment& a, const CFragment& b, const FilePixelPlanes* planes) {
    for (int r = 0; r < a.height; ++r) {
        const uint16_t* ra = a.pixels + size_t(a.y1 + r) * a.stride + a.x1;
        const uint16_t* rb = b.pixels + size_t(b.y1 + r) * b.stride + b.x1;
        if (std::memcmp(ra, rb, size_t(a.width) * 2) != 0) return false;
    }
    // Pixels the file held in more detail must agree in it too.
    const uint32_t* pa = PlaneOf(a, planes);
    const uint32_t* pb = PlaneOf(b, planes);
    if (!pa && !pb) return true;
    if (!pa || !pb) return false;
    for (int r = 0; r < a.height; ++r)
        if (std::memcmp(pa + size_t(a.y1 + r) * a.stride + a.x1, pb + size_t(b.y1 + r) * b.stride + b.x1,
                        size_t(a.width) * 4) != 0)
            return false;
    return true;
}
}  // namespace

// Each fragment joins the first earlier one of its size with the same pixels; rows are
// compared only between fragments whose pixels hash alike.
int CFragment::MergeDuplicates(std::vector<CFragment>& fragments, const FilePixelPlanes* planes) {
    int saved = 0;
    size_t runStart = 0;
    while (runStart < fragments.size()) {
        size_t runEnd = runStart + 1;
        while (runEnd < fragments.size() && fragments[runEnd].width == fragments[runStart].width &&
               fragments[runEnd].height == fragments[runStart].height)
            ++runEnd;
        std::unordered_map<uint64_t, std::vector<size_t>> candidates;
        for (size_t j = runStart; j < runEnd; ++j) {
            CFragment& b = fragments[j];
            if (b.references.empty() || !InsideSource(b)) continue;
            std::vector<size_t>& same = candidates[PixelHash(b)];
            CFragment* into = nullptr;
            for (size_t i : same) {
                CFragment& a = fragments[i];
                if (a.pixels == b.pixels && a.stride == b.stride && a.x1 == b.x1 && a.y1 == b.y1)
                    continue;  // rows at the same address
                if (SamePixels(a, b, planes)) {
                    into = &a;
                    break;
                }
            }
            if (!into) {
                same.push_back(j);
                continue;
            }
            const int dx = into->x1 - b.x1;
            const int dy = into->y1 - b.y1;
            for (FragmentRef& ref : b.references) {
                for (int k = 0; k < (ref.isQuad ? 4 : 3); ++k) {
                    uint8_t* c = ref.texture.corner(k);
                    c[1] = uint8_t(c[1] + dx);
                    c[3] = uint8_t(c[3] + dy);
                }
            }
            AppendInOrder(into->references, b.references);
            std::vector<FragmentRef>().swap(b.references);
            saved += int(into->width) * into->height * 2;
        }
        runStart = runEnd;
    }
    return saved;
}

namespace {
void InsertSorted(std::vector<FreeRect>& list, const FreeRect& r) {
    auto at = std::find_if(list.begin(), list.end(), [&](const FreeRect& e) {
        return e.height > r.height || (e.height == r.height && e.width > r.width);
    });
    list.insert(at, r);
}

}  // namespace

int CFragment::PackFragments(std::vector<CFragment>& fragments, std::vector<FreeRect>& freeList,
                             std::vector<int>& usedWidths, std::vector<int>& usedHeights,
                             int pageWidth) {
    int pages = int(usedWidths.size());
    for (CFragment& f : fragments) {
        if (f.references.empty()) continue;
        if (f.height > 256 || f.width > pageWidth || f.width <= 0 || f.height <= 0) {
            ShowMessage(StrFormat("A fragment with invalid dimensions (%ldx%ld) has been found ! "
                                  "Aborting...",
                                  long(f.width), long(f.height)),
                        "", MsgButtons::Ok, MsgIcon::Error);
            throw FragmentPackError("fragment of invalid dimensions");
        }
        if (!InsideSource(f)) {
            AppendLogLine(StrFormat("ERROR: texture rectangle (%d,%d)-(%d,%d) outside its "
                                    "%dx%d source",
                                    f.x1, f.y1, f.x2, f.y2, f.stride, f.sourceRows),
                          true);
            throw FragmentPackError("texture rectangle outside its source");
        }
        auto fit = std::find_if(freeList.begin(), freeList.end(), [&](const FreeRect& r) {
            return r.height >= f.height && r.width >= f.width;
        });
        FreeRect rect;
        if (fit == freeList.end()) {
            if (pages >= 128) throw FragmentPackError("textures need more than 128 pages");
            rect = FreeRect{pageWidth, 256, 0, 0, pages++};
            usedWidths.push_back(0);
            usedHeights.push_back(0);
        } else {
            rect = *fit;
            freeList.erase(fit);
        }
        f.page = rect.page;
        f.placedX = int16_t(rect.x);
        f.placedY = int16_t(rect.y);
        usedWidths[size_t(rect.page)] = std::max(usedWidths[size_t(rect.page)], rect.x + f.width);
        usedHeights[size_t(rect.page)] = std::max(usedHeights[size_t(rect.page)], rect.y + f.height);
        if (rect.width > f.width)
            InsertSorted(freeList, FreeRect{rect.width - f.width, f.height, rect.x + f.width,
                                            rect.y, rect.page});
        if (rect.height > f.height)
            InsertSorted(freeList, FreeRect{rect.width, rect.height - f.height, rect.x,
                                            rect.y + f.height, rect.page});
    }
    return pages;
}

bool CFragment::RefsDiffer(const FragmentRef& a, const FragmentRef& b) {
    if (b.isQuad && !a.isQuad) return true;
    if (a.texture.u16(0) != b.texture.u16(0) || a.texture.u16(2) != b.texture.u16(2) ||
        a.texture.u16(4) != b.texture.u16(4))
        return true;
    if (std::memcmp(&a.texture.b[22], &b.texture.b[22], 16) != 0) return true;
    const int corners = b.isQuad ? 4 : 3;
    return std::memcmp(a.texture.corner(0), b.texture.corner(0), size_t(corners) * 4) != 0;
}

namespace {
// Writes one reference back to its user; n is the texture number of its group.
void WriteBack(FragmentRef& e, const FragmentRef& d, uint32_t n, bool& animatedWritten) {
    switch (e.kind) {
        case FragFace: {
            uint8_t* word = static_cast<uint8_t*>(e.owner);
            PutU16(word, uint16_t((GetU16(word) & 0xC000) | n));
            break;
        }
        case FragSprite: {
            auto* s = static_cast<TrSpriteTextureRecord*>(e.owner);
            s->setU16(0, d.texture.page());
            s->setU8(2, d.texture.corner(0)[1]);
            s->setU8(3, d.texture.corner(0)[3]);
            break;
        }
        case FragTextureRecord: {
            auto* t = static_cast<TrObjectTextureRecord*>(e.owner);
            const int dx = int(d.texture.corner(0)[1]) - t->corner(0)[1];
            const int dy = int(d.texture.corner(0)[3]) - t->corner(0)[3];
            for (int k = 0; k < 4; ++k) {
                t->corner(k)[1] = uint8_t(t->corner(k)[1] + dx);
                t->corner(k)[3] = uint8_t(t->corner(k)[3] + dy);
            }
            t->setU16(2, d.texture.page());
            break;
        }
        case FragAnimatedEntry: {
            if (animatedWritten) return;  // the others form groups of their own later
            auto* entry = static_cast<uint16_t*>(e.owner);
            *entry = uint16_t((*entry & 0x4000) + n);
            animatedWritten = true;
            break;
        }
        default:
            break;
    }
    e.done = 1;
}
}  // namespace

namespace {

// Packs the fragments into pages w wide (0: as wide as they need); w and h become the
// size of the image that holds them, pages stacked.
void PackForImage(std::vector<CFragment>& fragments, int* width, int* height) {
    const bool automatic = *width == 0;
    int w = automatic ? 256 : *width;
    std::vector<FreeRect> freeList;
    std::vector<int> usedWidths, usedHeights;
    const int pages = CFragment::PackFragments(fragments, freeList, usedWidths, usedHeights, w);
    int h = 0;
    if (pages > 0) {
        h = (pages - 1) * 256 + usedHeights.back();
        if (automatic) {
            w = usedWidths[0];
            for (int p = 1; p < pages; ++p) {
                if (usedWidths[size_t(p)] > w) {
                    w = usedWidths[size_t(p)];
                    AppendLogLine("Heap corruption bug in CFragment::dwBuildTextureFromFragments() "
                                  "averted for above object.");
                }
            }
        }
    } else if (automatic) {
        w = 0;
    }
    *width = w;
    *height = h;
}

// Copies each placed fragment's pixels (and, with planes and a file-pixel row, its file
// pixels) to where it was placed, and moves its references' corners there. row16(y) and
// row32(y) give the start of image row y.
template <class Row16, class Row32>
void PlaceFragments(std::vector<CFragment>& fragments, Row16 row16, Row32 row32,
                    const FilePixelPlanes* planes) {
    for (CFragment& f : fragments) {
        if (f.references.empty()) continue;
        f.placedY = int16_t(f.page * 256 + f.placedY);
        for (int r = 0; r < f.height; ++r)
            std::memcpy(row16(size_t(f.placedY + r)) + size_t(f.placedX) * 2,
                        f.pixels + size_t(f.y1 + r) * f.stride + f.x1, size_t(f.width) * 2);
        if (planes) {
            auto plane = planes->find(f.pixels);
            if (plane != planes->end() && plane->second)
                for (int r = 0; r < f.height; ++r)
                    if (uint32_t* row = row32(size_t(f.placedY + r)))
                        std::memcpy(row + f.placedX, plane->second + size_t(f.y1 + r) * f.stride + f.x1,
                                    size_t(f.width) * 4);
        }
        for (FragmentRef& ref : f.references) {
            ref.texture.setU16(2, uint16_t((ref.texture.page() & 0x8000) | (f.placedY / 256)));
            for (int k = 0; k < (ref.isQuad ? 4 : 3); ++k) {
                uint8_t* c = ref.texture.corner(k);
                c[1] = uint8_t(c[1] + f.placedX - f.x1);
                c[3] = uint8_t(c[3] + (f.placedY & 0xFF) - (f.y1 & 0xFF));
            }
            // A triangle's group holds triangles only: a fourth corner, which nothing
            // moved, would no longer fit the other three.
            if (!ref.isQuad) std::memset(ref.texture.corner(3), 0, 4);
        }
    }
}

// The numbering: refs of a fragment that RefsDiffer finds alike form a group, the
// representative of each group with a user that is not a texture record takes the next
// number. write(e, d, n, animatedWritten) marks e as done (and, in a real numbering,
// writes it back); differ(d, e) tells groups apart. References are sorted by a key of the
// fields RefsDiffer always compares, so a group is looked for only among references that
// may belong to it. Returns the number of groups.
template <class Differ, class Write>
uint32_t NumberGroups(std::vector<CFragment>& fragments, Differ differ, Write write) {
    uint32_t n = 0;
    std::vector<std::pair<uint64_t, size_t>> keyed;  // (key, reference), sorted
    std::vector<FragmentRef*> representatives;
    for (CFragment& f : fragments) {
        keyed.clear();
        representatives.clear();
        std::vector<uint64_t> keys(f.references.size());
        for (size_t i = 0; i < f.references.size(); ++i) {
            const TrObjectTextureRecord& t = f.references[i].texture;
            // Bytes 0-1 and 4-17 (the page word may still differ before the placing), 22-37.
            keys[i] = uint32_t(Fnv(Fnv(Fnv(1469598103934665603ull, &t.b[0], 2), &t.b[4], 14), &t.b[22], 16));
            keyed.emplace_back(keys[i], i);
        }
        std::sort(keyed.begin(), keyed.end());
        for (size_t di = 0; di < f.references.size(); ++di) {
            if (f.references[di].done) continue;
            if (n >= 0x4000)
                throw FragmentPackError("more object textures than a texture word can hold");
            const FragmentRef d = f.references[di];
            bool animatedWritten = false;
            // Uses of one animated texture (and of none) only.
            uint32_t animated = d.animated;
            // The group's representative: its first member that is not a texture record,
            // so faces never share a number with the next group.
            FragmentRef* representative = nullptr;
            for (auto it = std::lower_bound(keyed.begin(), keyed.end(), std::make_pair(keys[di], di));
                 it != keyed.end() && it->first == keys[di]; ++it) {
                FragmentRef& e = f.references[it->second];
                // d first: a quad never joins the group of a triangle with its corners.
                if (e.done || differ(d, e)) continue;
                if (e.animated != 0) {
                    if (animated != 0 && e.animated != animated) continue;
                    animated = e.animated;
                }
                const bool wasAnimated = animatedWritten;
                write(e, d, n, animatedWritten);
                if (e.kind == FragAnimatedEntry && wasAnimated) continue;
                if (!representative && e.kind != FragTextureRecord) representative = &e;
            }
            if (representative) {
                representatives.push_back(representative);
                ++n;
            }
        }
        // Afterwards done is 0 exactly on the representatives.
        for (FragmentRef* r : representatives) r->done = 0;
    }
    return n;
}

// Write-back and numbering of placed fragments: returns the number of new textures.
uint32_t NumberReferences(std::vector<CFragment>& fragments) {
    return NumberGroups(fragments, CFragment::RefsDiffer, WriteBack);
}

// Packs into one image (width 0: as wide as needed), made by make(pixel count), row y of
// it at row(y, width); the file pixels follow into filePixelsOut.
template <class Make, class Row>
uint32_t BuildImage(std::vector<CFragment>& fragments, int* width, int* height,
                    const FilePixelPlanes* planes, std::vector<uint32_t>* filePixelsOut, Make make,
                    Row row) {
    int w = *width, h = 0;
    PackForImage(fragments, &w, &h);
    make(size_t(w) * size_t(h));
    if (filePixelsOut) {
        if (planes)
            filePixelsOut->assign(size_t(w) * size_t(h), 0);
        else
            filePixelsOut->clear();
    }
    PlaceFragments(
        fragments, [&](size_t y) { return row(y, size_t(w)); },
        [&](size_t y) { return filePixelsOut ? filePixelsOut->data() + y * size_t(w) : nullptr; },
        filePixelsOut ? planes : nullptr);
    const uint32_t n = NumberReferences(fragments);
    *width = w;
    *height = h;
    return n;
}

}  // namespace

uint32_t CFragment::dwBuildTextureFromFragments(std::vector<CFragment>& fragments,
                                                std::vector<uint16_t>& pixelsOut, int* width,
                                                int* height, const FilePixelPlanes* planes,
                                                std::vector<uint32_t>* filePixelsOut) {
    return BuildImage(
        fragments, width, height, planes, filePixelsOut,
        [&](size_t n) { pixelsOut.assign(n, 0xFFFF); },
        [&](size_t y, size_t w) { return reinterpret_cast<uint8_t*>(pixelsOut.data() + y * w); });
}

uint32_t CFragment::BuildBytesFromFragments(std::vector<CFragment>& fragments,
                                            std::vector<uint8_t>& bytesOut, int* width, int* height,
                                            const FilePixelPlanes* planes,
                                            std::vector<uint32_t>* filePixelsOut) {
    const uint32_t n = BuildImage(
        fragments, width, height, planes, filePixelsOut,
        [&](size_t count) { bytesOut.assign(count * 2, 0xFF); },
        [&](size_t y, size_t w) { return bytesOut.data() + y * w * 2; });
#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
    for (size_t i = 0; i + 1 < bytesOut.size(); i += 2) std::swap(bytesOut[i], bytesOut[i + 1]);
#endif
    return n;
}

uint32_t CFragment::BuildPagesFromFragments(std::vector<CFragment>& fragments,
                                            std::vector<std::vector<uint16_t>>& pagesOut,
                                            std::vector<std::vector<uint32_t>>& filePagesOut,
                                            const FilePixelPlanes* planes, uint16_t freePixel,
                                            uint32_t freeFilePixel, LevelMemory* memory) {
    int w = 256, h = 0;
    PackForImage(fragments, &w, &h);
    const size_t pageCount = h > 0 ? size_t((h - 1) >> 8) + 1 : 0;
    // Textures that overlap on their pages are packed apart: refused before the pages are
    // made when a level could not hold them.
    if (pageCount > kMaxPages)
        throw OverflowError(StrFormat("the textures pack into %zu pages, more than a level holds "
                                      "(at most %llu)",
                                      pageCount, static_cast<unsigned long long>(kMaxPages)));
    if (memory) memory->Charge(pageCount * (kPage16Bytes + kPage32Bytes), "the packed texture pages");
    pagesOut.clear();
    filePagesOut.clear();
    for (size_t k = 0; k < pageCount; ++k) {
        // Rows past the packed height are 0, free places inside it freePixel.
        const size_t rows = std::min<size_t>(256, size_t(h) - k * 256);
        pagesOut.emplace_back(256 * 256, 0);
        std::fill(pagesOut.back().begin(), pagesOut.back().begin() + ptrdiff_t(rows * 256), freePixel);
        filePagesOut.emplace_back(256 * 256, 0);
        std::fill(filePagesOut.back().begin(), filePagesOut.back().begin() + ptrdiff_t(rows * 256),
                  freeFilePixel);
    }
    PlaceFragments(
        fragments,
        [&](size_t y) { return reinterpret_cast<uint8_t*>(pagesOut[y >> 8].data() + (y & 255) * 256); },
        [&](size_t y) { return filePagesOut[y >> 8].data() + (y & 255) * 256; }, planes);
    return NumberReferences(fragments);
}

std::unordered_map<const void*, uint32_t> CFragment::FaceNumbers(std::vector<CFragment>& fragments) {
    // Placing gives every reference of a fragment the same page and moves its corners
    // alike: before it, references that differ only in their page number are alike.
    auto differ = [](const FragmentRef& a, const FragmentRef& b) {
        FragmentRef x = a, y = b;
        x.texture.setU16(2, uint16_t(x.texture.page() & 0x8000));
        y.texture.setU16(2, uint16_t(y.texture.page() & 0x8000));
        return RefsDiffer(x, y);
    };
    std::unordered_map<const void*, uint32_t> numbers;
    auto note = [&](FragmentRef& e, const FragmentRef&, uint32_t n, bool& animatedWritten) {
        if (e.kind == FragAnimatedEntry) {
            if (animatedWritten) return;
            animatedWritten = true;
        }
        if (e.kind == FragFace) numbers[e.owner] = n;
        e.done = 1;
    };
    NumberGroups(fragments, differ, note);
    for (CFragment& f : fragments)
        for (FragmentRef& ref : f.references) ref.done = 0;
    return numbers;
}

std::vector<TrObjectTextureRecord> CFragment::Representatives(
    const std::vector<CFragment>& fragments) {
    std::vector<TrObjectTextureRecord> out;
    for (const CFragment& f : fragments)
        for (const FragmentRef& ref : f.references)
            if (!ref.done && ref.kind != FragTextureRecord) out.push_back(ref.texture);
    return out;
}

}  // namespace lithoscope
