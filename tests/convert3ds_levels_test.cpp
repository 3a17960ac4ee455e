// 3D Studio round trips over the real levels: every static mesh, every moveable (meshes and
// one animation) and every mesh of a moveable is exported, imported back into a copy of
// the level, the level saved and loaded again; geometry, texels and keys must come back.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "TestSupport.h"
#include "interchange3ds/Import3dsOptions.h"
#include "interchange3ds/Mesh3ds.h"
#include "interchange3ds/MeshConvert3ds.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/ImportTextures.h"
#include "level/MeshRecord.h"
#include "level/Pixels.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {
namespace {

// One triangle of a mesh with the texels its texture shows at its corners and centre.
struct Triangle {
    std::array<int, 9> corners;
    std::array<uint16_t, 4> texels;
    bool operator<(const Triangle& o) const {
        return std::tie(corners, texels) < std::tie(o.corners, o.texels);
    }
};

constexpr uint16_t kOutside = 0xDEAD;  // a texel off the page

// Faces as triangles (a rectangle as two), each turned to its smallest rotation. Texels are
// taken through `shade` (the palette of an 8-bit level: the colour the file can keep).
template <class Shade>
std::vector<Triangle> Triangles(const CTrLstMsh& owner, const TrMeshRecord& mesh, Shade shade) {
    const std::vector<uint16_t> page = owner.Page16();
    auto texel = [&](int x, int y) -> uint16_t {
        if (x < 0 || y < 0 || uint32_t(x) >= owner.width || uint32_t(y) >= owner.height) return kOutside;
        return shade(page[size_t(y) * owner.width + size_t(x)]);
    };
    std::vector<Triangle> out;
    // A corner shows the texel it sits on (its pixel bytes).
    auto add = [&](const auto& face, std::array<int, 3> k) {
        const size_t t = face.texture() & 0x7FFF;
        if (t >= owner.textures.size()) return;
        const TrObjectTextureRecord& tex = owner.textures[t];
        std::array<std::array<int, 3>, 3> v;
        std::array<std::array<int, 2>, 3> uv;
        for (size_t i = 0; i < 3; ++i) {
            const TrMeshVertex& p = mesh.vertices[face.vertex(k[i])];
            v[i] = {p.x, p.y, p.z};
            const uint8_t* c = tex.corner(k[i]);
            uv[i] = {c[1], c[3] + 256 * (tex.page() & 0xFF)};
        }
        const uint16_t centre =
            texel((uv[0][0] + uv[1][0] + uv[2][0]) / 3, (uv[0][1] + uv[1][1] + uv[2][1]) / 3);
        Triangle best;
        for (size_t first = 0; first < 3; ++first) {
            Triangle tri;
            for (size_t i = 0; i < 3; ++i) {
                const size_t j = (first + i) % 3;
                for (size_t a = 0; a < 3; ++a) tri.corners[3 * i + a] = v[j][a];
                tri.texels[i] = texel(uv[j][0], uv[j][1]);
            }
            tri.texels[3] = centre;
            if (first == 0 || tri < best) best = tri;
        }
        out.push_back(best);
    };
    for (const TrMeshRectangle& r : mesh.texturedRectangles) {
        add(r, {0, 1, 2});
        add(r, {0, 2, 3});
    }
    for (const TrMeshTriangle& t : mesh.texturedTriangles) add(t, {0, 1, 2});
    std::sort(out.begin(), out.end());
    return out;
}

// Triangles of the first mesh without an equal one in the second, and the other way round.
// A texel the first mesh takes from off its page may come back as anything.
template <class Shade>
size_t MeshDifferences(const CTrLstMsh& a, const TrMeshRecord& ma, const CTrLstMsh& b,
                       const TrMeshRecord& mb, Shade shade) {
    std::vector<Triangle> was = Triangles(a, ma, shade), is = Triangles(b, mb, shade);
    std::vector<bool> taken(is.size(), false);
    size_t missing = 0;
    for (const Triangle& t : was) {
        bool found = false;
        auto first = std::lower_bound(is.begin(), is.end(), t, [](const Triangle& x, const Triangle& y) {
            return x.corners < y.corners;
        });
        for (size_t i = size_t(first - is.begin()); i < is.size() && is[i].corners == t.corners && !found; ++i) {
            if (taken[i]) continue;
            bool same = true;
            for (size_t c = 0; c < 4; ++c)
                same = same && (t.texels[c] == kOutside || t.texels[c] == is[i].texels[c]);
            if (same) found = taken[i] = true;
        }
        if (!found) ++missing;
    }
    return missing + size_t(std::count(taken.begin(), taken.end(), false));
}

// MeshDifferences of every mesh of two moveables.
template <class Shade>
size_t MoveableDifferences(const CTrMvb& was, const CTrMvb& is, Shade shade) {
    EXPECT_EQ(is.meshCount(), was.meshCount()) << "moveable " << was.objectId;
    size_t total = 0;
    for (size_t m = 0; m < was.meshCount() && m < is.meshCount(); ++m) {
        const size_t d = MeshDifferences(was, was.meshes[m], is, is.meshes[m], shade);
        EXPECT_EQ(d, 0u) << "moveable " << was.objectId << " mesh " << m;
        total += d;
    }
    return total;
}

// The pixels the level's file held (TR4: 32-bit, TR1-III: 8-bit indices) at the corners of
// every textured face of the meshes but `skip`, in face order; empty when the page has none.
std::vector<uint32_t> CornerFilePixels(const CTrLstMsh& owner, uint32_t skip) {
    std::vector<uint32_t> out;
    if (owner.filePixels.size() != size_t(owner.width) * owner.height) return out;
    auto add = [&](const auto& face, int corners) {
        const size_t t = face.texture() & 0x7FFF;
        if (t >= owner.textures.size()) return;
        const TrObjectTextureRecord& tex = owner.textures[t];
        for (int k = 0; k < corners; ++k) {
            const size_t x = tex.corner(k)[1], y = tex.corner(k)[3] + 256u * (tex.page() & 0xFF);
            out.push_back(x < owner.width && y < owner.height ? owner.filePixels[y * owner.width + x]
                                                             : kOutside);
        }
    };
    for (uint32_t m = 0; m < owner.meshCount(); ++m) {
        if (m == skip) continue;
        for (const TrMeshRectangle& r : owner.meshes[m].texturedRectangles) add(r, 4);
        for (const TrMeshTriangle& t : owner.meshes[m].texturedTriangles) add(t, 3);
    }
    return out;
}

// The colour a texel keeps in the level's file: a Tomb Raider I level holds palette indices.
std::function<uint16_t(uint16_t)> ShadeOf(const CTrLevel& level) {
    if (level.version != TrVersion1) return [](uint16_t t) { return t; };
    auto table = std::make_shared<std::vector<uint8_t>>(BuildPage8Table(level.palette));
    return [table](uint16_t t) -> uint16_t { return (t & 0x8000) ? (*table)[t & 0x7FFF] : 0; };
}

// Largest angle (radians) between two rotations.
double RotationDistance(const CQuaternion& a, const CQuaternion& b) {
    double dot = std::fabs(double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z + double(a.w) * b.w);
    double la = std::sqrt(double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z + double(a.w) * a.w);
    double lb = std::sqrt(double(b.x) * b.x + double(b.y) * b.y + double(b.z) * b.z + double(b.w) * b.w);
    return 2.0 * std::acos(std::min(1.0, dot / (la * lb)));
}

std::unique_ptr<CTrLevel> Load(const std::string& path) {
    auto level = std::make_unique<CTrLevel>();
    if (!level->Load(path, false, false)) return nullptr;
    return level;
}

// Saves the level beside its copy and loads it again.
std::unique_ptr<CTrLevel> SaveAndReload(CTrLevel& level, const std::string& path) {
    if (!level.Save(path, 1, false, false)) return nullptr;
    return Load(path);
}

// The level loaded from path saves to the same bytes.
void ExpectSavedAgainSame(CTrLevel& loaded, const std::string& path) {
    const std::string again = path + ".again" + path.substr(path.rfind('.'));
    ASSERT_TRUE(loaded.Save(again, 1, false, false));
    EXPECT_TRUE(test::ReadFileBytes(path) == test::ReadFileBytes(again))
        << "the second save differs";
}

class Convert3dsLevels : public ::testing::Test {
protected:
    void SetUp() override {
        // Thousands of files are written safely (each flushed to disk): in memory, when the
        // machine has a memory file system, they take no time.
        if (IsDirectory("/dev/shm")) setenv("TMPDIR", "/dev/shm", 0);
        dir_ = std::make_unique<test::TempDir>();
        scoped_ = std::make_unique<ScopedMessageBackend>(&messages_);
        levels_ = test::RealLevelFiles();
        levels_.erase(std::remove_if(levels_.begin(), levels_.end(),
                                     [](const test::RealLevel& l) { return l.unsupported; }),
                      levels_.end());
        if (levels_.empty()) GTEST_SKIP() << "no real levels";
    }
    // What the conversions said, for the failure output.
    std::string Said() const {
        std::string text;
        for (const MessageRequest& m : messages_.shown()) text += m.text + "\n";
        return text;
    }
    std::vector<test::RealLevel> levels_;
    std::unique_ptr<test::TempDir> dir_;
    ScriptedMessageBackend messages_;
    std::unique_ptr<ScopedMessageBackend> scoped_;
};

TEST_F(Convert3dsLevels, MoveablesAndStaticMeshesComeBack) {
    for (const test::RealLevel& file : levels_) {
        SCOPED_TRACE(file.path);
        // The level as loaded, and the copy that takes the imports.
        std::unique_ptr<CTrLevel> reference = Load(file.path), work = Load(file.path);
        ASSERT_TRUE(reference && work);
        const bool tr4 = work->version == TrVersion4;
        std::vector<int> chosen(work->moveableList.size(), -1);
        for (size_t j = 0; j < work->moveableList.size(); ++j) {
            CTrMvb& mvb = *work->moveableList[j];
            const int anims = mvb.animationCount();
            chosen[j] = anims ? int(j) % anims : -1;
            const std::string path = dir_->file("mvb.3ds");
            std::string error;
            ASSERT_TRUE(ExportMoveableTo3ds(&mvb, path.c_str(), "mvb", work.get(), chosen[j], &error)) << error;
            CTrMvb imported;
            ASSERT_TRUE(ImportMoveableFrom3ds(&imported, path.c_str(), false, tr4)) << Said();
            ASSERT_EQ(imported.meshCount(), mvb.meshCount());
            CImport3dsOptions meshes(mvb.animations.get(), 0);
            EXPECT_TRUE(ApplyMoveableImport3ds(mvb, imported, meshes));
            if (chosen[j] < 0) continue;
            CTrMvb again;
            ASSERT_TRUE(ImportMoveableFrom3ds(&again, path.c_str(), false, tr4)) << Said();
            CImport3dsOptions replace(mvb.animations.get(), chosen[j]);
            replace.Open();
            replace.ChooseAnimation();
            replace.ChooseReplace();
            replace.Import();
            ASSERT_EQ(replace.selectedAnim, chosen[j]);
            EXPECT_TRUE(ApplyMoveableImport3ds(mvb, again, replace));
        }
        for (size_t s = 0; s < work->staticMeshList.size(); ++s) {
            CTrStatMsh& mesh = *work->staticMeshList[s];
            const std::string path = dir_->file("static.3ds");
            std::string error;
            const bool exported = ExportMeshTo3ds(&mesh, 0, path.c_str(), "static", &error);
            if (!HasFacesToExport3ds(mesh.meshes[0])) {
                // Nothing to draw (a dummy): refused with the reason; it stays as it is.
                EXPECT_FALSE(exported);
                EXPECT_EQ(error, kNothingToExport3ds) << "static mesh " << mesh.objectId;
                continue;
            }
            ASSERT_TRUE(exported) << error;
            CTrLstMsh list;
            ASSERT_TRUE(ImportMeshFrom3ds(work.get(), &list, path.c_str(), true, tr4)) << Said();
            const int32_t id = mesh.objectId;
            TakeImportedStaticMesh3ds(mesh, list);
            EXPECT_EQ(mesh.objectId, id);
            EXPECT_EQ(mesh.flags, 2);
        }
        const std::string saved = dir_->file("saved" + file.path.substr(file.path.rfind('.')));
        auto back = SaveAndReload(*work, saved);
        ASSERT_TRUE(back);
        ASSERT_EQ(back->moveableList.size(), reference->moveableList.size());
        ASSERT_EQ(back->staticMeshList.size(), reference->staticMeshList.size());

        const auto shade = ShadeOf(*reference);
        size_t faceErrors = 0, keyErrors = 0;
        double worstTurn = 0;
        for (size_t j = 0; j < reference->moveableList.size(); ++j) {
            const CTrMvb& was = *reference->moveableList[j];
            const CTrMvb& is = *back->moveableList[j];
            faceErrors += MoveableDifferences(was, is, shade);
            EXPECT_EQ(is.meshTree, was.meshTree) << "moveable " << was.objectId;
            if (chosen[j] < 0) continue;
            const auto* a = dynamic_cast<const CTRAnimTrack*>(was.animations->GetTrack(chosen[j]));
            const auto* b = dynamic_cast<const CTRAnimTrack*>(is.animations->GetTrack(chosen[j]));
            ASSERT_TRUE(a && b);
            ASSERT_EQ(b->keyCount(), a->keyCount()) << "moveable " << was.objectId;
            EXPECT_EQ(b->frameCount, a->frameCount);
            // The step is the distance of the first two keys; with fewer than three keys the
            // last one stands at the last frame, and the step only has to reach it.
            if (a->keyCount() >= 3)
                EXPECT_EQ(b->interval, a->interval);
            else
                EXPECT_GE(int64_t(b->interval) * (b->keyCount() - 1) + 1, int64_t(b->frameCount) - 1);
            EXPECT_EQ(b->stateId, a->stateId);
            EXPECT_EQ(b->stateCount(), a->stateCount());
            EXPECT_EQ(b->commandTotal(), a->commandTotal());
            for (int k = 0; k < a->keyCount(); ++k) {
                const CAnimKey& ka = a->keys[size_t(k)];
                const CAnimKey& kb = b->keys[size_t(k)];
                ASSERT_EQ(kb.bones.size(), ka.bones.size());
                if (!ka.bones.empty()) {
                    EXPECT_EQ(kb.bones[0].offset.x, ka.bones[0].offset.x);
                    EXPECT_EQ(kb.bones[0].offset.y, ka.bones[0].offset.y);
                    EXPECT_EQ(kb.bones[0].offset.z, ka.bones[0].offset.z);
                }
                for (size_t m = 0; m < ka.bones.size(); ++m) {
                    const double turn = RotationDistance(ka.bones[m].rotation, kb.bones[m].rotation);
                    worstTurn = std::max(worstTurn, turn);
                    // The file keeps 1024 steps a turn on each axis.
                    if (turn > 0.01) ++keyErrors;
                }
            }
        }
        for (size_t s = 0; s < reference->staticMeshList.size(); ++s) {
            const CTrStatMsh& was = *reference->staticMeshList[s];
            const CTrStatMsh& is = *back->staticMeshList[s];
            ASSERT_EQ(is.meshCount(), 1u);
            size_t d = MeshDifferences(was, was.meshes[0], is, is.meshes[0], shade);
            EXPECT_EQ(d, 0u) << "static mesh " << was.objectId;
            faceErrors += d;
        }
        EXPECT_EQ(faceErrors, 0u);
        EXPECT_EQ(keyErrors, 0u) << "worst turn " << worstTurn;
        ExpectSavedAgainSame(*back, saved);
    }
}

TEST_F(Convert3dsLevels, EveryMeshOfEveryMoveableComesBack) {
    for (const test::RealLevel& file : levels_) {
        SCOPED_TRACE(file.path);
        std::unique_ptr<CTrLevel> reference = Load(file.path), work = Load(file.path);
        ASSERT_TRUE(reference && work);
        const bool tr4 = work->version == TrVersion4;
        for (auto& mvb : work->moveableList) {
            for (uint32_t m = 0; m < mvb->meshCount(); ++m) {
                if (mvb->meshes[m].dummy) continue;
                CTrLstMsh one(*mvb, int(m), 0, 0);
                const std::string path = dir_->file("mesh.3ds");
                std::string error;
                const bool exported = ExportMeshTo3ds(&one, 0, path.c_str(), "mesh", &error);
                if (!HasFacesToExport3ds(one.meshes[0])) {
                    EXPECT_FALSE(exported);  // nothing to draw, nothing to bring back
                    continue;
                }
                ASSERT_TRUE(exported) << error;
                CTrLstMsh list;
                ASSERT_TRUE(ImportMeshFrom3ds(work.get(), &list, path.c_str(), false, tr4)) << Said();
                // The other meshes keep the pixels as the file held them.
                const std::vector<uint32_t> kept = CornerFilePixels(*mvb, m);
                ASSERT_TRUE(ReplaceMeshFrom3ds(*mvb, int(m), list));
                EXPECT_EQ(CornerFilePixels(*mvb, m), kept)
                    << "moveable " << mvb->objectId << " mesh " << m;
            }
        }
        const std::string saved = dir_->file("meshes" + file.path.substr(file.path.rfind('.')));
        auto back = SaveAndReload(*work, saved);
        ASSERT_TRUE(back);
        ASSERT_EQ(back->moveableList.size(), reference->moveableList.size());
        const auto shade = ShadeOf(*reference);
        size_t faceErrors = 0;
        for (size_t j = 0; j < reference->moveableList.size(); ++j) {
            const CTrMvb& was = *reference->moveableList[j];
            const CTrMvb& is = *back->moveableList[j];
            faceErrors += MoveableDifferences(was, is, shade);
        }
        EXPECT_EQ(faceErrors, 0u);
        ExpectSavedAgainSame(*back, saved);
    }
}

// Whether a corner of a face (cornerCount corners of texture t) lies on the face's edges as
// the levels put it: on each axis on the low edge with coordinate byte 1 or on the high edge
// with 255 (as a level holds them once loaded: a Tomb Raider IV file's 0 is 1 then).
bool OnItsEdges(const TrObjectTextureRecord& t, int cornerCount, int k) {
    for (int a = 0; a < 2; ++a) {
        int low = 255, high = 0;
        for (int j = 0; j < cornerCount; ++j) {
            low = std::min<int>(low, t.corner(j)[2 * a + 1]);
            high = std::max<int>(high, t.corner(j)[2 * a + 1]);
        }
        const uint8_t* c = t.corner(k);
        if (!((c[2 * a + 1] == low && c[2 * a] == 1) || (c[2 * a + 1] == high && c[2 * a] == 255)))
            return false;
    }
    return true;
}

TEST_F(Convert3dsLevels, FacesComeBackOutToTheirEdges) {
    size_t allOnEdges = 0;
    for (const test::RealLevel& file : levels_) {
        SCOPED_TRACE(file.path);
        std::unique_ptr<CTrLevel> level = Load(file.path);
        ASSERT_TRUE(level);
        const bool tr4 = level->version == TrVersion4;
        size_t corners = 0, onEdges = 0, changed = 0;
        // One mesh exported, and the object textures its import makes on the exported
        // picture (the page itself) before they are packed: each corner that lay on its
        // face's edges has all four bytes back.
        auto roundTrip = [&](CTrLstMsh one) {
            const TrMeshRecord& mesh = one.meshes[0];
            const std::string path = dir_->file("edges.3ds");
            if (!ExportMeshTo3ds(&one, 0, path.c_str(), "edges")) return;
            Import3dsFile read;
            MaterialTextureMap map;
            ASSERT_TRUE(read.Open(path, map)) << Said();
            Mesh3ds* object = nullptr;
            GetMeshByIndex3ds(read.db(), 0, &object);
            ASSERT_NE(object, nullptr);
            TrMeshRecord record;
            record.Init(int(object->vertexCount()), int(object->faceCount()), 0, false, true);
            int vertexCount = 0, triangleCount = 0;
            AppendMeshFrom3ds(&record, read.db(), object, vertexCount, triangleCount, &map, tr4);
            ReleaseMesh3ds(&object);
            ASSERT_EQ(map.records.size(), 1u);
            ASSERT_EQ(map.records.begin()->second->uses.size(), 1u);
            const std::vector<TrObjectTextureRecord>& back = map.records.begin()->second->uses[0].objectTextures;
            // The faces as the export writes them: rectangles from the last, each as its
            // corners (0, 1, 2) and (3, 0, 2); then the triangles from the last.
            size_t next = 0;
            auto face = [&](const auto& f, int cornerCount, std::initializer_list<std::array<int, 3>> parts) {
                for (int k = 0; k < cornerCount; ++k)
                    if (f.vertex(k) >= mesh.vertices.size()) return;
                const size_t t = f.texture() & 0x7FFF;
                const bool known = t < one.textures.size();
                if (known) {
                    corners += size_t(cornerCount);
                    for (int k = 0; k < cornerCount; ++k) onEdges += OnItsEdges(one.textures[t], cornerCount, k);
                }
                for (const std::array<int, 3>& part : parts) {
                    ASSERT_LT(next, back.size());
                    const TrObjectTextureRecord& is = back[next++];
                    if (!known) continue;
                    for (int i = 0; i < 3; ++i)
                        if (OnItsEdges(one.textures[t], cornerCount, part[size_t(i)]) &&
                            std::memcmp(one.textures[t].corner(part[size_t(i)]), is.corner(i), 4) != 0)
                            ++changed;
                }
            };
            for (size_t i = mesh.texturedRectangles.size(); i-- > 0;)
                face(mesh.texturedRectangles[i], 4, {{0, 1, 2}, {3, 0, 2}});
            for (size_t i = mesh.texturedTriangles.size(); i-- > 0;)
                face(mesh.texturedTriangles[i], 3, {{0, 1, 2}});
            EXPECT_EQ(next, back.size());
        };
        for (auto& mvb : level->moveableList)
            for (uint32_t m = 0; m < mvb->meshCount(); ++m)
                if (!mvb->meshes[m].dummy) roundTrip(CTrLstMsh(*mvb, int(m), 0, 0));
        for (auto& mesh : level->staticMeshList) roundTrip(CTrLstMsh(*mesh, 0, 0, 0));
        EXPECT_EQ(changed, 0u) << "of " << onEdges << " corners on their faces' edges";
        allOnEdges += onEdges;
        std::printf("%-28s %7zu of %7zu object-texture corners on their faces' edges (%.1f%%)\n",
                    file.path.substr(file.path.rfind('/') + 1).c_str(), onEdges, corners,
                    corners ? 100.0 * double(onEdges) / double(corners) : 0.0);
    }
    EXPECT_GT(allOnEdges, 0u);
}

// The places of the animated moveables with the most and the fewest meshes (none when all
// have as many).
std::pair<size_t, size_t> MostAndFewestMeshes(const CTrLevel& level) {
    size_t most = SIZE_MAX, fewest = SIZE_MAX;
    auto count = [&](size_t j) { return level.moveableList[j]->meshCount(); };
    for (size_t j = 0; j < level.moveableList.size(); ++j) {
        if (level.moveableList[j]->animationCount() == 0 || count(j) == 0) continue;
        if (most == SIZE_MAX || count(j) > count(most)) most = j;
        if (fewest == SIZE_MAX || count(j) < count(fewest)) fewest = j;
    }
    if (most == SIZE_MAX || count(most) == count(fewest)) return {SIZE_MAX, SIZE_MAX};
    return {most, fewest};
}

// The animations kept through a change of meshes: every key with one rotation per mesh, the
// old ones, then unturned ones.
void ExpectAnimationsKept(const CTrMvb& was, const CTrMvb& is) {
    ASSERT_EQ(is.animationCount(), was.animationCount());
    for (int t = 0; t < was.animationCount(); ++t) {
        const std::vector<CAnimKey>& a = was.animations->GetTrack(t)->keys;
        const std::vector<CAnimKey>& b = is.animations->GetTrack(t)->keys;
        ASSERT_EQ(b.size(), a.size());
        for (size_t k = 0; k < a.size(); ++k) {
            ASSERT_EQ(b[k].bones.size(), is.meshCount());
            EXPECT_EQ(b[k].bones.Offset(0).y, a[k].bones.Offset(0).y);
            for (size_t m = 0; m < is.meshCount(); ++m) {
                const BoneWords w = b[k].bones.Words(m);
                const BoneWords o = m < a[k].bones.size() ? a[k].bones.Words(m) : BoneWords{};
                ASSERT_TRUE(w.word0 == o.word0 && w.word1 == o.word1)
                    << "moveable " << was.objectId << " animation " << t << " key " << k << " mesh " << m;
            }
        }
    }
}

TEST_F(Convert3dsLevels, AMoveableTakesMeshesOfAnotherCount) {
    size_t swapped = 0;
    for (const test::RealLevel& file : levels_) {
        SCOPED_TRACE(file.path);
        std::unique_ptr<CTrLevel> reference = Load(file.path), work = Load(file.path);
        ASSERT_TRUE(reference && work);
        const bool tr4 = work->version == TrVersion4;
        const auto [mostAt, fewestAt] = MostAndFewestMeshes(*work);
        if (mostAt == SIZE_MAX) continue;
        // Each takes the other's meshes: one more than its frames turn, one fewer; and a
        // moveable without animations stays without.
        CTrMvb& most = *work->moveableList[mostAt];
        CTrMvb& fewest = *work->moveableList[fewestAt];
        const size_t many = most.meshCount(), few = fewest.meshCount();
        const std::string manyPath = dir_->file("many.3ds"), fewPath = dir_->file("few.3ds");
        ASSERT_TRUE(ExportMoveableTo3ds(&most, manyPath.c_str(), "many", work.get(), -1));
        ASSERT_TRUE(ExportMoveableTo3ds(&fewest, fewPath.c_str(), "few", work.get(), -1));
        const CImport3dsOptions meshes(0, 0);
        auto take = [&](CTrMvb& target, const std::string& path) {
            CTrMvb imported;
            messages_.clear();
            ASSERT_TRUE(ImportMoveableFrom3ds(&imported, path.c_str(), false, tr4)) << Said();
            ASSERT_TRUE(ApplyMoveableImport3ds(target, imported, meshes, work->version)) << Said();
        };
        take(fewest, manyPath);
        EXPECT_TRUE(messages_.Saw(StrFormat("The moveable now has %zu meshes, but the frames of its "
                                            "animations hold a rotation for only %zu of them",
                                            many, few)))
            << Said();
        take(most, fewPath);
        EXPECT_TRUE(messages_.shown().empty()) << Said();
        auto still = std::find_if(work->moveableList.begin(), work->moveableList.end(),
                                  [](const auto& m) { return m->noAnimations != 0; });
        const size_t stillAt = size_t(still - work->moveableList.begin());
        if (still != work->moveableList.end()) take(**still, fewPath);

        // Saved and loaded: meshes, tree and animations as taken, one rotation per mesh.
        const std::string saved = dir_->file("swapped" + file.path.substr(file.path.rfind('.')));
        auto back = SaveAndReload(*work, saved);
        ASSERT_TRUE(back);
        const auto shade = ShadeOf(*reference);
        const CTrMvb& wasMost = *reference->moveableList[mostAt];
        const CTrMvb& wasFewest = *reference->moveableList[fewestAt];
        EXPECT_EQ(back->moveableList[fewestAt]->meshTree, wasMost.meshTree);
        EXPECT_EQ(back->moveableList[mostAt]->meshTree, wasFewest.meshTree);
        EXPECT_EQ(MoveableDifferences(wasMost, *back->moveableList[fewestAt], shade), 0u);
        EXPECT_EQ(MoveableDifferences(wasFewest, *back->moveableList[mostAt], shade), 0u);
        ExpectAnimationsKept(wasFewest, *back->moveableList[fewestAt]);
        ExpectAnimationsKept(wasMost, *back->moveableList[mostAt]);
        if (stillAt < back->moveableList.size()) {
            EXPECT_EQ(back->moveableList[stillAt]->meshCount(), few);
            EXPECT_EQ(back->moveableList[stillAt]->noAnimations, 1);
        }
        ExpectSavedAgainSame(*back, saved);
        ++swapped;

        // More meshes than a frame of the animations holds (its size is a byte; Tomb Raider
        // I frames count their rotations): refused at the import. Without animations any
        // number saves and loads.
        const bool bounded = back->version != TrVersion1;
        CTrMvb tooMany;
        tooMany.SetMeshes(std::vector<const TrMeshRecord*>(200, nullptr));
        CTrMvb& target = *back->moveableList[fewestAt];
        messages_.clear();
        EXPECT_EQ(ApplyMoveableImport3ds(target, tooMany, meshes, back->version), !bounded);
        if (bounded) {
            EXPECT_TRUE(messages_.Saw("With 200 meshes a frame of the moveable's animations takes")) << Said();
            EXPECT_EQ(target.meshCount(), many);
            target.TakeOver(tooMany, true, false);
        }
        target.ResetAnimations();
        const std::string large = dir_->file("large" + file.path.substr(file.path.rfind('.')));
        auto again = SaveAndReload(*back, large);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->moveableList[fewestAt]->meshCount(), 200u);
        ExpectSavedAgainSame(*again, large);
    }
    EXPECT_GT(swapped, 0u);
}

}  // namespace
}  // namespace lithoscope
