// The object nodes: object files out and back, rejected imports, deletion, textures and
// the "Font & sky" tile. Handlers are called directly.
#include <gtest/gtest.h>

#include <fstream>

#include "EditorTestSupport.h"
#include "TestSupport.h"
#include "editor/tree/LevelTree.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/tree/HandleCollections.h"
#include "editor/tree/NodeHandlers.h"
#include "fixtures/LevelBuilder.h"
#include "fixtures/SampleLevel.h"
#include "level/Pixels.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Files.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

class NodesTest : public test::EditorTest {
protected:
    CLithoscopeDoc* OpenSample(const std::string& name) {
        std::string path = dir_.file(name);
        test::WriteFileBytes(path, test::BuildSampleLevelTr2());
        return Open(path);
    }
    static CHandleBase* FirstChild(CFileTree& tree, CHandleBase* node) {
        if (!node) return nullptr;
        wxTreeItemIdValue cookie;
        wxTreeItemId c = tree.GetFirstChild(node->GetItem(), cookie);
        return c.IsOk() ? tree.GetNode(c) : nullptr;
    }
    // Expands a moveable node as the tree does (first expansion: its mesh children).
    static void ExpandFirstMoveable(CFileTree& tree) {
        wxTreeItemIdValue cookie;
        wxTreeItemId c = tree.GetFirstChild(tree.m_pMoveablesNode->GetItem(), cookie);
        ASSERT_TRUE(c.IsOk());
        tree.GetNode(c)->Expand(c);
    }
    static std::vector<uint8_t> Bytes(const CTrObjBase& o) { return o.Serialize(); }
    // An object file whose header names an unknown format: every loader refuses it.
    std::string WriteRejected(const std::string& name) {
        std::string path = dir_.file(name);
        test::WriteFileBytes(path, std::vector<uint8_t>{9, 3, 4, 0, 0, 0, 0, 0, 1, 2, 3, 4});
        return path;
    }
    std::vector<uint8_t> ReadBytes(const std::string& path) {
        std::vector<uint8_t> out;
        ReadWholeFile(path, out);
        return out;
    }
};

