// The level tree: root and collections of an opened level, catalog names, selection and
// edit panes, menu routing, the "Add resource" menus and the export-all commands.
#include <gtest/gtest.h>

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/menu.h>

#include "EditorTestSupport.h"
#include "TestSupport.h"
#include "editor/shell/ChildFrame.h"
#include "editor/tree/HandleCollections.h"
#include "editor/tree/LevelTree.h"
#include "editor/shell/LithoscopeApp.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/common/ModalHook.h"
#include "editor/common/CommandIds.h"
#include "editor/dialogs/DlgObjects.h"
#include "editor/panes/EditPane.h"
#include "editor/sound/SoundPane.h"
#include "editor/tree/NodeHandlers.h"
#include "editor/tree/TreeDrag.h"
#include "level/FairyExport.h"
#include "level/SoundList.h"
#include <wx/checkbox.h>
#include "fixtures/LevelBuilder.h"
#include "fixtures/SampleLevel.h"
#include "level/GameCatalog.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Files.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

class TreeTest : public test::EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        App().m_catalog.SetShowFriendlyNames(true);
    }
    std::string WriteSample(const std::string& name) {
        std::string path = dir_.file(name);
        test::WriteFileBytes(path, test::BuildSampleLevelTr2());
        return path;
    }
    static std::vector<wxTreeItemId> Children(CFileTree& tree, const wxTreeItemId& item) {
        std::vector<wxTreeItemId> out;
        wxTreeItemIdValue cookie;
        for (wxTreeItemId c = tree.GetFirstChild(item, cookie); c.IsOk(); c = tree.GetNextChild(item, cookie))
            out.push_back(c);
        return out;
    }
    // Null, or the handler of an item of the tree.
    static bool IsLiveNode(CFileTree& tree, CHandleBase* node) {
        if (!node) return true;
        std::vector<wxTreeItemId> todo{tree.GetRootItem()};
        while (!todo.empty()) {
            wxTreeItemId item = todo.back();
            todo.pop_back();
            if (tree.GetNode(item) == node) return true;
            for (const wxTreeItemId& c : Children(tree, item)) todo.push_back(c);
        }
        return false;
    }
    static std::string Text(CFileTree& tree, const wxTreeItemId& item) {
        return tree.GetItemText(item).utf8_str().data();
    }

};

TEST_F(TreeTest, OpenedLevelShowsRootCollectionsAndCatalogNames) {
    CLithoscopeDoc* doc = Open(WriteSample("sample.tr2"));
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(tree->GetRootItem().IsOk());
    EXPECT_EQ(tree->GetNode(tree->GetRootItem())->GetType(), HandleTypeRoot);
    // Populated at once, though shown collapsed.
    EXPECT_FALSE(tree->IsExpanded(tree->GetRootItem()));
    auto top = Children(*tree, tree->GetRootItem());
    ASSERT_EQ(top.size(), 4u);  // TR2: no "Font & sky"
    EXPECT_EQ(Text(*tree, top[0]), "Moveables");
    EXPECT_EQ(Text(*tree, top[1]), "Static meshes");
    EXPECT_EQ(Text(*tree, top[2]), "Sprites");
    EXPECT_EQ(Text(*tree, top[3]), "Sounds");
    EXPECT_EQ(tree->GetNode(top[0]), tree->m_pMoveablesNode);
    EXPECT_EQ(tree->GetNode(top[1]), tree->m_pStaticMeshesNode);
    EXPECT_EQ(tree->GetNode(top[2]), tree->m_pSpritesNode);
    EXPECT_EQ(tree->GetNode(top[3])->GetType(), HandleTypeSounds);
    EXPECT_EQ(tree->GetNode(top[3])->GetPaneKind(), EditPaneSounds);
    EXPECT_FALSE(tree->ItemHasChildren(top[3]));
    // The catalog's icons: "Moveables" is icon 5, "Sprites" 7, "Sounds" 8.
    EXPECT_EQ(tree->GetItemImage(top[0]), 5);
    EXPECT_EQ(tree->GetItemImage(top[2]), 7);
    EXPECT_EQ(tree->GetItemImage(top[3]), 8);

    auto moveables = Children(*tree, top[0]);
    ASSERT_EQ(moveables.size(), 1u);
    EXPECT_EQ(Text(*tree, moveables[0]), "Push block 1");  // TR2 moveable 67
    CHandleBase* mvbNode = tree->GetNode(moveables[0]);
    EXPECT_EQ(mvbNode->GetType(), HandleTypeMoveable);
    EXPECT_EQ(mvbNode->GetPaneKind(), EditPaneMoveable);
    EXPECT_EQ(mvbNode->GetObject(), doc->m_level.moveableList[0].get());
    // Its mesh children come on first expansion: a placeholder gives the button.
    EXPECT_TRUE(tree->ItemHasChildren(moveables[0]));
    EXPECT_FALSE(mvbNode->IsExpanded());

    auto statics = Children(*tree, top[1]);
    ASSERT_EQ(statics.size(), 1u);
    EXPECT_EQ(Text(*tree, statics[0]), "PLANT0");  // TR2 static mesh 0
    EXPECT_EQ(tree->GetNode(statics[0])->GetType(), HandleTypeMesh);
    auto sprites = Children(*tree, top[2]);
    ASSERT_EQ(sprites.size(), 1u);
    EXPECT_EQ(Text(*tree, sprites[0]), "Pistols");  // TR2 sprite 135
    EXPECT_EQ(tree->GetNode(sprites[0])->GetType(), HandleTypeSprite);

    EXPECT_EQ(tree->m_pMoveablesNode->FindChildNode(67), mvbNode);
    EXPECT_EQ(tree->m_pMoveablesNode->FindChildNode(68), nullptr);
    EXPECT_EQ(tree->GetNode(top[3])->FindChildNode(67), nullptr);
}

