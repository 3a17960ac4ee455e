// Open and save of levels through the document: the level's load and save, the save
// dialog, the saving flag, the modified flag and the path after success, failure and Cancel.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/filehistory.h>

#include "TestSupport.h"
#include "EditorTestSupport.h"
#include "editor/shell/ChildFrame.h"
#include "editor/dialogs/DlgLevelProgress.h"
#include "editor/shell/EditorMain.h"
#include "editor/shell/LithoscopeApp.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/common/ModalHook.h"
#include "batch/AppSettings.h"
#include "fixtures/LevelBuilder.h"
#include "level/LevelProgress.h"
#include "level/TrLevel.h"
#include "platform/Files.h"
#include "platform/Messages.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {




// A tree that saves as the real one does and records how it was asked.
struct RecordingTree : ILevelTree {
    RecordingTree(wxWindow* parent, CTrLevel& level) : level(level), window(new wxWindow(parent, wxID_ANY)) {
        window->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& e) {
            e.Skip();
            if (e.GetWindow() == window) {
                if (live == this) live = nullptr;
                delete this;
            }
        });
        live = this;
    }
    wxWindow* GetWindow() override { return window; }
    void BuildRoot() override { ++roots; }
    bool SaveLevel(const std::string& path) override {
        savingFlagSeen = g_bSavingLevel;
        ++saves;
        return SaveLevelFile(level, path);
    }
    void ShowIcons(bool) override {}
    void RepopulateExpandedCollections() override { ++repopulated; }

    CTrLevel& level;
    wxWindow* window;
    int roots = 0, saves = 0, repopulated = 0;
    bool savingFlagSeen = false;
    static RecordingTree* live;
};
RecordingTree* RecordingTree::live = nullptr;

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousTree_ = SetLevelTreeFactory([](wxWindow* parent, CChildFrame*, CTrLevel& level,
                                               ILevelDocument*) -> ILevelTree* {
            return new RecordingTree(parent, level);
        });
        // Count the progress windows the level library opens.
        previousProgress_ = SetLevelProgressFactory([this](const std::string& kind, const std::string& title)
                                                        -> std::unique_ptr<ILevelProgress> {
            windows_.push_back(kind + ":" + title);
            return std::make_unique<CLevelProgressWindow>(kind == "save", title);
        });
        g_messages.clear();
    }
    void TearDown() override {
        App().GetDocManager()->CloseDocuments(true);
        App().ProcessIdle();
        SetLevelTreeFactory(previousTree_);
        SetLevelProgressFactory(previousProgress_);
        SetSaveFileChooser(SaveFileChooser());
        g_messages.clear();
    }
    std::string WriteFixture(const std::string& name, const test::FixtureOptions& o) {
        const std::string path = dir_.file(name);
        test::WriteFileBytes(path, test::BuildFixtureLevel(o).file);
        return path;
    }
    CLithoscopeDoc* Open(const std::string& path) {
        return dynamic_cast<CLithoscopeDoc*>(App().GetDocManager()->CreateDocument(path, wxDOC_SILENT));
    }

    test::TempDir dir_;
    std::vector<std::string> windows_;
    LevelTreeFactory previousTree_;
    LevelProgressFactory previousProgress_;
};

test::FixtureOptions Version(int v) {
    test::FixtureOptions o;
    o.version = v;
    return o;
}

}  // namespace

TEST_F(DocumentTest, OpenALevel) {
    const std::string path = WriteFixture("city.tr2", Version(2));
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->m_bLoaded);
    EXPECT_EQ(doc->m_level.version, 2);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPath(), path);
    EXPECT_EQ(doc->GetTitle(), "city.tr2");
    // The load showed its progress window; the tree was built once.
    ASSERT_EQ(windows_.size(), 1u);
    EXPECT_EQ(windows_[0].substr(0, 5), "load:");
    ASSERT_NE(RecordingTree::live, nullptr);
    EXPECT_EQ(RecordingTree::live->roots, 1);
    EXPECT_EQ(doc->GetLevelView()->GetChildFrame()->GetLargeIcon(), kDocumentIcon);
    // The recent files start with it.
    wxFileHistory* history = App().GetDocManager()->GetFileHistory();
    ASSERT_GT(history->GetCount(), 0u);
    EXPECT_EQ(history->GetHistoryFile(0), path);
}

TEST_F(DocumentTest, FailedOpenDiscardsTheDocument) {
    // Not a level: the load fails and tells the user; no document stays.
    const std::string junk = dir_.file("junk.phd");
    test::WriteFileBytes(junk, std::vector<uint8_t>(64, 0x11));
    EXPECT_EQ(Open(junk), nullptr);
    App().ProcessIdle();
    EXPECT_EQ(App().GetDocManager()->GetDocuments().GetCount(), 0u);
    EXPECT_FALSE(g_messages.shown().empty());
    g_messages.clear();
    EXPECT_EQ(Open(dir_.file("missing.tr2")), nullptr);
    EXPECT_EQ(App().GetDocManager()->GetDocuments().GetCount(), 0u);
}