TEST_F(NodesTest, ObjectFilesGoOutAndComeBackUnchanged) {
    CLithoscopeDoc* doc = OpenSample("sample.tr2");
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    CTrLevel& level = doc->m_level;

    // Moveable: the file import carries the id stored in the file (the same here).
    auto* mvbNode = dynamic_cast<CHandleMoveable*>(FirstChild(*tree, tree->m_pMoveablesNode));
    ASSERT_NE(mvbNode, nullptr);
    CTrMvb* mvb = level.moveableList[0].get();
    ASSERT_EQ(mvbNode->Moveable(), mvb);
    const auto mvbBefore = Bytes(*mvb);
    const int32_t mvbId = mvb->objectId;
    // "Push block 1.trm": the dialog's three letters are completed to .trmvb.
    ASSERT_TRUE(mvbNode->ExportMoveableFile(dir_.file("Push block 1.trm")));
    EXPECT_TRUE(FileExists(dir_.file("Push block 1.trmvb")));
    EXPECT_FALSE(doc->IsModified());
    mvbNode->ImportMoveableFileFrom(dir_.file("Push block 1.trmvb"));
    EXPECT_EQ(level.moveableList[0].get(), mvb);
    EXPECT_EQ(mvb->objectId, mvbId);
    // Moveable files always carry game version 4 in their header; the rest is the same.
    auto mvbAfter = Bytes(*mvb);
    ASSERT_EQ(mvbAfter.size(), mvbBefore.size());
    EXPECT_EQ(mvbAfter[2], 4);
    mvbAfter[2] = mvbBefore[2];
    EXPECT_EQ(mvbAfter, mvbBefore);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(g_messages.shown().empty());

    // Static mesh: a name already holding "trsmh" stays as typed.
    auto* smNode = dynamic_cast<CHandleMesh*>(FirstChild(*tree, tree->m_pStaticMeshesNode));
    ASSERT_NE(smNode, nullptr);
    ASSERT_TRUE(smNode->m_bStatic);
    EXPECT_EQ(smNode->m_nMeshIndex, 0);
    CTrStatMsh* sm = level.staticMeshList[0].get();
    const auto smBefore = Bytes(*sm);
    ASSERT_TRUE(smNode->ExportMeshFile(dir_.file("plant.trsmh.bak")));
    EXPECT_TRUE(FileExists(dir_.file("plant.trsmh.bak")));
    ASSERT_TRUE(smNode->ExportMeshFile(dir_.file("plant.trs")));
    EXPECT_EQ(ReadBytes(dir_.file("plant.trsmh")), smBefore);  // the file is the Serialize image
    smNode->ImportMeshFileFrom(dir_.file("plant.trsmh"));
    EXPECT_EQ(Bytes(*sm), smBefore);

    // Sprite.
    auto* sprNode = dynamic_cast<CHandleSprite*>(FirstChild(*tree, tree->m_pSpritesNode));
    ASSERT_NE(sprNode, nullptr);
    CTrLstSpr* spr = level.spriteList[0].get();
    const auto sprBefore = Bytes(*spr);
    ASSERT_TRUE(sprNode->ExportSpriteFile(dir_.file("pistols.trs")));
    ASSERT_TRUE(FileExists(dir_.file("pistols.trspr")));
    spr->objectId = 12;  // the file's id comes back with the import
    sprNode->ImportSpriteFileFrom(dir_.file("pistols.trspr"));
    EXPECT_EQ(spr->objectId, 135);
    EXPECT_EQ(Bytes(*spr), sprBefore);

    // A moveable's mesh: the file holds one mesh.
    ExpandFirstMoveable(*tree);
    auto* meshNode = dynamic_cast<CHandleMesh*>(FirstChild(*tree, mvbNode));
    ASSERT_NE(meshNode, nullptr);
    EXPECT_EQ(tree->GetItemText(meshNode->GetItem()).ToStdString(),
              StrFormat("Mesh_000 (#%.4d)", int(mvb->firstMesh)));
    {
        EXPECT_FALSE(meshNode->m_bStatic);
        ASSERT_TRUE(meshNode->ExportMeshFile(dir_.file("mesh0.trm")));
        auto one = CTrLstMsh::LoadFile(dir_.file("mesh0.trmsh"));
        ASSERT_NE(one, nullptr);
        EXPECT_EQ(one->meshCount(), 1u);
        EXPECT_EQ(one->meshes[0].vertexCount(), mvb->meshes[0].vertexCount());
    }
    EXPECT_TRUE(g_messages.shown().empty());

    // Through the menu: a name without extension gets the dialog's default one.
    std::string proposed;
    SaveFileChooser previous = SetSaveFileChooser([&](const SaveFileRequest& r) {
        proposed = r.initialPath;
        EXPECT_EQ(r.filter, "TR Static Mesh files (*.trsmh)|*.trsmh");
        return dir_.file("typed");
    });
    smNode->OnCommand(32805);
    SetSaveFileChooser(previous);
    EXPECT_EQ(proposed, std::string(smNode->GetName()) + ".trsmh");
    EXPECT_EQ(ReadBytes(dir_.file("typed.trsmh")), smBefore);

    // A failed write is reported, not taken for a success.
    EXPECT_FALSE(sprNode->ExportSpriteFile(dir_.file("no/such/folder/x.trspr")));
    EXPECT_TRUE(g_messages.Saw("Could not write the file"));
}

