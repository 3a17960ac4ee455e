// An independent reader of 3D Studio files: assimp opens every export of the real levels
// and finds the meshes, the texture of their material and, for moveables, the node
// hierarchy and the keys; and a file that assimp writes imports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "interchange3ds/MeshConvert3ds.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/Pixels.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

#if LITHOSCOPE_HAVE_ASSIMP
#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace lithoscope {
namespace {

#if LITHOSCOPE_HAVE_ASSIMP

bool HasFaces(const TrMeshRecord& m) {
    return !m.texturedRectangles.empty() || !m.texturedTriangles.empty();
}

std::string Name(int m, bool dummy) { return StrFormat(dummy ? "dummy%.3d" : "M%.3d", m); }

// The parent of each mesh by the mesh tree's pop and push flags (-1 for mesh 0).
std::vector<int> TreeParents(const CTrMvb& mvb) {
    std::vector<int> parents(mvb.meshCount(), -1), stack;
    for (size_t m = 1; m < mvb.meshCount(); ++m) {
        const int flags = m - 1 < mvb.meshTree.size() ? mvb.meshTree[m - 1].flags : 0;
        int parent = int(m) - 1;
        if ((flags & TrMeshTreeEntry::kPop) && !stack.empty()) {
            parent = stack.back();
            stack.pop_back();
        }
        if (flags & TrMeshTreeEntry::kPush) stack.push_back(parent);
        parents[m] = parent;
    }
    return parents;
}

const aiNodeAnim* Channel(const aiScene* scene, const std::string& node) {
    for (unsigned a = 0; a < scene->mNumAnimations; ++a)
        for (unsigned c = 0; c < scene->mAnimations[a]->mNumChannels; ++c)
            if (node == scene->mAnimations[a]->mChannels[c]->mNodeName.C_Str())
                return scene->mAnimations[a]->mChannels[c];
    return nullptr;
}

// The meshes with faces and their material's texture.
void ExpectMeshesAndTexture(const aiScene* scene, unsigned meshes, const std::string& texture) {
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->mNumMeshes, meshes);
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        const aiMesh* mesh = scene->mMeshes[i];
        EXPECT_GT(mesh->mNumFaces, 0u);
        EXPECT_TRUE(mesh->HasTextureCoords(0));
        ASSERT_LT(mesh->mMaterialIndex, scene->mNumMaterials);
        aiString path;
        ASSERT_EQ(scene->mMaterials[mesh->mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &path),
                  aiReturn_SUCCESS);
        EXPECT_EQ(std::string(path.C_Str()), texture);
    }
}

// Loads every real level the program opens and runs body on it, messages scripted; false
// when there is none.
bool ForEachLevel(const std::function<void(CTrLevel&, const test::TempDir&, ScriptedMessageBackend&)>& body) {
    std::vector<test::RealLevel> levels = test::RealLevelFiles();
    levels.erase(std::remove_if(levels.begin(), levels.end(), [](auto& l) { return l.unsupported; }),
                 levels.end());
    if (levels.empty()) return false;
    test::TempDir dir;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    for (const test::RealLevel& file : levels) {
        SCOPED_TRACE(file.path);
        CTrLevel level;
        if (level.Load(file.path, false, false))
            body(level, dir, messages);
        else
            ADD_FAILURE() << "does not load";
    }
    return true;
}