TEST_F(DocumentTest, TrailingDataGivesTheOtherIcon) {
    test::FixtureOptions o = Version(4);
    o.trailing = {1, 2, 3, 4, 5};
    CLithoscopeDoc* doc = Open(WriteFixture("trail.tr4", o));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetLevelView()->GetChildFrame()->GetLargeIcon(), kTrailingDataIcon);
}

TEST_F(DocumentTest, SaveUnderANewName) {
    const std::string path = WriteFixture("orig.phd", Version(1));
    const std::vector<uint8_t> original = test::ReadFileBytes(path);
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    CChildFrame* frame = doc->GetLevelView()->GetChildFrame();
    frame->SetEditPane(EditPaneMesh);
    doc->SetModifiedFlag(true);

    const std::string target = dir_.file("copy.phd");
    std::string offered;
    SetSaveFileChooser([&](const SaveFileRequest& r) {
        offered = r.initialPath;
        EXPECT_EQ(r.filter, kSaveFilter);
        return target;
    });
    g_messages.Answer(MsgAnswer::Yes);  // keep the unused textures, should it ask
    windows_.clear();
    EXPECT_TRUE(doc->Save());  // Save is a Save As: the dialog shows the current path
    EXPECT_EQ(offered, path);
    ASSERT_NE(RecordingTree::live, nullptr);
    EXPECT_EQ(RecordingTree::live->saves, 1);
    EXPECT_TRUE(RecordingTree::live->savingFlagSeen);
    EXPECT_FALSE(g_bSavingLevel);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPath(), target);
    EXPECT_EQ(doc->GetTitle(), "copy.phd");
    EXPECT_EQ(frame->GetEditPane(), EditPaneEmpty);
    EXPECT_EQ(RecordingTree::live->repopulated, 1);
    ASSERT_EQ(windows_.size(), 1u);
    EXPECT_EQ(windows_[0].substr(0, 5), "save:");
    // The new file is a level of the same version; the old one is untouched.
    CTrLevel again;
    EXPECT_TRUE(again.Load(target, true, false));
    EXPECT_EQ(again.version, 1);
    EXPECT_EQ(test::ReadFileBytes(path), original);
    EXPECT_EQ(App().GetDocManager()->GetFileHistory()->GetHistoryFile(0), target);
}