TEST_F(NodesTest, RejectedImportsShowTheirMessageAndChangeNothing) {
    CLithoscopeDoc* doc = OpenSample("sample.tr2");
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    CTrLevel& level = doc->m_level;
    auto* mvbNode = dynamic_cast<CHandleMoveable*>(FirstChild(*tree, tree->m_pMoveablesNode));
    auto* smNode = dynamic_cast<CHandleMesh*>(FirstChild(*tree, tree->m_pStaticMeshesNode));
    auto* sprNode = dynamic_cast<CHandleSprite*>(FirstChild(*tree, tree->m_pSpritesNode));
    ASSERT_TRUE(mvbNode && smNode && sprNode);
    const auto mvbBefore = Bytes(*level.moveableList[0]);
    const auto smBefore = Bytes(*level.staticMeshList[0]);
    const auto sprBefore = Bytes(*level.spriteList[0]);

    // Through the menu command and the open-file hook.
    std::string rejected = WriteRejected("old.trmvb");
    SetOpenFileChooser([&](const std::string& filter) {
        EXPECT_NE(filter.find("*.trmvb"), std::string::npos);
        return rejected;
    });
    // The "Importing data" choices come first, as they stand (animations and meshes).
    std::vector<std::string> dialogs;
    ModalDialogRunner runner = SetModalDialogRunner([&](wxDialog& d) {
        dialogs.push_back(d.GetTitle().utf8_str().data());
        return int(wxID_OK);
    });
    mvbNode->OnCommand(32799);
    SetModalDialogRunner(runner);
    EXPECT_EQ(dialogs, std::vector<std::string>{"Importing data"});
    ASSERT_EQ(g_messages.shown().size(), 1u);
    EXPECT_EQ(g_messages.shown()[0].text,
              "Could not import this moveable because of a version mismatch:\n\n - the moveable was "
              "produced with an old Lithoscope release and its format is not supported anymore !");
    EXPECT_EQ(g_messages.shown()[0].icon, MsgIcon::Error);
    g_messages.clear();

    smNode->ImportMeshFileFrom(WriteRejected("old.trsmh"));
    EXPECT_TRUE(g_messages.Saw("Could not import this static mesh because of a version mismatch:\n\n - "
                               "the static mesh was produced with an old Lithoscope release"));
    sprNode->ImportSpriteFileFrom(WriteRejected("old.trspr"));
    EXPECT_TRUE(g_messages.Saw("Could not import this sprite because of a version mismatch:\n\n - "
                               "the sprite was produced"));
    ExpandFirstMoveable(*tree);
    auto* meshNode = dynamic_cast<CHandleMesh*>(FirstChild(*tree, mvbNode));
    ASSERT_NE(meshNode, nullptr);
    {
        meshNode->ImportMeshFileFrom(WriteRejected("old.trmsh"));
        EXPECT_TRUE(g_messages.Saw(
            "Could not import this mesh because of a version mismatch:\n\n - the mesh was produced "
            "with an old Lithoscope release and its format is not supported anymore !"));
    }
    // A cancelled chooser does nothing at all.
    g_messages.clear();
    SetOpenFileChooser([](const std::string&) { return std::string(); });
    sprNode->OnCommand(32809);
    EXPECT_TRUE(g_messages.shown().empty());

    EXPECT_EQ(Bytes(*level.moveableList[0]), mvbBefore);
    EXPECT_EQ(Bytes(*level.staticMeshList[0]), smBefore);
    EXPECT_EQ(Bytes(*level.spriteList[0]), sprBefore);
    EXPECT_FALSE(doc->IsModified());
}