TEST_F(TreeTest, IconsFollowTheSetting) {
    const int kept = App().m_bShowIconInFrontOfItemInTreeview;
    App().m_bShowIconInFrontOfItemInTreeview = 0;
    CLithoscopeDoc* doc = Open(WriteSample("sample.tr2"));
    App().m_bShowIconInFrontOfItemInTreeview = kept;
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->GetImageList(), nullptr);
    // The icon strip of the catalog: one image per 16-pixel cell.
    ASSERT_NE(App().m_catalog.IconStrip(), nullptr);
    EXPECT_EQ(tree->GetImages().GetImageCount(), App().m_catalog.IconStrip()->cellCount);
    EXPECT_GT(tree->GetImages().GetImageCount(), 8);
    doc->GetLevelView()->ShowTreeIcons(true);
    EXPECT_EQ(tree->GetImageList(), &tree->GetImages());
    doc->GetLevelView()->ShowTreeIcons(false);
    EXPECT_EQ(tree->GetImageList(), nullptr);
}

TEST_F(TreeTest, Tr4LevelHasFontAndSkyFourth) {
    test::FixtureOptions o;
    o.version = 4;
    std::string path = dir_.file("fixture.tr4");
    test::WriteFileBytes(path, test::BuildFixtureLevel(o).file);
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    auto top = Children(*tree, tree->GetRootItem());
    ASSERT_EQ(top.size(), 5u);
    EXPECT_EQ(Text(*tree, top[3]), "Font & sky");
    CHandleBase* tile = tree->GetNode(top[3]);
    EXPECT_EQ(tile->GetType(), HandleTypeTile);
    EXPECT_EQ(tile->GetObject(), &doc->m_level.miscChunk);
    EXPECT_FALSE(tree->ItemHasChildren(top[3]));
    EXPECT_EQ(tree->GetNode(top[4])->GetType(), HandleTypeSounds);
}

