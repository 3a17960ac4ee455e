#pragma once
// The one editor of a GUI suite: started once as from a command line without words, with
// scripted messages, wx assertions as test failures and no modal dialog allowed.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/utils.h>

#include "E2eSession.h"

#include "TestSupport.h"
#include "editor/common/ModalHook.h"
#include "editor/shell/EditorMain.h"
#include "editor/shell/LithoscopeApp.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/tree/LevelTree.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope::test {

inline ScriptedMessageBackend g_messages;

inline void FailOnAssert(const wxString& file, int line, const wxString& func,
                         const wxString& cond, const wxString& msg) {
    ADD_FAILURE() << "wx assertion " << cond.utf8_str().data() << " " << msg.utf8_str().data()
                  << " at " << file.utf8_str().data() << ":" << line;
}

// One editor for the whole suite, started as from a command line without words.
class EditorEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        config_ = std::make_unique<ScopedConfigDir>();
        SetMessageBackend(&g_messages);
        wxSetAssertHandler(&FailOnAssert);
        static char arg0[] = "lithoscope";
        static char* argv[] = {arg0, nullptr};
        ASSERT_TRUE(StartEditorInProcess(1, argv));
        SetModalDialogRunner([](wxDialog& d) {
            ADD_FAILURE() << "unexpected modal dialog " << d.GetTitle().utf8_str().data();
            return int(wxID_CANCEL);
        });
    }
    void TearDown() override {
        StopEditorInProcess();
        SetMessageBackend(nullptr);
        config_.reset();
    }

private:
    std::unique_ptr<ScopedConfigDir> config_;
};
inline ::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new EditorEnvironment);

inline CLithoscopeApp& App() { return CLithoscopeApp::Get(); }

// Runs the editor's events until done() holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        wxTheApp->Yield(true);
        wxTheApp->ProcessIdle();
        if (done()) return true;
        wxMilliSleep(20);
    }
    return done();
}
inline void Pump(int ms) { PumpUntil([] { return false; }, ms); }

// Runs xdotool in the background while the editor goes on handling what it does, until
// xdotool has ended and done() holds. A run is reaped once: its end is remembered.
inline bool Drive(const XSession& session, const std::string& words, const std::function<bool()>& done,
                  int ms = 15000) {
    const pid_t pid = session.XdoAsync(words);
    EXPECT_GT(pid, 0);
    bool finished = false;
    const bool ok = PumpUntil(
        [&] {
            finished = finished || XSession::Finished(pid);
            return finished && done();
        },
        ms);
    if (!finished) PumpUntil([&] { return XSession::Finished(pid); }, 5000);
    return ok;
}

// What every editor fixture shares: the catalog loaded and no message left from before; at
// the end every document closed, the file and folder choosers given back, no message left.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_messages.clear();
        App().m_catalog.Load(std::string(LITHOSCOPE_SOURCE_DIR) + "/resources/catalog");
    }
    void TearDown() override {
        App().GetDocManager()->CloseDocuments(true);
        App().ProcessIdle();
        SetOpenFileChooser(OpenFileChooser());
        SetSaveFileChooser(SaveFileChooser());
        SetFolderChooser(FolderChooser());
        g_messages.clear();
    }

    static CLithoscopeDoc* Open(const std::string& path) {
        return dynamic_cast<CLithoscopeDoc*>(App().GetDocManager()->CreateDocument(path, wxDOC_SILENT));
    }
    static CFileTree* TreeOf(CLithoscopeDoc* doc) {
        return doc && doc->GetLevelView() ? dynamic_cast<CFileTree*>(doc->GetLevelView()->GetTree())
                                          : nullptr;
    }

    TempDir dir_;
};

// The object-file image of every moveable, static mesh and sprite list, by kind and id.
using ObjectImageMap = std::map<std::string, std::vector<uint8_t>>;
inline ObjectImageMap ObjectImages(const CTrLevel& level) {
    ObjectImageMap images;
    for (const auto& m : level.moveableList) images["moveable " + std::to_string(m->objectId)] = m->Serialize();
    for (const auto& s : level.staticMeshList) images["static " + std::to_string(s->objectId)] = s->Serialize();
    for (const auto& s : level.spriteList) images["sprite " + std::to_string(s->objectId)] = s->Serialize();
    return images;
}

}  // namespace lithoscope::test