// A moveable whose animations play sounds its own list lacks (as those of Tomb Raider I
// levels do): the import, onto a node or as a new moveable, names the ones the level has not
// got either.
TEST_F(NodesTest, AnImportNamesTheSoundsThatWillBeSilent) {
    CLithoscopeDoc* doc = OpenSample("sample.tr2");
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    CTrLevel& level = doc->m_level;
    ASSERT_TRUE(level.soundList);
    TrSoundDetailRecord detail;
    detail.setU16(6, 0x0004);
    ASSERT_TRUE(level.soundList->InsertFromDetail(40, detail, 0, TrVersion2));

    CTrMvb* mvb = level.moveableList[0].get();
    CTRAnimTrack* track = mvb->GetTrack(0);
    ASSERT_NE(track, nullptr);
    for (int16_t sound : {0x4000 | 300, 40, 12, 300}) {
        TrAnimCommand play;
        play.SetCode(5);
        play.operands[0] = 1;
        play.operands[1] = sound;
        track->commands.push_back(play);
    }
    mvb->sounds = std::make_unique<CTrSoundList>();
    const std::string path = dir_.file("noisy.trmvb");
    ASSERT_TRUE(mvb->SaveFile(path));

    // Onto the node, and as a new moveable.
    auto* node = dynamic_cast<CHandleMoveable*>(FirstChild(*tree, tree->m_pMoveablesNode));
    ASSERT_NE(node, nullptr);
    auto loaded = CTrMvb::LoadFile(path);
    ASSERT_NE(loaded, nullptr);
    const std::function<void()> imports[] = {
        [&] { node->ImportMoveableFileFrom(path, true, true, false); },
        [&] { static_cast<CHandleMoveables*>(tree->m_pMoveablesNode)->ImportNewMoveableFile(loaded.get()); }};
    for (const auto& import : imports) {
        g_messages.clear();
        import();
        ASSERT_EQ(g_messages.shown().size(), 1u);
        EXPECT_EQ(g_messages.shown()[0].text, "The animations of this moveable play sounds that this level does "
                                              "not have. They will be silent: #12, #300.");
        EXPECT_EQ(g_messages.shown()[0].icon, MsgIcon::Warning);
    }
    EXPECT_EQ(level.moveableList.size(), 2u);
    EXPECT_EQ(level.soundList->size(), 1u);  // nothing came with them
}

