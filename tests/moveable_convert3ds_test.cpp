// Moveables as 3D Studio files: nodes and their keys as written, the hierarchy read back,
// the packed rotations, the Tomb Raider IV body rule, and files that must be refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <climits>
#include <fstream>
#include <functional>
#include <iterator>
#include <tuple>

#include "TestSupport.h"
#include "fixtures/Db3dsBytes.h"
#include "interchange3ds/ChunkData3ds.h"
#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Import3dsOptions.h"
#include "interchange3ds/Keyframer3ds.h"
#include "interchange3ds/Mesh3ds.h"
#include "interchange3ds/MeshConvert3ds.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {
namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A moveable of n meshes, each a textured triangle on a 4 x 4 page; entry i places mesh
// i + 1 at (100 (i + 1), 10, 0) from its parent.
std::unique_ptr<CTrMvb> Moveable(int n, int32_t id = 1) {
    auto mvb = std::make_unique<CTrMvb>();
    mvb->objectId = id;
    mvb->width = mvb->height = 4;
    mvb->bitsPerPixel = 16;
    mvb->pixels.assign(32, 0xFF);
    TrObjectTextureRecord t;
    const uint8_t corners[3][4] = {{0, 0, 0, 0}, {0, 3, 0, 0}, {0, 3, 0, 3}};
    for (int k = 0; k < 3; ++k) std::memcpy(t.corner(k), corners[k], 4);
    mvb->textures.push_back(t);
    mvb->meshes.resize(size_t(n));
    for (int m = 0; m < n; ++m) {
        TrMeshRecord& mesh = mvb->meshes[size_t(m)];
        mesh.Init(3, 1, 0, false, true);
        for (int i = 0; i < 3; ++i) mesh.vertices[size_t(i)] = {int16_t(i * 10 + m), int16_t(-i), int16_t(m)};
        for (int k = 0; k < 3; ++k) mesh.texturedTriangles[0].setVertex(k, uint16_t(k));
    }
    for (int i = 0; i + 1 < n; ++i) mvb->meshTree.push_back({0, 100 * (i + 1), 10, 0});
    return mvb;
}

// One animation of `keys` keys, `step` frames apart, over `frames` frames, every bone turned
// by k x 10 units about y at key k, the root moving up.
void Animate(CTrMvb& mvb, int keys, int step, int frames) {
    auto track = std::make_unique<CTRAnimTrack>(keys, uint32_t(frames), uint32_t(step), 30.0f);
    for (int k = 0; k < keys; ++k) {
        CAnimKey key(k * step, int(mvb.meshCount()), BoundingBox());
        for (size_t m = 0; m < mvb.meshCount(); ++m) {
            BoneKey bone;
            BoneKeyFromEuler(bone, 0, -float(k * 10) * kTrAngleUnitDegrees * kDegreesToRadians, 0,
                             m == 0 ? CVector3{0, float(5 * k), 0} : CVector3{}, 0, 0);
            key.bones.push_back(bone);
        }
        track->AddKey(key);
    }
    mvb.animations->AddTrack(std::move(track));
}

std::unique_ptr<test::ReadDatabase3dsFixture> Read(const std::string& path) {
    return std::make_unique<test::ReadDatabase3dsFixture>(ReadBytes(path));
}