TEST_F(TreeTest, SelectionSwitchesPaneByKindAndCollectionsRepopulate) {
    CLithoscopeDoc* doc = Open(WriteSample("sample.tr2"));
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    CChildFrame* frame = doc->GetLevelView()->GetChildFrame();

    // A second static mesh, taken over from another level: the collection repopulates.
    CTrLevel other;
    ASSERT_TRUE(other.Load(WriteSample("other.tr2"), false, false));
    ASSERT_NE(other.FindStaticMesh(0), nullptr);
    auto* statics = static_cast<CHandleStaticMeshes*>(tree->m_pStaticMeshesNode);
    doc->SetModifiedFlag(false);
    statics->ImportNewStaticMeshFile(other.FindStaticMesh(0));
    EXPECT_TRUE(doc->IsModified());
    ASSERT_EQ(doc->m_level.staticMeshList.size(), 2u);
    auto meshes = Children(*tree, statics->GetItem());
    ASSERT_EQ(meshes.size(), 2u);
    EXPECT_EQ(tree->GetNode(meshes[1])->GetObject(), doc->m_level.staticMeshList[1].get());

    auto top = Children(*tree, tree->GetRootItem());
    tree->SelectItem(meshes[0]);
    EXPECT_EQ(frame->GetEditPane(), EditPaneMesh);
    CEditPaneBase* first = nullptr;
    frame->GetEditPane(&first);
    EXPECT_EQ(tree->GetCurrentNode(), tree->GetNode(meshes[0]));
    EXPECT_STREQ(tree->GetCurrentNode()->GetName(), "PLANT0");
    tree->SelectItem(meshes[1]);  // same type: the pane stays
    CEditPaneBase* second = nullptr;
    EXPECT_EQ(frame->GetEditPane(&second), EditPaneMesh);
    EXPECT_EQ(first, second);
    tree->SelectItem(Children(*tree, top[0])[0]);
    EXPECT_EQ(frame->GetEditPane(), EditPaneMoveable);
    tree->SelectItem(top[3]);
    EXPECT_EQ(frame->GetEditPane(), EditPaneSounds);
    tree->SelectItem(top[0]);
    EXPECT_EQ(frame->GetEditPane(), EditPaneEmpty);

    // A selected child deleted by a repopulation leaves no dangling node behind.
    tree->SelectItem(meshes[1]);
    tree->RepopulateExpandedCollections();
    EXPECT_TRUE(IsLiveNode(*tree, tree->GetCurrentNode()));
    EXPECT_TRUE(IsLiveNode(*tree, tree->m_pLastNode));
    meshes = Children(*tree, statics->GetItem());
    ASSERT_EQ(meshes.size(), 2u);
    tree->SelectItem(meshes[0]);
    EXPECT_EQ(tree->GetCurrentNode(), tree->GetNode(meshes[0]));
}

TEST_F(TreeTest, CatalogMenuBecomesWxMenu) {
    CatalogMenu menu;
    CatalogMenuEntry add;
    add.caption = "Add resource";
    add.submenu = std::make_unique<CatalogMenu>();
    CatalogMenuEntry lara;
    lara.caption = "Lara";
    lara.submenu = std::make_unique<CatalogMenu>();
    CatalogMenuEntry item0{"Lara from Caves", 0, nullptr};
    CatalogMenuEntry item1{"Lara from Colosseum", 1, nullptr};
    lara.submenu->entries.push_back(std::move(item0));
    lara.submenu->entries.push_back(std::move(item1));
    add.submenu->entries.push_back(std::move(lara));
    CatalogMenuEntry item2{"Wolf", 2, nullptr};
    add.submenu->entries.push_back(std::move(item2));
    menu.entries.push_back(std::move(add));

    std::unique_ptr<wxMenu> built(BuildCatalogMenu(menu));
    ASSERT_EQ(built->GetMenuItemCount(), 1u);
    wxMenuItem* top = built->FindItemByPosition(0);
    EXPECT_EQ(top->GetItemLabelText(), "Add resource");
    ASSERT_NE(top->GetSubMenu(), nullptr);
    wxMenu* sub = top->GetSubMenu();
    ASSERT_EQ(sub->GetMenuItemCount(), 2u);
    EXPECT_EQ(sub->FindItemByPosition(0)->GetItemLabelText(), "Lara");
    ASSERT_NE(sub->FindItemByPosition(0)->GetSubMenu(), nullptr);
    wxMenu* laraMenu = sub->FindItemByPosition(0)->GetSubMenu();
    ASSERT_EQ(laraMenu->GetMenuItemCount(), 2u);
    EXPECT_EQ(laraMenu->FindItemByPosition(1)->GetItemLabelText(), "Lara from Colosseum");
    EXPECT_EQ(laraMenu->FindItemByPosition(1)->GetId(), 1);
    EXPECT_EQ(sub->FindItemByPosition(1)->GetId(), 2);
    EXPECT_EQ(sub->FindItemByPosition(1)->GetItemLabelText(), "Wolf");
}