TEST_F(NodesTest, DeleteAsksAndRemoves) {
    CLithoscopeDoc* doc = OpenSample("sample.tr2");
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    CTrLevel& level = doc->m_level;
    const size_t items = level.itemList.size();

    auto* mvbNode = dynamic_cast<CHandleMoveable*>(FirstChild(*tree, tree->m_pMoveablesNode));
    ASSERT_NE(mvbNode, nullptr);
    ExpandFirstMoveable(*tree);  // its mesh nodes go with it
    ASSERT_NE(FirstChild(*tree, mvbNode), nullptr);
    g_messages.Answer(MsgAnswer::No);
    mvbNode->DeleteMoveable();
    ASSERT_EQ(g_messages.shown().size(), 1u);
    EXPECT_EQ(g_messages.shown()[0].text, "Are you sure you want to delete this moveable ?");
    EXPECT_EQ(g_messages.shown()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(g_messages.shown()[0].icon, MsgIcon::Warning);
    EXPECT_EQ(level.moveableList.size(), 1u);
    EXPECT_FALSE(doc->IsModified());

    g_messages.Answer(MsgAnswer::Yes);
    mvbNode->DeleteMoveable();  // the node is gone afterwards
    EXPECT_TRUE(level.moveableList.empty());
    EXPECT_EQ(FirstChild(*tree, tree->m_pMoveablesNode), nullptr);
    EXPECT_EQ(level.itemList.size(), items);  // a Tomb Raider II level keeps its items
    EXPECT_TRUE(doc->IsModified());

    auto* smNode = dynamic_cast<CHandleMesh*>(FirstChild(*tree, tree->m_pStaticMeshesNode));
    ASSERT_NE(smNode, nullptr);
    g_messages.clear();
    g_messages.Answer(MsgAnswer::Yes);
    smNode->OnCommand(32832);
    EXPECT_TRUE(g_messages.Saw("Are you sure you want to delete this static mesh ?"));
    EXPECT_TRUE(level.staticMeshList.empty());
    EXPECT_EQ(FirstChild(*tree, tree->m_pStaticMeshesNode), nullptr);

    auto* sprNode = dynamic_cast<CHandleSprite*>(FirstChild(*tree, tree->m_pSpritesNode));
    ASSERT_NE(sprNode, nullptr);
    g_messages.clear();
    g_messages.Answer(MsgAnswer::Yes);
    sprNode->DeleteSprite();
    EXPECT_TRUE(g_messages.Saw("Are you sure you want to delete this sprite ?"));
    EXPECT_TRUE(level.spriteList.empty());
    EXPECT_EQ(FirstChild(*tree, tree->m_pSpritesNode), nullptr);
}

TEST_F(NodesTest, TextureExportWritesTgaAndWrongSizedPictureIsRefused) {
    CLithoscopeDoc* doc = OpenSample("sample.tr2");
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    auto* sprNode = dynamic_cast<CHandleSprite*>(FirstChild(*tree, tree->m_pSpritesNode));
    ASSERT_NE(sprNode, nullptr);
    CTrLstSpr* spr = sprNode->Sprite();
    ASSERT_GT(spr->width, 0u);

    const std::string tga = dir_.file("pistols.tga");
    ASSERT_TRUE(ExportObjectTexture(*sprNode, tga));
    auto bytes = ReadBytes(tga);
    ASSERT_GE(bytes.size(), 18u + size_t(spr->width) * spr->height * 4);
    EXPECT_EQ(bytes[2], 2);  // uncompressed true colour
    EXPECT_EQ(bytes[12] | (bytes[13] << 8), int(spr->width));
    EXPECT_EQ(bytes[14] | (bytes[15] << 8), int(spr->height));
    EXPECT_EQ(bytes[16], 32);

    // The TGA back as a picture of the right size is taken.
    const auto pixelsBefore = spr->pixels;
    EXPECT_TRUE(ReplaceObjectTexture(*sprNode, tga));
    EXPECT_TRUE(g_messages.shown().empty());
    EXPECT_TRUE(doc->IsModified());

    // One pixel wider: refused with the page's size, the page unchanged.
    std::vector<uint8_t> wide(size_t(spr->width + 1) * spr->height * 4, 0x80);
    const std::string widePath = dir_.file("wide.tga");
    ASSERT_TRUE(WriteTga32(widePath, wide.data(), int(spr->width + 1), int(spr->height), 4, false));
    EXPECT_FALSE(ReplaceObjectTexture(*sprNode, widePath));
    EXPECT_TRUE(g_messages.Saw(StrFormat(
        "Could not replace the texture. Please, make sure that:\n\n    - your graphic file is a valid "
        "one\n    - your texture is %ldx%ld",
        long(spr->width), long(spr->height))));
    EXPECT_EQ(spr->pixels, pixelsBefore);

    // The static mesh's page through its own command.
    auto* smNode = dynamic_cast<CHandleMesh*>(FirstChild(*tree, tree->m_pStaticMeshesNode));
    ASSERT_NE(smNode, nullptr);
    ASSERT_TRUE(smNode->ExportMeshTexture(dir_.file("plant.tga")));
    EXPECT_EQ(ReadBytes(dir_.file("plant.tga"))[16], 32);
    g_messages.clear();
    EXPECT_FALSE(smNode->ReplaceMeshTexture(widePath));
    EXPECT_TRUE(g_messages.Saw("Could not replace the texture."));
}

TEST_F(NodesTest, FontAndSkyExportReplaceAndCopy) {
    test::FixtureOptions o;
    o.version = 4;
    std::string path = dir_.file("fixture.tr4");
    test::WriteFileBytes(path, test::BuildFixtureLevel(o).file);
    std::string path2 = dir_.file("other.tr4");
    test::WriteFileBytes(path2, test::BuildFixtureLevel(o).file);
    CLithoscopeDoc* doc = Open(path);
    CLithoscopeDoc* other = Open(path2);
    ASSERT_TRUE(doc && other);
    auto tileOf = [&](CLithoscopeDoc* d) -> CHandleTile* {
        CFileTree* t = TreeOf(d);
        if (!t) return nullptr;
        wxTreeItemIdValue cookie;
        for (wxTreeItemId c = t->GetFirstChild(t->GetRootItem(), cookie); c.IsOk();
             c = t->GetNextChild(t->GetRootItem(), cookie))
            if (auto* tile = dynamic_cast<CHandleTile*>(t->GetNode(c))) return tile;
        return nullptr;
    };
    CHandleTile* tile = tileOf(doc);
    CHandleTile* target = tileOf(other);
    ASSERT_TRUE(tile && target);
    EXPECT_EQ(tile->m_nTileKind, 1);
    TrPackedChunk& chunk = doc->m_level.miscChunk;

    const std::string tga = dir_.file("font.tga");
    ASSERT_TRUE(tile->ExportTileTga(tga));
    auto bytes = ReadBytes(tga);
    ASSERT_GE(bytes.size(), 18u);
    EXPECT_EQ(bytes[12] | (bytes[13] << 8), 256);
    EXPECT_EQ(uint32_t(bytes[14] | (bytes[15] << 8)), chunk.unpackedSize / 1024);

    // 255 wide: refused, nothing changed.
    std::vector<uint8_t> narrow(255 * 4 * 4, 0x40);
    ASSERT_TRUE(WriteTga32(dir_.file("narrow.tga"), narrow.data(), 255, 4, 4, false));
    const auto packedBefore = chunk.data;
    EXPECT_FALSE(tile->ReplaceTile(dir_.file("narrow.tga")));
    EXPECT_TRUE(g_messages.Saw("Invalid width. It must be 256 pixels."));
    EXPECT_EQ(chunk.data, packedBefore);
    EXPECT_FALSE(doc->IsModified());

    // 256 by 512: the chunk holds 524288 bytes unpacked.
    std::vector<uint8_t> tall(256 * 512 * 4, 0x7F);
    ASSERT_TRUE(WriteTga32(dir_.file("tall.tga"), tall.data(), 256, 512, 4, false));
    EXPECT_TRUE(tile->ReplaceTile(dir_.file("tall.tga")));
    EXPECT_EQ(chunk.unpackedSize, 524288u);
    EXPECT_TRUE(doc->IsModified());

    // Dropping on the other level's tile: asked, "No" keeps it, "Yes" copies and marks only
    // the target document modified.
    g_messages.clear();
    g_messages.Answer(MsgAnswer::No);
    tile->DropOnto(target, false);
    ASSERT_EQ(g_messages.shown().size(), 1u);
    EXPECT_EQ(g_messages.shown()[0].text, "Copy the tile ?");
    EXPECT_EQ(g_messages.shown()[0].icon, MsgIcon::Question);
    EXPECT_NE(other->m_level.miscChunk.unpackedSize, 524288u);
    EXPECT_FALSE(other->IsModified());
    g_messages.Answer(MsgAnswer::Yes);
    tile->DropOnto(target, false);
    EXPECT_EQ(other->m_level.miscChunk.unpackedSize, 524288u);
    EXPECT_EQ(other->m_level.miscChunk.data, chunk.data);
    EXPECT_TRUE(other->IsModified());
}

TEST_F(NodesTest, ClearMeshesKeepsAnimationsAndTree) {
    CLithoscopeDoc* doc = OpenSample("sample.tr2");
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    auto* mvbNode = dynamic_cast<CHandleMoveable*>(FirstChild(*tree, tree->m_pMoveablesNode));
    ASSERT_NE(mvbNode, nullptr);
    CTrMvb* mvb = mvbNode->Moveable();
    const int32_t anims = mvb->animationCount();
    const auto meshTree = mvb->meshTree;
    const uint32_t meshes = mvb->meshCount();
    ASSERT_GT(meshes, 0u);
    mvbNode->OnCommand(32788);
    EXPECT_EQ(mvb->meshCount(), meshes);
    for (const TrMeshRecord& m : mvb->meshes) EXPECT_EQ(m.vertexCount(), 0);
    EXPECT_EQ(mvb->animationCount(), anims);
    EXPECT_EQ(mvb->meshTree, meshTree);
    EXPECT_TRUE(doc->IsModified());
    // Unknown ids do nothing.
    mvbNode->OnCommand(1);
    EXPECT_TRUE(g_messages.shown().empty());
}

}  // namespace