TEST(MoveableConvert3ds, NodesKeysAndHierarchy) {
    test::TempDir dir;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    // Three meshes, mesh 1 a dummy, mesh 2 popping back to mesh 0; five keys three frames
    // apart over 13 frames.
    auto mvb = Moveable(3);
    mvb->meshes[1].Free();
    mvb->meshes[1].dummy = 1;
    mvb->meshTree[0].flags = TrMeshTreeEntry::kPush;
    mvb->meshTree[1].flags = TrMeshTreeEntry::kPop;
    Animate(*mvb, 5, 3, 13);
    std::string error;
    ASSERT_TRUE(ExportMoveableTo3ds(mvb.get(), dir.file("mvb.3ds").c_str(), "mvb", nullptr, 0, &error)) << error;
    {
        auto in = Read(dir.file("mvb.3ds"));
        ASSERT_EQ(GetObjectNodeCount3ds(in->db()), 3u);
        EXPECT_EQ(GetMeshCount3ds(in->db()), 2u);  // no object for the dummy
        ObjectMotion3ds* om[3] = {};
        for (int i = 0; i < 3; ++i) GetObjectMotionByIndex3ds(in->db(), i, &om[i]);
        EXPECT_STREQ(om[1]->name, "dummy001");
        EXPECT_STREQ(om[1]->parent, "M000");
        EXPECT_STREQ(om[2]->parent, "M000");
        // The tree offset (dx, dy, dz) = (100, 10, 0) as (dx, dz, -dy); one position key.
        ASSERT_EQ(om[1]->position.keyCount(), 1u);
        EXPECT_EQ(om[1]->position.values[0].x, 100.0f);
        EXPECT_EQ(om[1]->position.values[0].z, -10.0f);
        std::vector<int> frames;
        for (const KeyHeader3ds& k : om[0]->rotation.keys) frames.push_back(k.frame);
        EXPECT_EQ(frames, (std::vector<int>{0, 3, 6, 9, 12}));
        EXPECT_EQ(om[0]->position.keyCount(), 5u);
        for (ObjectMotion3ds*& o : om) ReleaseObjectMotion3ds(&o);
    }
    CTrMvb back;
    ASSERT_TRUE(ImportMoveableFrom3ds(&back, dir.file("mvb.3ds").c_str(), false, false));
    EXPECT_EQ(back.meshTree, mvb->meshTree);
    EXPECT_EQ(back.meshes[1].dummy, 1);
    const CAnimTrack* b = back.animations->GetTrack(0);
    ASSERT_TRUE(b && b->keyCount() == 5);
    EXPECT_EQ(b->interval, 3u);
    EXPECT_EQ(b->frameCount, 13u);
    // The last key's box holds the three meshes (mesh 2 at x = 200).
    EXPECT_GE(b->keys[4].box.max.x, 200.0f);

    // Nodes A, B (parent A), C (parent A): B pushes, C pops.
    std::vector<int> parents{-1, 0, 0};
    std::vector<TrMeshTreeEntry> entries;
    BuildMeshTreeFromParents(entries, 3, parents);
    EXPECT_EQ(entries[0].flags, TrMeshTreeEntry::kPush);
    EXPECT_EQ(entries[1].flags, TrMeshTreeEntry::kPop);

    // A second node naming a parent that only comes later: two roots, refused.
    Database3ds* db = nullptr;
    InitDatabase3ds(&db);
    CreateNewDatabase3ds(db, 1);
    for (const char* name : {"A", "B", "C"}) {
        ObjectMotion3ds* om = nullptr;
        InitObjectMotion3ds(&om, 1, 1, 1, 0, 0);
        std::strcpy(om->name, name);
        std::strcpy(om->parent, name[0] == 'B' ? "C" : name[0] == 'C' ? "A" : "");
        PutObjectMotion3ds(db, om);
        ReleaseObjectMotion3ds(&om);
    }
    test::WriteFileBytes(dir.file("later.3ds"), test::WriteDatabaseBytes3ds(db));
    ReleaseDatabase3ds(&db);
    CTrMvb target;
    EXPECT_FALSE(ImportMoveableFrom3ds(&target, dir.file("later.3ds").c_str(), false, false));
    EXPECT_TRUE(messages.Saw("You can have only one mesh at the root of the hierarchy, not 2 !"));
    EXPECT_EQ(target.meshCount(), 0u);

    // Files cut short: the reason, nothing imported.
    const std::vector<uint8_t> whole = ReadBytes(dir.file("mvb.3ds"));
    for (size_t cut : {size_t(7), whole.size() / 3, whole.size() - 1}) {
        test::WriteFileBytes(dir.file("cut.3ds"), std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut)));
        messages.clear();
        EXPECT_FALSE(ImportMoveableFrom3ds(&target, dir.file("cut.3ds").c_str(), false, false)) << cut;
        EXPECT_TRUE(messages.Saw("Erreur 3DS:1")) << cut;
    }
}

