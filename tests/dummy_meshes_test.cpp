// Dummy meshes: the slots whose mesh pointer holds 0 (a placeholder the games fill from
// another moveable) on every real level, the mesh at offset 0 that a save keeps for them,
// levels without such a mesh, and Lara of Tomb Raider IV exported to 3D Studio with the
// meshes of her skin.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "fixtures/LevelDecode.h"
#include "fixtures/ObjectModelFixtures.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/GameCatalog.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

struct Quiet : QuietMessages {
    ScopedConfigDir config;
};

std::string ExtensionOf(const std::string& path) { return path.substr(path.rfind('.')); }

// Which slots of the file's moveables and static meshes hold pointer 0, slot by slot.
std::vector<bool> ZeroSlots(const CTrLevel& level, const DecodedLevel& file) {
    std::vector<bool> out;
    auto zero = [&](size_t p) {
        return p < file.meshPointerOffsets.size() && file.meshPointerOffsets[p] == 0;
    };
    for (const TrMoveableRecord& mv : level.moveables)
        for (size_t i = 0; i < mv.meshCount(); ++i) out.push_back(zero(mv.firstMesh() + i));
    for (const TrStaticMeshRecord& s : level.staticMeshes) out.push_back(zero(s.meshIndex()));
    return out;
}

// The dummy flag of every slot of the object model, in the same order.
std::vector<bool> DummySlots(const CTrLevel& level) {
    std::vector<bool> out;
    for (const auto& mv : level.moveableList)
        for (const TrMeshRecord& m : mv->meshes) out.push_back(m.dummy != 0);
    for (const auto& s : level.staticMeshList) out.push_back(s->meshes.empty() || s->meshes[0].dummy);
    return out;
}

// A Tomb Raider II level with one moveable (id 5) of two textured meshes and no pointer
// holding 0, built into objects.
void BuildPlainLevel(CTrLevel& level) {
    InitTestLevel(level, TrVersion2, 1);
    level.rooms.resize(1);  // saved and loaded again: a level holds a room
    level.objectTextures.push_back(TestTexture(0, 0, 0, 16, 16, false));
    level.meshes.push_back(std::make_unique<TrMeshRecord>(TestMesh({0}, {})));
    level.meshes.push_back(std::make_unique<TrMeshRecord>(TestMesh({0}, {})));
    level.meshPointers = {0, 1};
    TrMoveableRecord record;
    record.setS32(0, 5);
    record.setU16(4, 2);
    record.setU16(16, 0xFFFF);
    level.moveables.push_back(record);
    level.meshTrees = {0, 100, 0, 0};
    level.BuildObjects(nullptr);
}

}  // namespace