TEST_F(TreeTest, RootMenuAndAddResourceFailures) {
    CLithoscopeDoc* doc = Open(WriteSample("sample.tr2"));
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    auto* root = static_cast<CHandleRootTR123*>(tree->GetNode(tree->GetRootItem()));
    wxMenu* menu = root->CreateContextMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->FindItemByPosition(0)->GetItemLabelText(), "Add resource");
    root->ReleaseContextMenu();

    const int game = CGameCatalog::GameIndexFromVersion(doc->m_level.version);
    const ResourceMenuItem* item = App().m_catalog.FindResourceItem(game, 0);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->file, "ASSAULT.TR2");
    // Missing level file: one error naming the path.
    App().m_catalog.SetDataPath(game, dir_.path() + "/nowhere/");
    tree->m_pMenuNode = root;
    tree->OnCommand(0);
    EXPECT_TRUE(g_messages.Saw("Can't load the level"));
    EXPECT_TRUE(g_messages.Saw("ASSAULT.TR2 to get the data"));
    g_messages.clear();
    // A level without the item's moveables (0, 2, 3, 9): one line per missing object.
    App().m_catalog.SetDataPath(game, dir_.path() + "/");
    WriteSample("ASSAULT.TR2");
    tree->OnCommand(0);
    ASSERT_EQ(g_messages.shown().size(), 1u);
    EXPECT_EQ(g_messages.shown()[0].text,
              "Could not find moveable #0 in level ASSAULT.TR2\n"
              "Could not find moveable #2 in level ASSAULT.TR2\n"
              "Could not find moveable #3 in level ASSAULT.TR2\n"
              "Could not find moveable #9 in level ASSAULT.TR2\n");
    EXPECT_EQ(doc->m_level.moveableList.size(), 1u);
    // An unknown item number does nothing.
    g_messages.clear();
    tree->OnCommand(99999);
    EXPECT_TRUE(g_messages.shown().empty());
}

TEST_F(TreeTest, ExportAllWritesObjectFiles) {
    EXPECT_EQ(ExportAllFileName("/d", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", TrKindMoveable, 7),
              "/d/ABCDEFGHIJKLMNOPQRST_MVB007.trmvb");
    EXPECT_EQ(ExportAllFileName("/d", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", TrKindStaticMesh, 12),
              "/d/ABCDEFGHIJKLMNOPQRS_SMH012.trsmh");
    EXPECT_EQ(ExportAllFileName("/d", "short", TrKindSprite, 0), "/d/short_SPR000.trspr");

    CLithoscopeDoc* doc = Open(WriteSample("sample.tr2"));
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    const std::string out = dir_.path() + "/out";
    ASSERT_TRUE(wxFileName::Mkdir(out));
    std::vector<std::string> titles;
    SetFolderChooser([&](const std::string& title) {
        titles.push_back(title);
        return out;
    });
    const std::string name = doc->m_level.name;
    // Routed through the tree as a menu command of the node whose menu was shown.
    tree->m_pMenuNode = tree->m_pMoveablesNode;
    tree->OnCommand(CmdMoveablesExportAll | 0x10000);
    tree->m_pMenuNode = tree->m_pStaticMeshesNode;
    tree->OnCommand(CmdStaticMeshesExportAll);
    tree->m_pMenuNode = tree->m_pSpritesNode;
    tree->OnCommand(CmdSpritesExportAll);
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles[0], "Choose a folder to save the TRMVB in:");
    EXPECT_EQ(titles[1], "Choose a folder to save the TRSMH in:");
    EXPECT_EQ(titles[2], "Choose a folder to save the TRSPR in:");

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(out + "/" + name + "_MVB000.trmvb", bytes));
    EXPECT_EQ(bytes, doc->m_level.moveableList[0]->Serialize());
    auto mvb = CTrMvb::LoadFile(out + "/" + name + "_MVB000.trmvb");
    ASSERT_NE(mvb, nullptr);
    EXPECT_EQ(mvb->objectId, 67);
    auto smh = CTrStatMsh::LoadFile(out + "/" + name + "_SMH000.trsmh");
    ASSERT_NE(smh, nullptr);
    EXPECT_EQ(smh->objectId, 0);
    auto spr = CTrLstSpr::LoadFile(out + "/" + name + "_SPR000.trspr");
    ASSERT_NE(spr, nullptr);
    EXPECT_EQ(spr->objectId, 135);
    EXPECT_FALSE(FileExists(out + "/" + name + "_MVB001.trmvb"));
    EXPECT_TRUE(g_messages.shown().empty());

    // Cancel in the chooser: nothing is written.
    SetFolderChooser([](const std::string&) { return std::string(); });
    auto* moveables = static_cast<CHandleMoveables*>(tree->m_pMoveablesNode);
    EXPECT_FALSE(moveables->ExportAllMoveables());
}

}  // namespace