TEST(Assimp3ds, ReadsEveryExportOfTheRealLevels) {
    if (IsDirectory("/dev/shm")) setenv("TMPDIR", "/dev/shm", 0);
    const bool any = ForEachLevel([](CTrLevel& level, const test::TempDir& dir, ScriptedMessageBackend&) {
        for (size_t j = 0; j < level.moveableList.size(); ++j) {
            CTrMvb& mvb = *level.moveableList[j];
            const int anims = mvb.animationCount();
            const int anim = anims ? int(j) % anims : -1;
            const std::string path = dir.file("mvb.3ds");
            std::string error;
            bool drawn = false;
            ASSERT_TRUE(ExportMoveableTo3ds(&mvb, path.c_str(), "mvb", &level, anim, &error, &drawn)) << error;
            SCOPED_TRACE(StrFormat("moveable %d", mvb.objectId));
            unsigned withFaces = 0;
            for (const TrMeshRecord& m : mvb.meshes) withFaces += HasFaces(m) && !m.dummy;
            // Dummies only (a placeholder of Lara's): no mesh object, which assimp refuses;
            // the export says so.
            if (withFaces == 0) continue;
            EXPECT_TRUE(drawn);
            Assimp::Importer importer;
            const aiScene* scene = importer.ReadFile(path, 0);
            ASSERT_NE(scene, nullptr) << importer.GetErrorString();
            ExpectMeshesAndTexture(scene, withFaces, "mvb.tga");

            const std::vector<int> parents = TreeParents(mvb);
            const CAnimTrack* track = anim >= 0 ? mvb.animations->GetTrack(anim) : nullptr;
            for (size_t m = 0; m < mvb.meshCount(); ++m) {
                const std::string name = Name(int(m), mvb.meshes[m].dummy != 0);
                const aiNode* node = scene->mRootNode->FindNode(name.c_str());
                ASSERT_NE(node, nullptr) << name;
                if (m > 0) {
                    const int p = parents[m];
                    ASSERT_NE(node->mParent, nullptr);
                    EXPECT_EQ(std::string(node->mParent->mName.C_Str()),
                              Name(p, mvb.meshes[size_t(p)].dummy != 0));
                }
                // assimp makes a channel of a node that moves: two keys or more, over two
                // frames or more.
                if (!track || track->keyCount() < 2 || track->frameCount < 2) continue;
                const aiNodeAnim* channel = Channel(scene, name);
                ASSERT_NE(channel, nullptr) << name;
                // Keys at every step, the last one moved to the last frame: assimp keeps
                // one key per time.
                std::set<int64_t> times{int64_t(track->frameCount) - 1};
                for (int i = 0; i + 1 < track->keyCount(); ++i) times.insert(int64_t(i) * track->interval);
                EXPECT_EQ(channel->mNumRotationKeys, times.size()) << name;
                if (m == 0) {
                    EXPECT_EQ(channel->mNumPositionKeys, times.size());
                }
            }
        }
        for (auto& mesh : level.staticMeshList) {
            SCOPED_TRACE(StrFormat("static mesh %d", mesh->objectId));
            const std::string path = dir.file("static.3ds");
            std::remove(path.c_str());
            std::string error;
            const bool exported = ExportMeshTo3ds(mesh.get(), 0, path.c_str(), "static", &error);
            // Nothing to draw (a dummy): refused, with the reason, rather than a file that
            // holds no mesh.
            if (!HasFaces(mesh->meshes[0])) {
                EXPECT_FALSE(exported);
                EXPECT_EQ(error, kNothingToExport3ds);
                EXPECT_FALSE(FileExists(path));
                continue;
            }
            ASSERT_TRUE(exported) << error;
            Assimp::Importer importer;
            const aiScene* scene = importer.ReadFile(path, 0);
            ASSERT_NE(scene, nullptr) << importer.GetErrorString();
            ExpectMeshesAndTexture(scene, 1, "static.tga");
        }
    });
    if (!any) GTEST_SKIP() << "no real levels";
}

// The chunks of a file less those of one tag (in the top chunk, the keyframer and its
// nodes), lengths mended.
std::vector<uint8_t> WithoutChunks(const std::vector<uint8_t>& b, size_t at, size_t end, unsigned drop) {
    std::vector<uint8_t> out;
    while (at + 6 <= end) {
        const unsigned tag = b[at] | unsigned(b[at + 1]) << 8;
        uint32_t length;
        std::memcpy(&length, &b[at + 2], 4);
        if (length < 6 || at + length > end) break;
        if (tag == drop) {
            // left out
        } else if (tag == 0x4D4D || tag == 0xB000 || tag == 0xB002) {
            const std::vector<uint8_t> inner = WithoutChunks(b, at + 6, at + length, drop);
            const uint32_t n = uint32_t(inner.size() + 6);
            out.insert(out.end(), {uint8_t(tag), uint8_t(tag >> 8), uint8_t(n), uint8_t(n >> 8),
                                   uint8_t(n >> 16), uint8_t(n >> 24)});
            out.insert(out.end(), inner.begin(), inner.end());
        } else {
            out.insert(out.end(), b.begin() + long(at), b.begin() + long(at + length));
        }
        at += length;
    }
    return out;
}

