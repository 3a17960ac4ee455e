#pragma once
// The fixture of the suites that drive the running editor by real X events: one display
// with a window manager per suite, the editor's events pumped while xdotool works, and the
// screen points of tree items.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <wx/app.h>

#include "E2eSession.h"
#include "EditorTestSupport.h"
#include "TestSupport.h"
#include "editor/common/WxMessageBackend.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/tree/LevelTree.h"

namespace lithoscope::test {

// Messages in real message boxes on the screen, their texts kept.
struct RealMessageBoxes : CWxMessageBackend {
    std::vector<std::string> texts;
    MsgAnswer Show(const MessageRequest& request) override {
        texts.push_back(request.text);
        return CWxMessageBackend::Show(request);
    }
};

class EditorEndToEnd : public EditorTest {
protected:
    static void SetUpTestSuite() { session_ = new XSession; }
    static void TearDownTestSuite() {
        delete session_;
        session_ = nullptr;
    }
    void SetUp() override {
        if (!session_->Usable()) GTEST_SKIP() << session_->Problem();
        EditorTest::SetUp();
        CMainFrame* main = App().GetMainFrame();
        main->SetSize(0, 0, 1024, 768);
        main->Raise();
        Pump(300);
    }

    static bool PumpUntil(const std::function<bool()>& done, int ms) { return test::PumpUntil(done, ms); }
    static void Pump(int ms) { test::Pump(ms); }
    static bool Drive(const std::string& words, const std::function<bool()>& done, int ms = 15000) {
        return test::Drive(*session_, words, done, ms);
    }
    // xdotool runs side by side to their ends, the editor pumping meanwhile (a run that
    // opens a modal window keeps the editor in that window's loop until another closes it).
    static void DriveAll(std::initializer_list<std::string> runs, int ms = 30000) {
        std::vector<pid_t> pids;
        for (const std::string& words : runs) pids.push_back(session_->XdoAsync(words));
        std::vector<bool> ended(pids.size(), false);
        PumpUntil(
            [&] {
                bool all = true;
                for (size_t i = 0; i < pids.size(); ++i) {
                    ended[i] = ended[i] || XSession::Finished(pids[i]);
                    all = all && ended[i];
                }
                return all;
            },
            ms);
    }
    static void DriveAll(const std::string& words, int ms = 30000) { DriveAll({words}, ms); }

    // Opens a level and lets its window settle.
    static CLithoscopeDoc* Open(const std::string& path) {
        CLithoscopeDoc* doc = EditorTest::Open(path);
        Pump(300);
        return doc;
    }
    static wxTreeItemId FirstChildItem(CFileTree& tree, CHandleBase* node) {
        wxTreeItemIdValue cookie;
        return node ? tree.GetFirstChild(node->GetItem(), cookie) : wxTreeItemId();
    }
    // The first child of item whose handler is taken (none: an invalid item).
    static wxTreeItemId FindChild(CFileTree& tree, const wxTreeItemId& item,
                                  const std::function<bool(CHandleBase*)>& take) {
        wxTreeItemIdValue cookie;
        wxTreeItemId c = tree.GetFirstChild(item, cookie);
        while (c.IsOk() && !take(tree.GetNode(c))) c = tree.GetNextChild(item, cookie);
        return c;
    }
    // The item of an object among the children of a node.
    static wxTreeItemId ItemOf(CFileTree& tree, CHandleBase* parent, const void* object) {
        return FindChild(tree, parent->GetItem(),
                         [object](CHandleBase* n) { return n && n->GetObject() == object; });
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
    static wxPoint Centre(const wxWindow* w) {
        const wxSize size = w->GetClientSize();
        return w->ClientToScreen(wxPoint(size.x / 2, size.y / 2));
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
    // Where a picture of the screen is kept: in $LITHOSCOPE_SHOTS when it is set (to look at
    // by eye), else in the test's folder.
    std::string ShotPath(const std::string& name) const {
        const char* shots = std::getenv("LITHOSCOPE_SHOTS");
        return shots ? std::string(shots) + "/" + name : dir_.file(name);
    }
    std::string Shot(const std::string& name) {
        const std::string path = ShotPath(name);
        EXPECT_TRUE(session_->Screenshot(path));
        return path;
    }
    // xdotool words that wait for a message box (the only window titled just "Lithoscope"),
    // take a picture of the screen into path and close the box by Return. (A key after the
    // search would go to the found window by a sent event, which GTK ignores.)
    static std::string ShootBoxThenReturn(const std::string& path) {
        return " sleep 1 search --sync --onlyvisible --name '^Lithoscope$' sleep 1 exec --sync --terminator END "
               "sh -c 'import -window root " + path + "; sleep 0.5; xdotool key Return' END";
    }
    // What the screen shows of a window, its picture kept as by Shot.
    ScreenImage ShotOf(const wxWindow* w, const std::string& name) {
        const ScreenImage all = XSession::ReadPng(Shot(name));
        ScreenImage part;
        const wxPoint at = w->GetScreenPosition();
        part.width = w->GetSize().x;
        part.height = w->GetSize().y;
        for (int y = 0; y < part.height; ++y)
            for (int x = 0; x < part.width; ++x) {
                const uint32_t c = all.At(at.x + x, at.y + y);
                part.rgb.insert(part.rgb.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
            }
        return part;
    }

    inline static XSession* session_ = nullptr;
};

}  // namespace lithoscope::test