// Every slot whose pointer holds 0 is a dummy but Lara's before Tomb Raider III and mesh 1
// of object 1 after; Lara of Tomb Raider III and IV is dummies only, with a whole skin to
// show instead, and keeps them in a moveable file. A save writes pointer 0 for exactly the same slots (what it names there is
// checked with every face of the level by the load / save / load suite).
TEST(DummyMeshesRealLevels, PointerZeroSlotsAreDummiesAndTheSaveKeepsTheirMesh) {
    const std::vector<RealLevel> files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    Quiet quiet;
    TempDir dir;
    CGameCatalog catalog;
    catalog.Load(std::string(LITHOSCOPE_SOURCE_DIR) + "/resources/catalog");
    int laras = 0;
    for (const RealLevel& file : files) {
        if (file.unsupported) continue;
        SCOPED_TRACE(file.path);
        CTrLevel level;
        ASSERT_TRUE(level.Load(file.path, false, false, &catalog));
        DecodeOptions decode;
        decode.tub = level.isTub;
        const DecodedLevel input = DecodeLevelFile(ReadFileBytes(file.path), decode);
        const std::vector<bool> zero = ZeroSlots(level, input);

        size_t slot = 0, dummies = 0, zeros = 0;
        for (const auto& mv : level.moveableList) {
            for (size_t i = 0; i < mv->meshes.size(); ++i, ++slot) {
                const bool expected = zero[slot] && !KeepsZeroMesh(level.version, mv->objectId, i);
                EXPECT_EQ(mv->meshes[i].dummy != 0, expected) << "object " << mv->objectId << " mesh " << i;
                if (expected) {
                    EXPECT_EQ(mv->meshes[i].vertexCount(), 0);
                }
                dummies += expected;
                zeros += zero[slot];
            }
        }
        for (const auto& s : level.staticMeshList) {
            EXPECT_EQ(s->meshes[0].dummy != 0, bool(zero[slot])) << "static mesh " << s->objectId;
            zeros += zero[slot++];
        }
        if (zeros > 1) {
            EXPECT_GT(dummies, 0u);
        }
        EXPECT_EQ(level.zeroMesh != nullptr, zeros > 0);

        if (CTrMvb* lara = level.FindMoveable(0)) {
            size_t laraDummies = 0;
            for (const TrMeshRecord& m : lara->meshes) laraDummies += m.dummy;
            if (level.version >= TrVersion3) {
                EXPECT_EQ(laraDummies, lara->meshes.size());
                ASSERT_NE(lara->catalogEntry, nullptr);
                const CTrMvb* skin = level.FindMoveable(lara->catalogEntry->useBodyFrom);
                ASSERT_NE(skin, nullptr) << "Lara's body " << lara->catalogEntry->useBodyFrom;
                ASSERT_GE(skin->meshes.size(), lara->meshes.size());
                for (const TrMeshRecord& m : skin->meshes) EXPECT_GT(m.vertexCount(), 0);
                // A moveable file keeps her dummies.
                const std::string trmvb = dir.file("lara.trmvb");
                ASSERT_TRUE(lara->SaveFile(trmvb));
                std::unique_ptr<CTrMvb> loaded = CTrMvb::LoadFile(trmvb);
                ASSERT_NE(loaded, nullptr);
                ASSERT_EQ(loaded->meshes.size(), lara->meshes.size());
                for (const TrMeshRecord& m : loaded->meshes) EXPECT_EQ(m.dummy, 1);
                ++laras;
            } else {
                EXPECT_EQ(laraDummies, 0u);
            }
        }

        const std::string saved = dir.file("saved" + ExtensionOf(file.path));
        ASSERT_TRUE(level.Save(saved, 1, false, false));
        const DecodedLevel output = DecodeLevelFile(ReadFileBytes(saved), decode);
        CTrLevel back;
        ASSERT_TRUE(back.Load(saved, false, false));
        EXPECT_EQ(ZeroSlots(back, output), zero) << "slots on pointer 0 differ after the save";
        EXPECT_EQ(DummySlots(back), DummySlots(level));
    }
    EXPECT_GT(laras, 0);
}