// assimp reads from and writes to the given formats; the number of meshes it read. With
// shortNames, materials get names that fit their field in a .3ds file ("m0", "m1"...).
unsigned Convert(const std::string& from, const std::string& to, const char* format,
                 bool shortNames = false) {
    std::remove(to.c_str());  // a failed conversion leaves no older file to read
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(from, 0);
    EXPECT_NE(scene, nullptr) << importer.GetErrorString();
    if (!scene) return 0;
    for (unsigned m = 0; shortNames && m < scene->mNumMaterials; ++m) {
        aiString name(StrFormat("m%u", m));
        scene->mMaterials[m]->AddProperty(&name, AI_MATKEY_NAME);
    }
    Assimp::Exporter exporter;
    EXPECT_EQ(exporter.Export(scene, format, to), aiReturn_SUCCESS) << exporter.GetErrorString();
    return scene->mNumMeshes;
}

void ExpectSameTree(const CTrMvb& got, const CTrMvb& want) {
    ASSERT_EQ(got.meshCount(), want.meshCount());
    ASSERT_EQ(got.meshTree.size(), want.meshTree.size());
    for (size_t i = 0; i < want.meshTree.size(); ++i) {
        const TrMeshTreeEntry &g = got.meshTree[i], &w = want.meshTree[i];
        EXPECT_TRUE(g.flags == w.flags && g.dx == w.dx && g.dy == w.dy && g.dz == w.dz)
            << "entry " << i << ": " << g.flags << " " << g.dx << " " << g.dy << " " << g.dz
            << ", want " << w.flags << " " << w.dx << " " << w.dy << " " << w.dz;
    }
}

// Each mesh's place: the tree's offsets summed from the root.
std::vector<CVector3> TreePlaces(const CTrMvb& mvb) {
    std::vector<CVector3> at(mvb.meshCount());
    const std::vector<int> parents = TreeParents(mvb);
    for (size_t m = 1; m < mvb.meshCount(); ++m) {
        const TrMeshTreeEntry& e = mvb.meshTree[m - 1];
        const CVector3& base = at[size_t(parents[m])];
        at[m].Set(base.x + float(e.dx), base.y + float(e.dy), base.z + float(e.dz));
    }
    return at;
}

// A file from a tool that writes no keys (assimp) places only meshes, by their matrices: a
// dummy's place is not in it. The tree's flags come back, and so does the place of every
// mesh with faces at rest; posed at the first frame (an animated file), only the offsets of
// meshes whose parent has faces too.
void ExpectSameMeshPlaces(const CTrMvb& got, const CTrMvb& want, bool posed) {
    ASSERT_EQ(got.meshCount(), want.meshCount());
    ASSERT_EQ(got.meshTree.size(), want.meshTree.size());
    const std::vector<CVector3> g = TreePlaces(got), w = TreePlaces(want);
    const std::vector<int> parents = TreeParents(want);
    for (size_t m = 1; m < want.meshCount(); ++m) {
        EXPECT_EQ(got.meshTree[m - 1].flags, want.meshTree[m - 1].flags) << "entry " << m - 1;
        if (!HasFaces(want.meshes[m])) continue;
        if (!posed) {
            EXPECT_TRUE(std::fabs(g[m].x - w[m].x) <= 1 && std::fabs(g[m].y - w[m].y) <= 1 &&
                        std::fabs(g[m].z - w[m].z) <= 1)
                << "mesh " << m << " at " << g[m].x << " " << g[m].y << " " << g[m].z << ", want "
                << w[m].x << " " << w[m].y << " " << w[m].z;
        } else if (HasFaces(want.meshes[size_t(parents[m])])) {
            const TrMeshTreeEntry &ge = got.meshTree[m - 1], &we = want.meshTree[m - 1];
            EXPECT_TRUE(ge.dx == we.dx && ge.dy == we.dy && ge.dz == we.dz)
                << "entry " << m - 1 << ": " << ge.dx << " " << ge.dy << " " << ge.dz << ", want " << we.dx
                << " " << we.dy << " " << we.dz;
        }
    }
}

int KeyCount(const CTrMvb& mvb) {
    return mvb.animationCount() ? mvb.animations->GetTrack(0)->keyCount() : 0;
}

// The box of a moveable's meshes placed by its tree, at rest.
BoundingBox RestBox(const CTrMvb& mvb) {
    BoundingBox box(CVector3{1e20f, 1e20f, 1e20f}, CVector3{-1e20f, -1e20f, -1e20f});
    const std::vector<CVector3> at = TreePlaces(mvb);
    for (size_t m = 0; m < mvb.meshCount(); ++m)
        for (const TrMeshVertex& v : mvb.meshes[m].vertices) {
            CVector3 p;
            p.Set(at[m].x + v.x, at[m].y + v.y, at[m].z + v.z);
            box.Union(BoundingBox(p, p));
        }
    return box;
}