// The file with the data of one chunk changed: the first chunk of the tag below the node
// (or, with node false, the mesh object) of that name, or anywhere without an owner.
std::vector<uint8_t> Changed(const std::vector<uint8_t>& bytes, const char* owner, bool node,
                             uint32_t tag, const std::function<void(ChunkData3ds*)>& change) {
    ClearErrorList3ds();
    test::ReadDatabase3dsFixture in(bytes);
    Chunk3ds* from = in.db()->topChunk.get();
    if (owner && node)
        from = FindNodeByName3ds(in.db(), owner, Tag3ds::ObjectNode);
    else if (owner)
        FindNamedObject3ds(in.db(), owner, &from);
    Chunk3ds* chunk = nullptr;
    FindChunk3ds(from, tag, &chunk);
    if (!chunk) return {};
    change(ReadChunkData3ds(chunk));
    return test::WriteDatabaseBytes3ds(in.db());
}

TEST(MoveableConvert3ds, NumbersThatFitNoIntegerRefuseTheFile) {
    test::TempDir dir;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    // Mesh 1 far from its parent: its vertices lie beyond 16 bits in the file and come back
    // whole around its own place.
    auto mvb = Moveable(3);
    mvb->meshTree[0].dx = 30000;
    mvb->meshes[1].vertices[0].x = 5000;
    Animate(*mvb, 2, 4, 5);
    const std::string path = dir.file("mvb.3ds");
    ASSERT_TRUE(ExportMoveableTo3ds(mvb.get(), path.c_str(), "mvb", nullptr, 0, nullptr));
    const std::vector<uint8_t> whole = ReadBytes(path);
    CTrMvb held;
    ASSERT_TRUE(ImportMoveableFrom3ds(&held, path.c_str(), false, false));
    // (The export writes the vertices of each face in its own order.)
    auto sorted = [](std::vector<TrMeshVertex> v) {
        std::sort(v.begin(), v.end(), [](const TrMeshVertex& a, const TrMeshVertex& b) {
            return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
        });
        return v;
    };
    const std::vector<TrMeshVertex> farMesh = sorted(mvb->meshes[1].vertices);
    EXPECT_EQ(held.meshTree, mvb->meshTree);
    EXPECT_EQ(sorted(held.meshes[1].vertices), farMesh);

    // One number each, in the file's own axes or on its way into a field of the level: the
    // import is refused with the toolkit's error and what was wrong; the target keeps what
    // it held, byte for byte.
    auto point = [](int at, float x, float y, float z) {
        return [=](ChunkData3ds* d) {
            auto* track = dynamic_cast<PointTrackData3ds*>(d);
            if (track) track->values[size_t(at)] = Point3ds{x, y, z};
            if (auto* points = dynamic_cast<PointArrayData3ds*>(d)) points->points[size_t(at)] = Point3ds{x, y, z};
        };
    };
    struct Case {
        const char* owner;
        bool node;
        uint32_t tag;
        std::function<void(ChunkData3ds*)> change;
        const char* note;
    };
    const float nan = std::nanf("");
    auto frames = [](int32_t first, int32_t second) {
        return [=](ChunkData3ds* d) {
            auto* t = dynamic_cast<RotTrackData3ds*>(d);
            t->keys[0].frame = first;
            t->keys[1].frame = second;
        };
    };
    const Case cases[] = {
        {"M001", true, Tag3ds::PositionTrack, point(0, -6.49e32f, 0, 0), "the place of node M001 (-6.49e+32, 0, 0)"},
        {"M000", true, Tag3ds::PositionTrack, point(1, 0, 0, 40000), "position key 1 of node M000 (0, 0, 40000)"},
        {"M002", true, Tag3ds::RotationTrack,
         [&](ChunkData3ds* d) { dynamic_cast<RotTrackData3ds*>(d)->values[1].angle = nan; },
         "rotation key 1 of node M002"},
        {"M000", true, Tag3ds::RotationTrack,
         [](ChunkData3ds* d) {
             auto* t = dynamic_cast<RotTrackData3ds*>(d);
             t->keys[0].frame = INT_MIN;
             t->keys[1].frame = INT_MAX;
         },
         "the key step of node M000 (4294967295 frames)"},
        // A level keeps the frames of a key in a byte, and an animation's frames in 15 bits.
        {"M000", true, Tag3ds::RotationTrack, frames(0, 300),
         "the key step of node M000 (300 frames) is out of range (1 to 255 frames)"},
        {"M000", true, Tag3ds::RotationTrack, frames(0, 2000000000),
         "the key step of node M000 (2000000000 frames)"},
        {"M000", true, Tag3ds::RotationTrack, frames(6, 3), "the key step of node M000 (-3 frames)"},
        {nullptr, false, Tag3ds::KeyframeHeader,
         [](ChunkData3ds* d) { dynamic_cast<KfHeaderData3ds*>(d)->animLength = 70000; },
         "the animation length (70000 frames) is out of range (at most 32767 frames)"},
        {nullptr, false, Tag3ds::KeyframeHeader,
         [](ChunkData3ds* d) { dynamic_cast<KfHeaderData3ds*>(d)->animLength = 0xFFFFFFFF; },
         "the animation length (4294967295 frames)"},
        {"M001", false, Tag3ds::VertexList, point(2, 62768, 0, 0), "vertex 2 of the mesh M001 (62768, 0, 0)"},
        {"M000", false, Tag3ds::TexVerts,
         [](ChunkData3ds* d) { dynamic_cast<TexVertData3ds*>(d)->texVerts[1].u = INFINITY; },
         "a texture coordinate of face 0 of the mesh M000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.note);
        const std::vector<uint8_t> bytes = Changed(whole, c.owner, c.node, c.tag, c.change);
        ASSERT_FALSE(bytes.empty());
        test::WriteFileBytes(dir.file("bad.3ds"), bytes);
        messages.clear();
        CTrMvb target;
        ASSERT_TRUE(ImportMoveableFrom3ds(&target, path.c_str(), false, false));
        const std::vector<uint8_t> was = target.Serialize();
        EXPECT_FALSE(ImportMoveableFrom3ds(&target, dir.file("bad.3ds").c_str(), false, false));
        EXPECT_TRUE(messages.Saw("Erreur 3DS:1"));
        EXPECT_TRUE(messages.Saw("ERR_INVALID_DATA"));
        EXPECT_TRUE(messages.Saw(c.note) && messages.Saw(" is out of range")) << (messages.shown().empty() ? "" : messages.shown().back().text);
        EXPECT_EQ(target.Serialize(), was);
        if (c.node || !c.owner) continue;
        // The mesh import reads the same vertices and texture coordinates.
        CTrLstMsh list;
        list.meshes.resize(1);
        EXPECT_FALSE(ImportMeshFrom3ds(nullptr, &list, dir.file("bad.3ds").c_str(), false, false));
        EXPECT_TRUE(messages.Saw(c.note));
        EXPECT_EQ(list.meshCount(), 1u);
    }
}

TEST(MoveableConvert3ds, KeysFramesAndMeshesFitTheLevelsFields) {
    test::TempDir dir;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    const std::string path = dir.file("mvb.3ds"), longer = dir.file("longer.3ds");
    auto length = [](uint32_t frames) {
        return [=](ChunkData3ds* d) { dynamic_cast<KfHeaderData3ds*>(d)->animLength = frames; };
    };
    // One key over 301 frames: the step holds 255 of them, the key stands again at 255.
    auto still = Moveable(2);
    ASSERT_TRUE(ExportMoveableTo3ds(still.get(), path.c_str(), "mvb", nullptr, -1, nullptr));
    test::WriteFileBytes(longer, Changed(ReadBytes(path), nullptr, false, Tag3ds::KeyframeHeader, length(300)));
    CTrMvb one;
    ASSERT_TRUE(ImportMoveableFrom3ds(&one, longer.c_str(), false, false));
    const CAnimTrack* t = one.animations->GetTrack(0);
    EXPECT_TRUE(t->frameCount == 301 && t->interval == 255 && t->keyCount() == 2 && t->keys[1].frame == 255);
    // Keys at 0, 10 and 20 over 101 frames: the last key's pose holds to the end.
    auto moving = Moveable(2);
    Animate(*moving, 3, 10, 21);
    ASSERT_TRUE(ExportMoveableTo3ds(moving.get(), path.c_str(), "mvb", nullptr, 0, nullptr));
    test::WriteFileBytes(longer, Changed(ReadBytes(path), nullptr, false, Tag3ds::KeyframeHeader, length(100)));
    CTrMvb held;
    ASSERT_TRUE(ImportMoveableFrom3ds(&held, longer.c_str(), false, false));
    t = held.animations->GetTrack(0);
    ASSERT_TRUE(t->frameCount == 101 && t->interval == 10 && t->keyCount() == 11 && t->keys[10].frame == 100);
    for (size_t b = 0; b < 2; ++b)
        EXPECT_TRUE(t->keys[10].bones[b].word0 == t->keys[2].bones[b].word0 &&
                    t->keys[10].bones[b].word1 == t->keys[2].bones[b].word1 &&
                    t->keys[10].bones.Offset(b).z == t->keys[2].bones.Offset(b).z);

    // A frame's size is a byte: nine words, then a rotation in two words (one only for a
    // level's own single-axis words). More meshes than that holds are refused at the import,
    // the words named; Tomb Raider I frames count their rotations and have no such bound.
    auto many = Moveable(124);
    Animate(*many, 1, 1, 1);
    ASSERT_TRUE(ExportMoveableTo3ds(many.get(), path.c_str(), "mvb", nullptr, 0, nullptr));
    CTrMvb target;
    ASSERT_TRUE(ImportMoveableFrom3ds(&target, path.c_str(), false, true));
    EXPECT_EQ(target.meshCount(), 124u);
    messages.clear();
    EXPECT_FALSE(ImportedMeshesFit3ds(target, 124, TrVersion4));
    EXPECT_TRUE(messages.Saw("With 124 meshes a frame of the moveable's animations takes 257 words"));
    EXPECT_TRUE(ImportedMeshesFit3ds(target, 123, TrVersion3));
    EXPECT_TRUE(ImportedMeshesFit3ds(target, 124, TrVersion1));

    // An animation added or put in the place of another: the moveable's frames count up to
    // 32767 at most.
    auto current = Moveable(2);
    Animate(*current, 2, 255, 32000);
    auto imported = [&](int frames) {
        auto m = Moveable(2);
        Animate(*m, 2, 255, frames);
        return m;
    };
    CImport3dsOptions add(current->animations.get(), 0);
    add.Open();
    add.ChooseAnimation();
    add.Import();
    const std::vector<uint8_t> was = current->Serialize();
    messages.clear();
    EXPECT_FALSE(ApplyMoveableImport3ds(*current, *imported(769), add));
    EXPECT_TRUE(messages.Saw("The imported animation has 769 frames: with the 32000 frames of the "
                             "moveable's other animations it makes more than a moveable holds (32768 frames)"));
    EXPECT_EQ(current->Serialize(), was);
    EXPECT_TRUE(ApplyMoveableImport3ds(*current, *imported(768), add));
    EXPECT_EQ(current->animationCount(), 2);
    CImport3dsOptions replace(current->animations.get(), 0);
    replace.Open();
    replace.ChooseAnimation();
    replace.ChooseReplace();
    replace.Import();
    EXPECT_TRUE(ApplyMoveableImport3ds(*current, *imported(32000), replace));
}

TEST(MoveableConvert3ds, NamesLongerThanTheirFieldRefuseTheFile) {
    test::TempDir dir;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    // Our exports write no name that the import refuses: a picture's name that the map name
    // can't hold whole is refused, and nothing is written.
    auto mvb = Moveable(2);
    std::string error;
    EXPECT_FALSE(ExportMoveableTo3ds(mvb.get(), dir.file("a.3ds").c_str(), "ninechars", nullptr, -1, &error));
    EXPECT_NE(error.find("map name \"ninechars.tga\" is longer than its field (at most 12 characters)"),
              std::string::npos)
        << error;
    EXPECT_FALSE(FileExists(dir.file("a.3ds")) || FileExists(dir.file("ninechars.tga")));
    ASSERT_TRUE(ExportMoveableTo3ds(mvb.get(), dir.file("a.3ds").c_str(), "eightchr", nullptr, -1, &error)) << error;
    CTrMvb target;
    ASSERT_TRUE(ImportMoveableFrom3ds(&target, dir.file("a.3ds").c_str(), false, false));
    CTrLstMsh list;
    ASSERT_TRUE(ImportMeshFrom3ds(nullptr, &list, dir.file("a.3ds").c_str(), false, false));
    ASSERT_EQ(list.meshes[0].texturedTriangles.size(), 2u);  // the picture was found

    // Two objects and their nodes named "LongNameX_a" and "LongNameX_b", one character
    // longer than their field: refused, the name and its field in the message.
    const std::string dir0 = test::DamagedInputsDir();
    if (dir0.empty()) GTEST_SKIP() << "no damaged inputs";
    const std::string damaged = dir0 + "/object-names-longer-than-their-field.3ds";
    const std::vector<uint8_t> mvbWas = target.Serialize(), listWas = list.Serialize();
    messages.clear();
    EXPECT_FALSE(ImportMoveableFrom3ds(&target, damaged.c_str(), false, false));
    EXPECT_FALSE(ImportMeshFrom3ds(nullptr, &list, damaged.c_str(), false, false));
    ASSERT_EQ(messages.shown().size(), 2u);
    for (const MessageRequest& m : messages.shown())
        EXPECT_NE(m.text.find("object name \"LongNameX_a\" is longer than its field (at most 10 characters)"),
                  std::string::npos)
            << m.text;
    EXPECT_EQ(target.Serialize(), mvbWas);
    EXPECT_EQ(list.Serialize(), listWas);
}

TEST(MoveableConvert3ds, PackedRotationsComeBackWhole) {
    int16_t w0, w1;
    PackTrRotation(-kPi / 2, 0, 0, &w0, &w1);
    EXPECT_EQ(uint16_t(w0) >> 4, 768);
    PackTrRotation(kPi / 2, 0, 0, &w0, &w1);
    EXPECT_EQ(uint16_t(w0) >> 4, 256);
    // Every x angle, with y and z through their range, the quarter turns included: the
    // rotation read back from the words is the one they came from.
    double worst = 0;
    for (int x = 0; x < 1024; x += 8)
        for (int y = 0; y < 1024; y += 61)
            for (int z : {0, 1, 255, 256, 700, 1023}) {
                auto angle = [](int units) { return float(units) * kTrAngleUnitDegrees * kDegreesToRadians; };
                BoneKey from, back;
                BoneKeyFromEuler(from, angle(x), -angle(y), -angle(z), CVector3{}, 0, 0);
                float ex, ey, ez;
                QuaternionToEuler(from.rotation, ex, ey, ez);
                PackTrRotation(ex, -ey, -ez, &w0, &w1);
                const int X = uint16_t(w0) >> 4, Y = ((uint16_t(w0) & 15) << 6) | (uint16_t(w1) >> 10),
                          Z = uint16_t(w1) & 1023;
                BoneKeyFromEuler(back, angle(X), -angle(Y), -angle(Z), CVector3{}, 0, 0);
                worst = std::max(worst, 1.0 - std::fabs(double(QuatDot(from.rotation, back.rotation))));
            }
    EXPECT_LT(worst, 1e-5);  // well within a unit (1 - cos(0.003) = 4.6e-6 for half a unit)
}

TEST(MoveableConvert3ds, Tr4BodyRuleTakesTheSkinsMeshes) {
    test::TempDir dir;
    CTrLevel level;
    level.version = TrVersion4;
    auto skin = Moveable(15, 8);
    skin->meshes[11].vertices[0].x = 4321;  // the mesh that stands for mesh 10 of object 14
    auto lara = Moveable(15, 14);
    lara->meshes[10].Free();
    lara->meshes[10].dummy = 1;
    lara->showRealMeshes = 1;
    CTrMvb* laraPtr = lara.get();
    level.moveableList.emplace_back(skin.release());
    level.moveableList.emplace_back(lara.release());
    std::string error;
    ASSERT_TRUE(ExportMoveableTo3ds(laraPtr, dir.file("lara.3ds").c_str(), "lara", &level, -1, &error)) << error;
    auto in = Read(dir.file("lara.3ds"));
    Mesh3ds* mesh = nullptr;
    GetMeshByName3ds(in->db(), "M010", &mesh);  // named M, not dummy, under the rule
    ASSERT_NE(mesh, nullptr);
    EXPECT_TRUE(std::any_of(mesh->vertices.begin(), mesh->vertices.end(),
                            [](const Point3ds& p) { return p.x > 4321.0f; }));
    ReleaseMesh3ds(&mesh);
}

}  // namespace
}  // namespace lithoscope