namespace {

TEST_F(TreeTest, AddResourceAppendsMissingObjects) {
    // A catalog of one "Add resource" item: moveable 67 and sprite 135 of SRC.TR2.
    test::TempDir catalog;
    test::WriteFileBytes(catalog.file("MenuResource.txt"),
                         [] {
                             std::string t = "[TR2]\n\t[Test]\nBlock:SRC.TR2:mvb_067;spr_135;mvb_068;\n";
                             return std::vector<uint8_t>(t.begin(), t.end());
                         }());
    App().m_catalog.Load(catalog.path());
    g_messages.clear();  // the missing TRCatalog.xml is reported
    CLithoscopeDoc* doc = Open(WriteSample("sample.tr2"));
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    const int game = CGameCatalog::GameIndexFromVersion(doc->m_level.version);
    App().m_catalog.SetDataPath(game, dir_.path() + "/");
    WriteSample("SRC.TR2");
    // The document loses its moveable and sprite; the collections follow.
    doc->m_level.moveableList.clear();
    doc->m_level.spriteList.clear();
    tree->RepopulateExpandedCollections();
    EXPECT_EQ(Children(*tree, tree->m_pMoveablesNode->GetItem()).size(), 0u);
    doc->SetModifiedFlag(false);

    auto* root = static_cast<CHandleRootTR123*>(tree->GetNode(tree->GetRootItem()));
    wxMenu* menu = root->CreateContextMenu();
    ASSERT_NE(menu, nullptr);
    wxMenu* add = menu->FindItemByPosition(0)->GetSubMenu();
    ASSERT_NE(add, nullptr);
    wxMenu* test = add->FindItemByPosition(0)->GetSubMenu();
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(test->FindItemByPosition(0)->GetItemLabelText(), "Block");
    const int id = test->FindItemByPosition(0)->GetId();
    EXPECT_EQ(id, 0);
    tree->m_pMenuNode = root;
    tree->OnCommand(id);
    root->ReleaseContextMenu();

    // 67 and 135 added; 68 is missing from SRC.TR2.
    ASSERT_EQ(g_messages.shown().size(), 1u);
    EXPECT_EQ(g_messages.shown()[0].text, "Could not find moveable #68 in level SRC.TR2\n");
    ASSERT_EQ(doc->m_level.moveableList.size(), 1u);
    EXPECT_EQ(doc->m_level.moveableList[0]->objectId, 67);
    ASSERT_EQ(doc->m_level.spriteList.size(), 1u);
    EXPECT_EQ(doc->m_level.spriteList[0]->objectId, 135);
    EXPECT_TRUE(doc->IsModified());
    auto moveables = Children(*tree, tree->m_pMoveablesNode->GetItem());
    ASSERT_EQ(moveables.size(), 1u);
    EXPECT_EQ(tree->GetNode(moveables[0])->GetObject(), doc->m_level.moveableList[0].get());
    EXPECT_EQ(Children(*tree, tree->m_pSpritesNode->GetItem()).size(), 1u);
}

TEST_F(TreeTest, ImportMoveableFileAddsSecondWithSameId) {
    CLithoscopeDoc* doc = Open(WriteSample("sample.tr2"));
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    const std::string file = dir_.file("block.trmvb");
    ASSERT_TRUE(doc->m_level.moveableList[0]->SaveFile(file));
    const std::string junk = dir_.file("junk.trmvb");
    test::WriteFileBytes(junk, std::vector<uint8_t>(40, 0x5A));

    std::string answer;
    std::vector<std::string> filters;
    OpenFileChooser previous = SetOpenFileChooser([&](const std::string& filter) {
        filters.push_back(filter);
        return answer;
    });
    tree->m_pMenuNode = tree->m_pMoveablesNode;
    // Cancel: nothing changes.
    tree->OnCommand(CmdMoveablesImportFile);
    EXPECT_EQ(doc->m_level.moveableList.size(), 1u);
    // A file that is no moveable: the version-mismatch error, nothing changes.
    answer = junk;
    tree->OnCommand(CmdMoveablesImportFile);
    EXPECT_TRUE(g_messages.Saw("Could not import this moveable because of a version mismatch"));
    EXPECT_EQ(doc->m_level.moveableList.size(), 1u);
    // The moveable's own file: a second moveable 67 at the end.
    answer = file;
    tree->OnCommand(CmdMoveablesImportFile);
    SetOpenFileChooser(previous);
    ASSERT_EQ(filters.size(), 3u);
    EXPECT_EQ(filters[0], "TR Moveable files (*.trmvb)|*.trmvb||");
    ASSERT_EQ(doc->m_level.moveableList.size(), 2u);
    EXPECT_EQ(doc->m_level.moveableList[1]->objectId, 67);
    EXPECT_EQ(doc->m_level.moveableList[1]->meshCount(), doc->m_level.moveableList[0]->meshCount());
    EXPECT_EQ(doc->m_level.moveableList[1]->meshCount(), 1u);  // the push block has one mesh
    auto children = Children(*tree, tree->m_pMoveablesNode->GetItem());
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(tree->GetNode(children[1])->GetObject(), doc->m_level.moveableList[1].get());
    EXPECT_EQ(Text(*tree, children[0]), Text(*tree, children[1]));
    // Unknown command ids do nothing.
    tree->OnCommand(12345);
    EXPECT_EQ(doc->m_level.moveableList.size(), 2u);
}

}  // namespace