// Moveables through other tools: a file whose nodes carry no ids keeps the tree and every
// key; assimp's .3ds keeps the tree and the places of the meshes, but it writes no keys (one
// key at rest comes back, as from an export without animation); through .obj, which has no hierarchy,
// the meshes come back in their places, all hanging from the first.
TEST(Assimp3ds, MoveablesThroughOtherToolsKeepTheirTreeAndKeys) {
    const bool any = ForEachLevel([](CTrLevel& level, const test::TempDir& dir,
                                     ScriptedMessageBackend& messages) {
        // The moveable with the most meshes that has an animation of several keys and a
        // mesh to draw (assimp reads no file without faces: Lara of Tomb Raider III and IV
        // has dummies only, her body is another moveable's).
        CTrMvb* mvb = nullptr;
        for (auto& m : level.moveableList)
            if (m->animationCount() && m->animations->GetTrack(0)->keyCount() > 1 &&
                std::any_of(m->meshes.begin(), m->meshes.end(),
                            [](const TrMeshRecord& mesh) { return HasFaces(mesh) && !mesh.dummy; }) &&
                (!mvb || m->meshCount() > mvb->meshCount()))
                mvb = m.get();
        if (!mvb) return;
        SCOPED_TRACE(StrFormat("moveable %d", mvb->objectId));
        const std::string animated = dir.file("mvb.3ds"), rest = dir.file("rest.3ds");
        ASSERT_TRUE(ExportMoveableTo3ds(mvb, animated.c_str(), "mvb", &level, 0));
        ASSERT_TRUE(ExportMoveableTo3ds(mvb, rest.c_str(), "mvb", &level, -1));
        CTrMvb direct;
        ASSERT_TRUE(ImportMoveableFrom3ds(&direct, animated.c_str(), false, false));
        ExpectSameTree(direct, *mvb);
        ASSERT_GT(KeyCount(direct), 1);

        const std::vector<uint8_t> bytes = test::ReadFileBytes(animated);
        // Without node ids, as other tools write.
        const std::vector<uint8_t> noIds = WithoutChunks(bytes, 0, bytes.size(), 0xB030);
        ASSERT_LT(noIds.size(), bytes.size());
        test::WriteFileBytes(dir.file("noids.3ds"), noIds);
        CTrMvb withoutIds;
        ASSERT_TRUE(ImportMoveableFrom3ds(&withoutIds, dir.file("noids.3ds").c_str(), false, false));
        ExpectSameTree(withoutIds, *mvb);
        ASSERT_EQ(KeyCount(withoutIds), KeyCount(direct));
        const CAnimTrack &a = *withoutIds.animations->GetTrack(0), &b = *direct.animations->GetTrack(0);
        for (int k = 0; k < KeyCount(direct); ++k)
            for (size_t o = 0; o < direct.meshCount(); ++o) {
                EXPECT_EQ(a.keys[size_t(k)].bones[o].word0, b.keys[size_t(k)].bones[o].word0);
                EXPECT_EQ(a.keys[size_t(k)].bones[o].word1, b.keys[size_t(k)].bones[o].word1);
            }

        for (const std::string& source : {animated, rest}) {
            SCOPED_TRACE(source);
            Convert(source, dir.file("assimp.3ds"), "3ds");
            CTrMvb converted;
            ASSERT_TRUE(ImportMoveableFrom3ds(&converted, dir.file("assimp.3ds").c_str(), false, false))
                << (messages.shown().empty() ? "" : messages.shown().back().text);
            ExpectSameMeshPlaces(converted, *mvb, source == animated);
            EXPECT_EQ(KeyCount(converted), 1);
        }
        CTrMvb still;
        ASSERT_TRUE(ImportMoveableFrom3ds(&still, rest.c_str(), false, false));
        EXPECT_EQ(KeyCount(still), 1);

        const unsigned meshes = Convert(rest, dir.file("rest.obj"), "obj");
        // A material without a name in the .obj: assimp calls it "DefaultMaterial_0", longer
        // than a material name's field. Such a file is refused, the name in the message.
        Convert(dir.file("rest.obj"), dir.file("obj.3ds"), "3ds");
        messages.clear();
        CTrMvb refused;
        EXPECT_FALSE(ImportMoveableFrom3ds(&refused, dir.file("obj.3ds").c_str(), false, false));
        EXPECT_TRUE(messages.Saw("material name \"DefaultMaterial_0\" is longer than its field (at "
                                 "most 16 characters)"));
        EXPECT_EQ(refused.meshCount(), 0u);
        Convert(dir.file("rest.obj"), dir.file("obj.3ds"), "3ds", true);
        CTrMvb flat;
        ASSERT_TRUE(ImportMoveableFrom3ds(&flat, dir.file("obj.3ds").c_str(), false, false))
            << (messages.shown().empty() ? "" : messages.shown().back().text);
        EXPECT_EQ(flat.meshCount(), meshes);
        const std::vector<int> parents = TreeParents(flat);
        EXPECT_TRUE(std::all_of(parents.begin() + 1, parents.end(), [](int p) { return p == 0; }));
        EXPECT_EQ(KeyCount(flat), 1);
        // The meshes in their places: assimp's .obj is y-up and its .3ds writer keeps that,
        // so the whole comes back turned a quarter about x.
        const BoundingBox want = RestBox(*mvb), got = RestBox(flat);
        EXPECT_NEAR(got.min.x, want.min.x, 2.0f);
        EXPECT_NEAR(got.max.x, want.max.x, 2.0f);
        EXPECT_NEAR(got.min.y, want.min.z, 2.0f);
        EXPECT_NEAR(got.max.y, want.max.z, 2.0f);
        EXPECT_NEAR(got.min.z, -want.max.y, 2.0f);
        EXPECT_NEAR(got.max.z, -want.min.y, 2.0f);
    });
    if (!any) GTEST_SKIP() << "no real levels";
}