TEST_F(DocumentTest, CancelledAndFailedSavesKeepTheDocumentModified) {
    const std::string path = WriteFixture("keep.tr2", Version(3));
    const std::vector<uint8_t> original = test::ReadFileBytes(path);
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    doc->SetModifiedFlag(true);

    // Cancel: nothing written, still modified, same path.
    SetSaveFileChooser([](const SaveFileRequest&) { return std::string(); });
    EXPECT_FALSE(doc->SaveAs());
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetPath(), path);
    EXPECT_EQ(RecordingTree::live->saves, 0);

    // A folder that doesn't exist: the save fails, the user is told, nothing changes.
    SetSaveFileChooser([&](const SaveFileRequest&) { return dir_.file("no/such/folder/x.tr2"); });
    g_messages.clear();
    EXPECT_FALSE(doc->Save());
    EXPECT_FALSE(g_bSavingLevel);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetPath(), path);
    EXPECT_EQ(RecordingTree::live->repopulated, 0);

    // Over the user's own file with the write failing at the rename: the file is intact.
    SetSaveFileChooser([&](const SaveFileRequest&) { return path; });
    SetSafeWriteFault(SafeWriteFault::Rename);
    EXPECT_FALSE(doc->Save());
    SetSafeWriteFault(SafeWriteFault::None);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(test::ReadFileBytes(path), original);

    // Closing asks first; Cancel keeps the document, No lets it go unsaved.
    g_messages.clear();
    g_messages.Answer(MsgAnswer::Cancel);
    EXPECT_FALSE(doc->OnSaveModified());
    ASSERT_EQ(g_messages.shown().size(), 1u);
    EXPECT_EQ(g_messages.shown()[0].text, "Save changes to keep.tr2?");
    EXPECT_EQ(g_messages.shown()[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_TRUE(doc->IsModified());
    // Yes with a cancelled save dialog: the close stops, the edits stay.
    SetSaveFileChooser([](const SaveFileRequest&) { return std::string(); });
    g_messages.Answer(MsgAnswer::Yes);
    EXPECT_FALSE(doc->OnSaveModified());
    EXPECT_TRUE(doc->IsModified());
    g_messages.Answer(MsgAnswer::No);
    EXPECT_TRUE(doc->OnSaveModified());
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(DocumentTest, RealLevelsOpenAndUnsupportedAreRefused) {
    const auto levels = test::RealLevelFiles();
    if (levels.empty()) GTEST_SKIP() << "no real levels";
    int opened = 0;
    for (const auto& l : levels) {
        if (opened >= 3 && !l.unsupported) continue;  // a few are enough for the window side
        g_messages.clear();
        CLithoscopeDoc* doc = Open(l.path);
        if (l.unsupported) {
            EXPECT_EQ(doc, nullptr) << l.path;
        } else if (doc) {
            EXPECT_TRUE(doc->m_bLoaded);
            ++opened;
        }
        App().GetDocManager()->CloseDocuments(true);
        App().ProcessIdle();
    }
    EXPECT_GT(opened, 0);
}

TEST_F(DocumentTest, AnyFileNameReachesTheLoaderAndRecentFilesAreWrittenAtOnce) {
    // A level under an unknown extension, in upper case, opens; what is no level gets the
    // loader's own message (through the message layer, never a box of the toolkit).
    const std::string odd = WriteFixture("CITY.TRC", Version(2));
    CLithoscopeDoc* doc = Open(odd);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->m_level.version, 2);
    EXPECT_EQ(LoadRecentFiles().front(), odd);  // written when the list changed
    App().GetDocManager()->CloseDocuments(true);
    const std::string junk = dir_.file("notes.TRC");
    test::WriteFileBytes(junk, std::vector<uint8_t>(64, 0x41));
    g_messages.clear();
    EXPECT_EQ(Open(junk), nullptr);
    ASSERT_EQ(g_messages.shown().size(), 1u);
    EXPECT_EQ(g_messages.shown()[0].icon, MsgIcon::Error);

    // File Open goes through the open chooser with the levels' filter; the dialog's own
    // wildcard takes any case and offers every file.
    std::string filter;
    SetOpenFileChooser([&](const std::string& f) {
        filter = f;
        return odd;
    });
    App().GetDocManager()->CreateDocument(wxString(), 0);
    SetOpenFileChooser(OpenFileChooser());
    EXPECT_EQ(filter, kOpenFilter);
    EXPECT_EQ(App().GetDocManager()->GetDocuments().GetCount(), 1u);
    EXPECT_EQ(FileDialogWildcard("TR Moveable files (*.trmvb)|*.trmvb||"),
              "TR Moveable files (*.trmvb)|*.[tT][rR][mM][vV][bB]|All files (*)|*");
    EXPECT_EQ(FileDialogWildcard(kOpenFilter),
              "Tomb Raider Files (*.phd,*.tub;*.tr2;*.tr4)|*.[pP][hH][dD];*.[tT][uU][bB];*.[tT][rR]2;"
              "*.[tT][rR]4|All files (*)|*");
}

TEST_F(DocumentTest, SaveAsRenamesTheWindowsAndNewWindowSharesTheDocument) {
    CLithoscopeDoc* doc = Open(WriteFixture("first.tr2", Version(2)));
    ASSERT_NE(doc, nullptr);
    CMainFrame* main = App().GetMainFrame();
    // A second window on the same document.
    main->OnWindowNew();
    ASSERT_EQ(doc->GetViews().GetCount(), 2u);
    const std::string renamed = dir_.file("second.tr2");
    SetSaveFileChooser([&](const SaveFileRequest&) { return renamed; });
    ASSERT_TRUE(doc->Save());
    for (wxObject* v : doc->GetViews()) {
        auto* view = dynamic_cast<CLithoscopeView*>(v);
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->GetChildFrame()->GetTitle(), "second.tr2");
    }
    main->UpdateIndicators();
    EXPECT_EQ(main->GetTitle(), MainFrameTitle("second.tr2"));
    EXPECT_EQ(LoadRecentFiles().front(), renamed);
    // Closing one window keeps the document open in the other.
    auto* first = dynamic_cast<CLithoscopeView*>(doc->GetFirstView());
    first->GetChildFrame()->Close(true);
    App().ProcessIdle();
    ASSERT_EQ(App().GetDocManager()->GetDocuments().GetCount(), 1u);
    EXPECT_EQ(doc->GetViews().GetCount(), 1u);
    EXPECT_TRUE(doc->m_bLoaded);
    EXPECT_EQ(doc->m_level.version, 2);
    // The lock-key panes show their names only while on.
    EXPECT_STREQ(LockIndicatorText(1, true), "CAP");
    EXPECT_STREQ(LockIndicatorText(3, true), "SCRL");
    EXPECT_STREQ(LockIndicatorText(2, false), "");
}
