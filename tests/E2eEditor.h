#pragma once
// The in-process editor of a suite driven by real X events: one XSession (display with
// openbox) for the suite, the main frame in front at a known size, and helpers to pump
// the editor while xdotool works, to open levels and to find tree items on the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <wx/app.h>

#include "E2eSession.h"
#include "EditorTestSupport.h"
#include "TestSupport.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/shell/ModalHook.h"
#include "editor/tree/LevelTree.h"

namespace lithoscope::test {

class EditorEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { session_ = new XSession; }
    static void TearDownTestSuite() {
        delete session_;
        session_ = nullptr;
    }
    void SetUp() override {
        if (!session_->Usable()) GTEST_SKIP() << session_->Problem();
        g_messages.clear();
        App().m_catalog.Load(std::string(LITHOSCOPE_SOURCE_DIR) + "/resources/catalog");
        CMainFrame* main = App().GetMainFrame();
        main->SetSize(0, 0, 1024, 768);
        main->Raise();
        Pump(300);
    }
    void TearDown() override {
        SetOpenFileChooser(OpenFileChooser());
        App().GetDocManager()->CloseDocuments(true);
        App().ProcessIdle();
        g_messages.clear();
    }

    // Runs the editor's events until done() holds or the time is up.
    static bool PumpUntil(const std::function<bool()>& done, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            wxTheApp->Yield(true);
            wxTheApp->ProcessIdle();
            if (done()) return true;
            wxMilliSleep(20);
        }
        return done();
    }
    static void Pump(int ms) { PumpUntil([] { return false; }, ms); }
    // Runs xdotool in the background while the editor goes on handling what it does.
    static bool Drive(const std::string& words, const std::function<bool()>& done, int ms = 15000) {
        const pid_t pid = session_->XdoAsync(words);
        EXPECT_GT(pid, 0);
        const bool ok = PumpUntil([&] { return XSession::Finished(pid) && done(); }, ms);
        if (!XSession::Finished(pid)) PumpUntil([&] { return XSession::Finished(pid); }, 5000);
        return ok;
    }
    // xdotool runs side by side to their ends, the editor pumping meanwhile (a run that
    // opens a modal window keeps the editor in that window's loop until another closes it).
    static void DriveAll(std::initializer_list<std::string> runs, int ms = 30000) {
        std::vector<pid_t> pids;
        for (const std::string& words : runs) pids.push_back(session_->XdoAsync(words));
        PumpUntil([&] { return std::all_of(pids.begin(), pids.end(), XSession::Finished); }, ms);
    }
    static void DriveAll(const std::string& words, int ms = 30000) { DriveAll({words}, ms); }

    CLithoscopeDoc* Open(const std::string& path) {
        auto* doc = dynamic_cast<CLithoscopeDoc*>(App().GetDocManager()->CreateDocument(path, wxDOC_SILENT));
        Pump(300);
        return doc;
    }
    static CFileTree* TreeOf(CLithoscopeDoc* doc) {
        return doc && doc->GetLevelView() ? dynamic_cast<CFileTree*>(doc->GetLevelView()->GetTree())
                                          : nullptr;
    }
    static wxTreeItemId FirstChildItem(CFileTree& tree, CHandleBase* node) {
        wxTreeItemIdValue cookie;
        return node ? tree.GetFirstChild(node->GetItem(), cookie) : wxTreeItemId();
    }
    // Screen point of an item's text, made visible first.
    static wxPoint ScreenPoint(CFileTree& tree, const wxTreeItemId& item) {
        tree.EnsureVisible(item);
        Pump(200);
        wxRect rect;
        tree.GetBoundingRect(item, rect, true);
        return tree.ClientToScreen(wxPoint(rect.GetLeft() + std::min(12, rect.GetWidth() / 2),
                                           rect.GetTop() + rect.GetHeight() / 2));
    }
    static std::string At(const wxPoint& p) {
        return "mousemove " + std::to_string(p.x) + " " + std::to_string(p.y);
    }
    // xdotool words of a drag resting on each place of the tab strip above the trees in
    // turn, so that every window's tab comes to the front once.
    static std::string OverTabStrip() {
        const wxWindow* client = App().GetMainFrame()->GetClientWindow();
        const wxPoint strip = client->ClientToScreen(wxPoint(0, 12));
        std::string words;
        for (int x = 20; x <= 400; x += 40) words += " " + At(wxPoint(strip.x + x, strip.y)) + " sleep 0.7";
        return words;
    }
    std::string Shot(const std::string& name) {
        const std::string path = dir_.file(name);
        EXPECT_TRUE(session_->Screenshot(path));
        return path;
    }

    static XSession* session_;
    TempDir dir_;
};
inline XSession* EditorEndToEnd::session_ = nullptr;

}  // namespace lithoscope::test