// A scene of two textured squares, 100 units wide, the second 50 units higher, each under
// a node of its own: assimp writes float colours, nodes without ids and the names it is
// given, long ones too.
void WriteAssimpScene(const std::string& path, bool longNames) {
    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode(longNames ? "root_of_the_scene" : "root");
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial*[1]{new aiMaterial()};
    aiString material(longNames ? "a_material_with_a_long_name" : "squares");
    scene->mMaterials[0]->AddProperty(&material, AI_MATKEY_NAME);
    aiColor3D diffuse(1, 0.5f, 0);
    scene->mMaterials[0]->AddProperty(&diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
    aiString texture("squares.tga");
    scene->mMaterials[0]->AddProperty(&texture, AI_MATKEY_TEXTURE_DIFFUSE(0));
    scene->mNumMeshes = 2;
    scene->mMeshes = new aiMesh*[2];
    scene->mRootNode->mNumChildren = 2;
    scene->mRootNode->mChildren = new aiNode*[2];
    for (unsigned m = 0; m < 2; ++m) {
        auto* mesh = new aiMesh();
        mesh->mName = m && longNames ? "the_second_square" : "sq";
        mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
        mesh->mNumVertices = 4;
        mesh->mVertices = new aiVector3D[4]{{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}};
        for (unsigned i = 0; i < 4; ++i) mesh->mVertices[i].z = 50.0f * float(m);
        mesh->mTextureCoords[0] = new aiVector3D[4]{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
        mesh->mNumUVComponents[0] = 2;
        mesh->mNumFaces = 2;
        mesh->mFaces = new aiFace[2];
        const unsigned corners[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (unsigned f = 0; f < 2; ++f) {
            mesh->mFaces[f].mNumIndices = 3;
            mesh->mFaces[f].mIndices = new unsigned[3];
            std::memcpy(mesh->mFaces[f].mIndices, corners[f], sizeof corners[f]);
        }
        scene->mMeshes[m] = mesh;
        // assimp names each mesh object after its node and mesh ("one_sq_0").
        auto* node = new aiNode(m ? (longNames ? "the_second_node" : "two") : "one");
        node->mParent = scene->mRootNode;
        node->mNumMeshes = 1;
        node->mMeshes = new unsigned[1]{m};
        scene->mRootNode->mChildren[m] = node;
    }
    Assimp::Exporter exporter;
    ASSERT_EQ(exporter.Export(scene.get(), "3ds", path), aiReturn_SUCCESS) << exporter.GetErrorString();
}

TEST(Assimp3ds, FileWrittenByAssimpImports) {
    test::TempDir dir;
    const std::string path = dir.file("squares.3ds");
    WriteAssimpScene(path, false);
    // The picture: 4 x 4, red on top, blue below (bottom row first in the file).
    std::vector<uint8_t> bgra(4 * 4 * 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            uint8_t* p = &bgra[size_t(4 * (4 * y + x))];
            p[0] = y < 2 ? 0 : 255;  // top rows red, bottom rows blue (image rows top first)
            p[1] = 0;
            p[2] = y < 2 ? 255 : 0;
            p[3] = 255;
        }
    ASSERT_TRUE(WriteTga32(dir.file("squares.tga"), bgra.data(), 4, 4, 4, true));

    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    CTrLstMsh list;
    ASSERT_TRUE(ImportMeshFrom3ds(nullptr, &list, path.c_str(), false, false))
        << (messages.shown().empty() ? "" : messages.shown()[0].text);
    ASSERT_EQ(list.meshCount(), 1u);
    const TrMeshRecord& mesh = list.meshes[0];
    EXPECT_EQ(mesh.vertices.size(), 8u);  // shared corners merged
    EXPECT_EQ(mesh.texturedTriangles.size(), 4u);
    // 3DS z up becomes level y down: the second square lies at y = -50.
    EXPECT_TRUE(std::any_of(mesh.vertices.begin(), mesh.vertices.end(),
                            [](const TrMeshVertex& v) { return v.y == -50 && v.x == 100; }));
    // The page holds the picture's texels (red over blue).
    const std::vector<uint16_t> page = list.Page16();
    EXPECT_TRUE(std::count(page.begin(), page.end(), uint16_t(0xFC00)) > 0);
    EXPECT_TRUE(std::count(page.begin(), page.end(), uint16_t(0x801F)) > 0);
    // As a moveable: the scene root and the node holding each mesh are folded away; the
    // second square hangs from the first, 50 units higher.
    messages.clear();
    CTrMvb mvb;
    ASSERT_TRUE(ImportMoveableFrom3ds(&mvb, path.c_str(), false, false));
    ASSERT_EQ(mvb.meshCount(), 2u);
    ASSERT_EQ(mvb.meshTree.size(), 1u);
    EXPECT_EQ(mvb.meshTree[0].flags, 0);
    EXPECT_EQ(mvb.animationCount(), 1);
    const TrMeshTreeEntry placed = mvb.meshTree[0];
    for (const TrMeshVertex& v : mvb.meshes[1].vertices) EXPECT_EQ(v.y + placed.dy, -50);
    EXPECT_TRUE(messages.shown().empty());

    // The same scene with names longer than their fields: refused, the name in the message;
    // what took the imports stays as it was.
    WriteAssimpScene(dir.file("long.3ds"), true);
    const std::vector<uint8_t> listWas = list.Serialize(), mvbWas = mvb.Serialize();
    EXPECT_FALSE(ImportMeshFrom3ds(nullptr, &list, dir.file("long.3ds").c_str(), false, false));
    EXPECT_TRUE(messages.Saw("\"a_material_with_a_long_name") && messages.Saw("is longer than its field"));
    messages.clear();
    EXPECT_FALSE(ImportMoveableFrom3ds(&mvb, dir.file("long.3ds").c_str(), false, false));
    EXPECT_TRUE(messages.Saw("\"a_material_with_a_long_name") && messages.Saw("is longer than its field"));
    EXPECT_EQ(list.Serialize(), listWas);
    EXPECT_EQ(mvb.Serialize(), mvbWas);
    messages.clear();

    // Without a keyframer: the meshes side by side, all hanging from the first, at rest.
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    test::WriteFileBytes(path, WithoutChunks(bytes, 0, bytes.size(), 0xB000));
    CTrMvb flat;
    ASSERT_TRUE(ImportMoveableFrom3ds(&flat, path.c_str(), false, false));
    ASSERT_EQ(flat.meshCount(), 2u);
    ASSERT_EQ(flat.meshTree.size(), 1u);
    EXPECT_EQ(flat.meshTree[0].flags, 0);
    EXPECT_EQ(flat.animations->GetTrack(0)->keyCount(), 1);
    EXPECT_TRUE(messages.Saw("no node hierarchy"));
}

#else

TEST(Assimp3ds, NeedsAssimp) { GTEST_SKIP() << "assimp is not installed"; }

#endif

}  // namespace
}  // namespace lithoscope