namespace lithoscope {
namespace {

class DragTest : public TreeTest {};

TEST_F(DragTest, ObjectDropsChangeNothingAndOtherTypesAreRefused) {
    CLithoscopeDoc* a = Open(WriteSample("a.tr2"));
    CLithoscopeDoc* b = Open(WriteSample("b.tr2"));
    ASSERT_TRUE(a && b);
    CFileTree* ta = TreeOf(a);
    CFileTree* tb = TreeOf(b);
    auto first = [&](CFileTree& t, CHandleBase* collection) {
        return t.GetNode(Children(t, collection->GetItem()).at(0));
    };
    const test::ObjectImageMap beforeA = test::ObjectImages(a->m_level), beforeB = test::ObjectImages(b->m_level);
    // Moveables, static meshes and sprites onto their kind in the other level are dropped,
    // and ignored; onto themselves they are not dropped.
    g_messages.clear();
    for (CFileTree* to : {tb, ta}) {
        EXPECT_EQ(DropNodeOnto(first(*ta, ta->m_pMoveablesNode), first(*to, to->m_pMoveablesNode), to == ta), to == tb);
        EXPECT_EQ(DropNodeOnto(first(*ta, ta->m_pStaticMeshesNode), first(*to, to->m_pStaticMeshesNode), to == ta), to == tb);
        EXPECT_EQ(DropNodeOnto(first(*ta, ta->m_pSpritesNode), first(*to, to->m_pSpritesNode), to == ta), to == tb);
    }
    // A moveable's mesh onto a static mesh is of the same kind; a moveable onto a static
    // mesh is not.
    CHandleBase* moveable = first(*tb, tb->m_pMoveablesNode);
    moveable->Expand(moveable->GetItem());
    CHandleBase* mesh = tb->GetNode(Children(*tb, moveable->GetItem()).at(0));
    EXPECT_TRUE(DropNodeOnto(mesh, first(*tb, tb->m_pStaticMeshesNode), false));
    EXPECT_FALSE(DropNodeOnto(moveable, first(*ta, ta->m_pStaticMeshesNode), false));
    ASSERT_EQ(g_messages.shown().size(), 1u);
    EXPECT_EQ(g_messages.shown()[0].text, "Invalid operation !");
    EXPECT_FALSE(a->IsModified() || b->IsModified());
    EXPECT_TRUE(test::ObjectImages(a->m_level) == beforeA && test::ObjectImages(b->m_level) == beforeB);

    // The drop target's rules: the effect, and the scroll near the edges.
    EXPECT_EQ(DragEffect(true), wxDragMove);
    EXPECT_EQ(DragEffect(false), wxDragCopy);
    const wxRect r(0, 0, 200, 100);
    EXPECT_EQ(DragScrollStep(wxPoint(100, 90), r, 10), wxPoint(0, 1));
    EXPECT_EQ(DragScrollStep(wxPoint(5, 10), r, 10), wxPoint(-1, -1));
    EXPECT_EQ(DragScrollStep(wxPoint(195, 50), r, 10), wxPoint(1, 0));
    EXPECT_EQ(DragScrollStep(wxPoint(100, 50), r, 10), wxPoint(0, 0));
}

TEST_F(DragTest, NodeCommandsOfThisBuild) {
    CLithoscopeDoc* doc = Open(WriteSample("c.tr2"));
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    CTrLevel& level = doc->m_level;
    auto* moveable = dynamic_cast<CHandleMoveable*>(tree->GetNode(Children(*tree, tree->m_pMoveablesNode->GetItem()).at(0)));
    ASSERT_NE(moveable, nullptr);

    // The 3D Studio entries are there; menu ids come back as the commands.
    wxMenu* menu = moveable->CreateContextMenu();
    ASSERT_NE(menu->FindItem(WxCommand(32797)), nullptr);
    EXPECT_TRUE(menu->IsEnabled(WxCommand(32797)));
    EXPECT_TRUE(menu->IsEnabled(WxCommand(32841)));
    moveable->ReleaseContextMenu();
    EXPECT_EQ(ResourceCommand(WxCommand(32841)), 32841);
    EXPECT_EQ(ResourceCommand(7), 7);

    // "Export to Fairy": the animation picker (the animation chosen), then the file.
    const std::string fkeys = dir_.file("push.fkeys");
    SetSaveFileChooser([&](const SaveFileRequest& r) {
        EXPECT_EQ(r.filter, "Fairy files (*.fkeys)|*.fkeys");
        return fkeys;
    });
    SetModalDialogRunner([](wxDialog& d) {
        auto* picker = dynamic_cast<CExportMvbl*>(&d);
        EXPECT_NE(picker, nullptr);
        picker->WithAnimationBox()->SetValue(true);
        picker->OnWithAnimation();
        picker->OnExport();
        return int(wxID_OK);
    });
    tree->m_pMenuNode = moveable;
    tree->OnCommand(32841);
    SetSaveFileChooser(SaveFileChooser());
    std::vector<uint8_t> image;
    ASSERT_TRUE(BuildMoveableFkeys(level.moveableList[0].get(), 0, &image));
    EXPECT_EQ(test::ReadFileBytes(fkeys), image);

    // "Add resource" into an expanded moveable: its mesh children are made again.
    moveable->Expand(moveable->GetItem());
    ASSERT_EQ(Children(*tree, moveable->GetItem()).size(), 1u);
    CTrMvb donor(level.moveableList[0]->Serialize());
    moveable->ImportMoveableFile(&donor);
    ASSERT_EQ(Children(*tree, moveable->GetItem()).size(), level.moveableList[0]->meshCount());
    EXPECT_EQ(tree->GetNode(Children(*tree, moveable->GetItem())[0])->GetObject(), level.moveableList[0].get());

    // The sounds node hands itself to the sounds pane.
    CHandleBase* sounds = tree->GetNode(Children(*tree, tree->GetRootItem()).back());
    ASSERT_EQ(sounds->GetType(), HandleTypeSounds);
    tree->SelectItem(sounds->GetItem());
    CEditPaneBase* pane = nullptr;
    ASSERT_EQ(doc->GetLevelView()->GetChildFrame()->GetEditPane(&pane), EditPaneSounds);
    auto* soundPane = dynamic_cast<CEditSounds*>(pane);
    ASSERT_NE(soundPane, nullptr);
    EXPECT_EQ(soundPane->Model().Level(), &level);
    EXPECT_EQ(soundPane->Model().Used().size(), level.soundList ? level.soundList->size() : 0u);

    // F6 walks the focus from the level view to the edit pane and back.
    CChildFrame* frame = doc->GetLevelView()->GetChildFrame();
    tree->SetFocus();
    frame->ActivateNextPane(false);
    App().ProcessIdle();
    frame->ActivateNextPane(true);
    EXPECT_EQ(wxWindow::FindFocus(), tree);
}

}  // namespace
}  // namespace lithoscope