// A dummy made in a slot that shows the mesh of pointer 0 (Lara's before Tomb Raider III,
// mesh 1 of object 1 after) is saved as pointer 0 and loads as that mesh; the level loaded
// saves again to the same bytes, its textures packed in the same order.
TEST(DummyMeshesRealLevels, ADummyShowingTheMeshOfPointerZeroSavesOnce) {
    const std::vector<RealLevel> files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    Quiet quiet;
    TempDir dir;
    int checked = 0;
    for (const RealLevel& file : files) {
        if (file.unsupported) continue;
        SCOPED_TRACE(file.path);
        CTrLevel level;
        ASSERT_TRUE(level.Load(file.path, false, false));
        const int id = level.version < TrVersion3 ? 0 : 1;
        CTrMvb* shows = level.FindMoveable(id);
        if (!shows || shows->meshes.size() < 2 || !level.zeroMesh) continue;
        std::vector<size_t> made;
        for (size_t i = 0; i < shows->meshes.size(); ++i) {
            if (!KeepsZeroMesh(level.version, id, i)) continue;
            shows->meshes[i].Init(0, 0, 0, false, true);
            shows->meshes[i].dummy = 1;
            made.push_back(i);
        }
        const int zeroVertices = level.zeroMesh->meshes[0].vertexCount();
        const std::string saved = dir.file("saved" + ExtensionOf(file.path));
        const std::string again = dir.file("again" + ExtensionOf(file.path));
        ASSERT_TRUE(level.Save(saved, 1, false, false));
        CTrLevel back;
        ASSERT_TRUE(back.Load(saved, false, false));
        const CTrMvb* loaded = back.FindMoveable(id);
        ASSERT_NE(loaded, nullptr);
        for (size_t i : made) {
            EXPECT_EQ(loaded->meshes[i].dummy, 0) << "mesh " << i;
            EXPECT_EQ(loaded->meshes[i].vertexCount(), zeroVertices) << "mesh " << i;
        }
        ASSERT_TRUE(back.Save(again, 1, false, false));
        EXPECT_TRUE(ReadFileBytes(saved) == ReadFileBytes(again)) << "the second save differs";
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

// A level without any mesh at offset 0: a slot the user makes a dummy gets an empty mesh
// at offset 0 and stays a dummy; without dummies no pointer holds 0, so no mesh reads back
// as one.
TEST(DummyMeshes, LevelWithoutPointerZeroGetsAnEmptyMeshOnlyForItsDummies) {
    Quiet quiet;
    TempDir dir;
    CTrLevel level;
    BuildPlainLevel(level);
    ASSERT_EQ(level.zeroMesh, nullptr);
    ASSERT_EQ(level.moveableList[0]->meshes.size(), 2u);
    const std::string plain = dir.file("plain.tr2");
    ASSERT_TRUE(level.Save(plain, 0, false, false));
    for (uint32_t p = 0; p < level.meshPointerCount(); ++p) EXPECT_FALSE(level.IsZeroPointer(p));
    CTrLevel back;
    ASSERT_TRUE(back.Load(plain, false, false));
    ASSERT_EQ(back.moveableList.size(), 1u);
    EXPECT_EQ(back.moveableList[0]->meshes[0].dummy, 0);
    EXPECT_EQ(back.moveableList[0]->meshes[1].dummy, 0);
    EXPECT_EQ(back.zeroMesh, nullptr);

    // Mesh 1 made a dummy: it goes to pointer 0, an empty mesh, and comes back a dummy.
    CTrMvb& again = *back.moveableList[0];
    again.meshes[1].Init(0, 0, 0, false, true);
    again.meshes[1].dummy = 1;
    const std::string dummy = dir.file("dummy.tr2");
    ASSERT_TRUE(back.Save(dummy, 0, false, false));
    CTrLevel third;
    ASSERT_TRUE(third.Load(dummy, false, false));
    const DecodedLevel file = DecodeLevelFile(ReadFileBytes(dummy));
    EXPECT_EQ(ZeroSlots(third, file), (std::vector<bool>{false, true}));
    EXPECT_EQ(third.moveableList[0]->meshes[0].dummy, 0);
    EXPECT_EQ(third.moveableList[0]->meshes[1].dummy, 1);
    ASSERT_NE(third.zeroMesh, nullptr);
    EXPECT_EQ(third.zeroMesh->meshes[0].vertexCount(), 0);
}

// Under the body rule Lara of Tomb Raider IV exports her skin's meshes, one for each of her
// dummies, not the placeholder fifteen times (faces come back split or joined, vertices
// one for one).
TEST(DummyMeshesRealLevels, Tr4LaraExportsToTheSkinsMeshes) {
    const std::vector<RealLevel> files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    Quiet quiet;
    TempDir dir;
    int checked = 0;
    for (const RealLevel& file : files) {
        if (file.unsupported) continue;
        CTrLevel level;
        ASSERT_TRUE(level.Load(file.path, false, false));
        if (level.version != TrVersion4) continue;
        SCOPED_TRACE(file.path);
        CTrMvb* lara = level.FindMoveable(0);
        const CTrMvb* skin = level.FindMoveable(8);
        ASSERT_TRUE(lara && skin);
        lara->showRealMeshes = 1;
        const std::string path = dir.file("lara.3ds");
        std::string error;
        ASSERT_TRUE(ExportMoveableTo3ds(lara, path.c_str(), "lara", &level, 0, &error)) << error;
        CTrMvb imported;
        ASSERT_TRUE(ImportMoveableFrom3ds(&imported, path.c_str(), false, true));
        ASSERT_EQ(imported.meshes.size(), lara->meshes.size());
        for (size_t m = 0; m < imported.meshes.size(); ++m) {
            EXPECT_EQ(imported.meshes[m].dummy, 0) << "mesh " << m;
            EXPECT_EQ(imported.meshes[m].vertexCount(), skin->meshes[m].vertexCount()) << "mesh " << m;
        }
        ++checked;
    }
    if (checked == 0) GTEST_SKIP() << "no Tomb Raider IV level";
}
