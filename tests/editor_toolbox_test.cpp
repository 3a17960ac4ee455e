// Toolbox page logic on the objects of real levels (no display needed): every page's edits
// survive a save and a reload, and values out of range are refused with their message.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "batch/CmdLine.h"
#include "editor/toolbox/TlboxMeshLogic.h"
#include "editor/toolbox/TlboxMoveableAnimLogic.h"
#include "editor/toolbox/TlboxMoveableCmdLogic.h"
#include "editor/toolbox/TlboxMoveableMainLogic.h"
#include "editor/toolbox/TlboxMoveableStChLogic.h"
#include "editor/toolbox/TlboxSpriteLogic.h"
#include "editor/toolbox/ToolboxBinding.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"
#include "tests/TestSupport.h"

namespace lithoscope {
namespace {

using Calls = std::vector<std::string>;

// The pane windows as the pages see them: every call recorded; playback starts on the
// moveable's manager and is reported to the Animation page, as the real window does.
struct FakeWindow : IAnimPlayback, ITlboxMoveableDisplay, ITlboxMeshDisplay, ITlboxSpriteDisplay {
    CTlboxMoveableAnimLogic* page = nullptr;
    CAnimMgr* mgr = nullptr;
    Calls calls;

    void Call(const char* what, double v) { calls.push_back(StrFormat("%s %g", what, v)); }
    bool Called(const std::string& c) const {
        return std::find(calls.begin(), calls.end(), c) != calls.end();
    }
    void StartAnimPlayback(int i) override {
        Call("start", i);
        if (i < 0 || !mgr || !page) return;
        mgr->SetAnimation(uint32_t(i), 0);
        const CAnimTrack* t = mgr->CurrentTrack();
        int next = 0, frame = 0;
        mgr->GetNext(&next, &frame, -1);
        page->SetAnim(i);
        page->SetFrame(0, int(t->frameCount));
        page->SetKey(0, t->keyCount());
        page->SetFramerate(int(t->interval));
        page->SetNext(next, frame);
    }
    void SetAnimFrame(int f) override { Call("frame", f); }
    void SetAnimKey(int k) override { Call("key", k); }
    void SetAnimFraction(float v) override { Call("fraction", v); }
    void StepAnimation(int s) override { Call("step", s); }
    void SetReplaySpeed(float x) override { Call("speed", x); }
    void SetChainAnimations(bool c, bool r) override { Call(r ? "chain+restart" : "chain", c); }
    void SetInterpolate(bool on) override { Call("interpolate", on); }
    void SetAutomaticPlayback(bool on) override { Call("automatic", on); }
    void SetCaption(const std::string& t) override { calls.push_back("caption " + t); }
    void SetItemOptions(int i, bool m, bool a) override { Call("items", i * 100 + m * 10 + a); }
    void SetShowBoundingBoxes(bool on) override { Call("boxes", on); }
    void InvalidateView() override { calls.push_back("invalidate"); }
    void SetShowCollisionSphere(bool on) override { Call("sphere", on); }
    void SetShowVertices(bool on) override { Call("vertices", on); }
    void SetShowVisibilityBox(bool on) override { Call("visibility box", on); }
    void SetVisibilityBoxEdit(bool on) override { Call("visibility edit", on); }
    void SetShowCollisionBox(bool on) override { Call("collision box", on); }
    void SetCollisionBoxEdit(bool on) override { Call("collision edit", on); }
    void SetSpriteDisplayMode(bool a) override { Call("animated", a); }
    void SetSpriteRate(float r) override { Call("rate", r); }
    void SetSpriteBorder(bool on) override { Call("border", on); }
    void SetSpriteRowWidth(float w) override { Call("width", w); }
};

using Quiet = test::QuietMessages;

std::vector<std::string> SupportedLevels() {
    std::vector<std::string> out;
    for (const test::RealLevel& l : test::RealLevelFiles())
        if (!l.unsupported) out.push_back(l.path);
    return out;
}

// A moveable worth editing: 3 animations or more, the second one of 12 frames or more.
int PickMoveable(const CTrLevel& level) {
    for (size_t i = 0; i < level.moveableList.size(); ++i) {
        const CTrMvb& m = *level.moveableList[i];
        if (m.animationCount() >= 3 && m.GetTrack(1)->frameCount >= 12 && !m.meshes.empty())
            return int(i);
    }
    return -1;
}

// A real mesh with textured faces of both kinds.
int PickMesh(const CTrLstMsh& list) {
    for (size_t i = 0; i < list.meshes.size(); ++i) {
        const TrMeshRecord& m = list.meshes[i];
        if (!m.dummy && !m.vertices.empty() && !m.texturedTriangles.empty() &&
            !m.texturedRectangles.empty())
            return int(i);
    }
    return -1;
}

int32_t UnusedObjectId(const CTrLevel& level) {
    int32_t top = 0;
    for (const auto& m : level.moveableList) top = std::max(top, m->objectId);
    for (const auto& s : level.spriteList) top = std::max(top, s->objectId);
    return top + 1;
}

// The first supported real level pick accepts; null when none does.
std::unique_ptr<CTrLevel> LevelWith(Quiet& quiet, const std::function<bool(CTrLevel&)>& pick) {
    for (const std::string& path : SupportedLevels()) {
        auto level = std::make_unique<CTrLevel>();
        if (level->Load(path, false, false) && pick(*level)) {
            quiet.messages.clear();
            return level;
        }
    }
    return nullptr;
}

// What the moveable pages edit in a track, as text.
std::string Describe(const CTRAnimTrack& t) {
    std::string s = StrFormat("state %d speed %d %d accel %g;", int(t.stateId), int(t.speedLow),
                              int(t.speedHigh), double(t.acceleration));
    for (const CTRStateChange& c : t.stateChanges)
        for (const TrStateChangeRange& r : c.ranges)
            s += StrFormat(" %d:%d-%d>%d.%d", int(c.stateId), int(r.lowFrame), int(r.highFrame),
                           int(r.nextAnim), int(r.nextFrame));
    s += ";";
    for (const TrAnimCommand& c : t.commands) {
        s += StrFormat(" (%d", int(c.code));
        for (unsigned k = 0; k < c.operandCount && k < 4; ++k)
            s += StrFormat(" %d", int(c.operands[k]));
        s += ")";
    }
    return s;
}

std::string DescribeStatic(const CTrStatMsh& s) {
    const BoundingBox& v = s.visibilityBox;
    const BoundingBox& c = s.collisionBox;
    return StrFormat("id %d flags %d vis %g..%g col %g..%g", int(s.objectId), int(s.flags),
                     double(v.min.x), double(v.max.x), double(c.min.y), double(c.max.y));
}

TEST(ToolboxRealLevels, EveryPageEditSurvivesSaveAndReload) {
    const std::vector<std::string> levels = SupportedLevels();
    if (levels.empty()) GTEST_SKIP() << "no real levels";
    Quiet quiet;
    test::TempDir dir;
    int statics = 0, meshes = 0, moveables = 0, sprites = 0, sounds = 0;
    for (const std::string& path : levels) {
        SCOPED_TRACE(path);
        CTrLevel level;
        ASSERT_TRUE(level.Load(path, false, false));
        quiet.messages.clear();
        int modified = 0;
        auto count = [&modified] { ++modified; };
        FakeWindow window;

        // Mesh page on a static mesh: object id, both flags, one axis of each box.
        std::string staticAfter;
        if (!level.staticMeshList.empty()) {
            CTrStatMsh& st = *level.staticMeshList[0];
            CTlboxMeshLogic page;
            page.SetModifiedHandler(count);
            page.Bind(&st, 0, true, &level, "Static", &window);
            page.Update(true);
            page.SetObjectIdText(std::to_string(st.objectId + 1000));
            page.SetNonCollisionable((st.flags & 1) == 0);
            page.SetVisible((st.flags & 2) == 0);
            page.SetBoxSizeText(TlboxVisibilityBox, 0,
                                std::to_string(page.BoxSize(0, 0) / 2 * 2 + 10));
            page.SetBoxSizeText(TlboxCollisionBox, 1,
                                std::to_string(page.BoxSize(1, 1) / 2 * 2 + 4));
            staticAfter = DescribeStatic(st);
            ++statics;
        }

        const int mi = PickMoveable(level);
        CTrMvb* mvb = mi >= 0 ? level.moveableList[size_t(mi)].get() : nullptr;
        const int meshIndex = mvb ? PickMesh(*mvb) : -1;
        TrMeshRecord meshAfter;
        std::string trackAfter;
        int32_t moveableId = UnusedObjectId(level) + 1;
        uint32_t nextFrames = 0;
        int sound = -1;
        if (meshIndex >= 0) {
            // Mesh page on a moveable's mesh: radius, lighting, intensity, intensity alpha.
            CTlboxMeshLogic page;
            page.SetModifiedHandler(count);
            page.Bind(mvb, meshIndex, false, &level, "Mesh", &window);
            page.Update(true);
            page.SetRadiusText(std::to_string(page.Radius() + 7));
            page.ToggleLighting();
            page.SetIntensity(37);
            page.SetIntensityAlpha(true);
            TrMeshRecord::Copy(mvb->meshes[size_t(meshIndex)], meshAfter);
            ++meshes;
        }
        if (mvb) {
            CTlboxMoveableMainLogic main;
            main.SetModifiedHandler(count);
            main.Bind(mvb, "Moveable", &window);
            main.Update(true);
            main.SetObjectIdText(std::to_string(moveableId));

            // Animation page on the second animation: state id, speeds, next animation.
            CTlboxMoveableAnimLogic anim;
            anim.SetModifiedHandler(count);
            window.page = &anim;
            window.mgr = mvb->animations.get();
            anim.Bind(mvb, &window);
            anim.Update(true);
            anim.SelectAnimation(2);
            CTRAnimTrack* track = mvb->GetTrack(1);
            anim.SetStateIdText(std::to_string((track->stateId + 1) & 0xFFFF));
            anim.SetSpeedHighText("5");
            anim.ToggleHex();
            anim.SetSpeedLowText("8000");
            anim.SetAccelerationText("1.5");
            anim.SetNextAnimText("3");
            nextFrames = mvb->GetTrack(2)->frameCount;
            anim.SetNextFrameText(std::to_string(nextFrames));

            // State changes: a range added, then moved to state 77 over the whole animation.
            CTlboxMoveableStChLogic states;
            states.SetModifiedHandler(count);
            states.Bind(mvb);
            states.Update(true, anim.GetCurrentAnim());
            states.Add();
            EXPECT_TRUE(
                states.ApplyStateChange({"77", "2", std::to_string(track->frameCount), "1", "1"}));

            // Commands: a play-sound command added, then a second command moved above it.
            CTlboxMoveableCmdLogic cmds;
            cmds.SetModifiedHandler(count);
            cmds.Bind(mvb, &level);
            cmds.Update(true, anim.GetCurrentAnim());
            if (level.soundList && !level.soundList->empty()) {
                sound = level.soundList->begin()->first;
                cmds.Add();
                EXPECT_TRUE(cmds.ApplyAnimCommand({"5", "2", std::to_string(sound), ""}));
                ++sounds;
            }
            cmds.Add();
            EXPECT_TRUE(cmds.ApplyAnimCommand({"2", "-20", "30", ""}));
            cmds.MoveUp();
            EXPECT_EQ(quiet.Take(), "");
            trackAfter = Describe(*track);
            ++moveables;
        }

        const int32_t spriteId = UnusedObjectId(level) + 3;
        if (!level.spriteList.empty()) {
            CTlboxSpriteLogic page;
            page.SetModifiedHandler(count);
            page.Bind(level.spriteList[0].get(), "Sprite", &window);
            page.Update(true);
            page.SetObjectIdText(std::to_string(spriteId));
            ++sprites;
        }
        EXPECT_GT(modified, 0);

        const std::string saved = dir.file("edited" + path.substr(path.rfind('.')));
        ASSERT_TRUE(level.Save(saved, 1, false, false)) << quiet.Take();
        CTrLevel again;
        ASSERT_TRUE(again.Load(saved, false, false));
        EXPECT_EQ(again.staticMeshList.empty() ? "" : DescribeStatic(*again.staticMeshList[0]),
                  staticAfter);
        EXPECT_EQ(again.spriteList.empty() ? spriteId : again.spriteList[0]->objectId, spriteId);
        if (mi < 0) continue;
        const CTrMvb& m = *again.moveableList[size_t(mi)];
        EXPECT_EQ(m.objectId, moveableId);
        if (meshIndex >= 0) {
            const TrMeshRecord& mesh = m.meshes[size_t(meshIndex)];
            EXPECT_EQ(mesh.radius, meshAfter.radius);
            EXPECT_EQ(mesh.hasNormals, meshAfter.hasNormals);
            EXPECT_EQ(mesh.lights, meshAfter.lights);
            EXPECT_EQ(mesh.intensityAlpha, 1);
        }
        EXPECT_EQ(Describe(*m.GetTrack(1)), trackAfter);
        int next = -1, frame = -1;
        m.animations->GetNext(&next, &frame, 1);
        EXPECT_EQ(next, 2);
        EXPECT_EQ(uint32_t(frame) + 1, nextFrames);
        if (sound >= 0) {
            EXPECT_TRUE(again.soundList->Contains(sound));
            // Tomb Raider I keeps its sounds with the level only.
            EXPECT_EQ(m.sounds && m.sounds->Contains(sound), again.version != TrVersion1);
        }
    }
    EXPECT_GT(statics * meshes * moveables * sprites * sounds, 0);
}

TEST(ToolboxMesh, StaticAndMoveableMeshesShowButtonsAndRefusals) {
    Quiet quiet;
    auto level = LevelWith(quiet, [](CTrLevel& l) {
        const int i = PickMoveable(l);
        return !l.staticMeshList.empty() && i >= 0 && PickMesh(*l.moveableList[size_t(i)]) >= 0;
    });
    if (!level) GTEST_SKIP() << "no real level with a static mesh and a moveable";
    FakeWindow window;
    int modified = 0;
    CTlboxMeshLogic page;
    page.SetModifiedHandler([&modified] { ++modified; });
    page.Bind(nullptr, 0, false, level.get(), "ignored", &window);
    page.Update(true);
    page.SetRadiusText("5");
    EXPECT_EQ(page.Label() + page.VerticesText(), "");

    // A mesh of a moveable: radius enabled, object id and boxes not.
    CTrMvb& mvb = *level->moveableList[size_t(PickMoveable(*level))];
    const int mi = PickMesh(mvb);
    TrMeshRecord& mesh = mvb.meshes[size_t(mi)];
    page.Bind(&mvb, mi, false, level.get(), "Mesh #1", &window);
    page.Update(false);
    EXPECT_TRUE(page.RadiusControlsEnabled() && !page.StaticControlsEnabled());
    const int32_t radius = mesh.radius;
    page.SetRadiusText("abc");
    EXPECT_EQ(quiet.Take(), "Enter an integer.");
    page.SetRadiusText("-3");
    EXPECT_EQ(quiet.Take(), "Invalid radius (-3) : a radius can't be negative !");
    page.SetBoxSizeText(TlboxVisibilityBox, 0, "20");  // no static mesh: nothing
    EXPECT_EQ(modified, 0);
    page.StepRadius(true);
    EXPECT_EQ(mesh.radius, radius + 1);

    // "external" to "internal" puts every light at full, the slider at 100.
    if (!mesh.hasNormals) page.ToggleLighting();
    page.ToggleLighting();
    EXPECT_EQ(page.LightingText(), "internal");
    EXPECT_EQ(page.IntensityPosition(), 100);
    page.SetIntensity(50);
    EXPECT_EQ(mesh.lights.back(), kFullLight / 2);
    page.ToggleLighting();
    EXPECT_FALSE(page.IntensityEnabled());
    const int edits = modified;
    page.SetIntensity(20);  // normals: nothing to light
    // The show buttons switch their text and the window's flag, and edit nothing.
    page.ToggleShowSphere();
    EXPECT_STREQ(page.SphereButtonText(), "Hide");
    page.ToggleShowSphere();
    page.ToggleShowVertices();
    EXPECT_STREQ(page.SphereButtonText(), "Show");
    EXPECT_EQ(modified, edits);
    EXPECT_TRUE(window.Called("sphere 1") && window.Called("sphere 0") &&
                window.Called("vertices 1"));

    // A dummy (a slot whose pointer holds 0) shows no faces and no extent.
    bool dummySeen = false;
    for (const auto& other : level->moveableList) {
        for (size_t i = 0; i < other->meshes.size() && !dummySeen; ++i) {
            if (!other->meshes[i].dummy) continue;
            dummySeen = true;
            page.Bind(other.get(), int(i), false, level.get(), "Dummy", &window);
            page.Update(true);
            EXPECT_TRUE(page.Dummy());
            EXPECT_EQ(page.QuadrilateralsText() + " " + page.VerticesText() + " " + page.ExtentsText(), "0 0 0,0,0");
        }
    }
    EXPECT_TRUE(dummySeen);

    // The static mesh: sizes truncated; a new size keeps the centre truncated to units.
    CTrStatMsh& st = *level->staticMeshList[0];
    st.visibilityBox.min.x = -3;
    st.visibilityBox.max.x = 8;
    st.collisionBox.min.z = -10.5f;
    st.collisionBox.max.z = 10.5f;
    page.Bind(&st, 0, true, level.get(), "Static", &window);
    page.Update(true);
    EXPECT_FALSE(page.RadiusControlsEnabled());
    EXPECT_EQ(page.BoxSize(TlboxVisibilityBox, 0), 11);
    EXPECT_EQ(page.BoxSize(TlboxCollisionBox, 2), 21);
    page.SetBoxSizeText(TlboxVisibilityBox, 0, "20");
    EXPECT_FLOAT_EQ(st.visibilityBox.min.x, -8.0f);
    EXPECT_FLOAT_EQ(st.visibilityBox.max.x, 12.0f);
    page.SetBoxSizeText(TlboxVisibilityBox, 0, "-4");
    EXPECT_EQ(quiet.Take(), "Invalid size (-4) : a size can't be negative !");
    page.SetBoxSizeText(TlboxVisibilityBox, 0, "70000");
    EXPECT_EQ(quiet.Take(), "Invalid size (70000) : the box must stay between -32768 and 32767 !");
    EXPECT_FLOAT_EQ(st.visibilityBox.max.x, 12.0f);
    page.SetObjectIdText("x");
    EXPECT_EQ(st.objectId, 0);
    // The box-edit check boxes answer independently; a moveable's mesh shows the box buttons
    // as "Show", and the next static mesh has its box shown again.
    page.SetCollisionBoxEdit(true);
    EXPECT_EQ(page.IsCollisionBoxEditOn() * 10 + page.IsVisibilityBoxEditOn(), 10);
    page.ToggleShowVisibilityBox();
    EXPECT_STREQ(page.VisibilityBoxButtonText(), "Hide");
    EXPECT_TRUE(window.Called("collision edit 1") && window.Called("visibility box 1"));
    page.Bind(&mvb, 0, false, level.get(), "Mesh #1", &window);
    page.Update(false);
    EXPECT_STREQ(page.VisibilityBoxButtonText(), "Show");
    window.calls.clear();
    page.Bind(&st, 0, true, level.get(), "Static", &window);
    page.Update(true);
    EXPECT_STREQ(page.VisibilityBoxButtonText(), "Hide");
    EXPECT_STREQ(page.CollisionBoxButtonText(), "Show");
    EXPECT_TRUE(window.Called("visibility box 1") && window.Called("collision box 0"));
}

TEST(ToolboxMoveable, MainAndAnimationPagesDriveTheWindowAndRefuseBadValues) {
    Quiet quiet;
    auto level = LevelWith(quiet, [](CTrLevel& l) { return PickMoveable(l) >= 0; });
    if (!level) GTEST_SKIP() << "no real level with a moveable of 3 animations";
    CTrMvb& mvb = *level->moveableList[size_t(PickMoveable(*level))];
    const int count = mvb.animationCount();
    FakeWindow window;
    int modified = 0;

    CTlboxMoveableMainLogic main;
    main.Bind(&mvb, "Moveable", &window);
    main.Update(true);
    main.SetShowAssociated(true);
    main.SetShowBoundingBoxes(true);
    main.Bind(nullptr, "", &window);
    main.Update(true);
    EXPECT_EQ(main.NumMeshesText() + main.ExtentsText(), "");
    EXPECT_TRUE(main.ShowBoundingBoxes());  // kept from one moveable to the next
    EXPECT_EQ(window.calls, (Calls{"items 111", "boxes 1", "invalidate"}));
    // A moveable without meshes has no extent.
    CTrMvb bare;
    main.Bind(&bare, "Bare", nullptr);
    main.Update(true);
    EXPECT_EQ(main.NumMeshesText() + " " + main.ExtentsText(), "0 (0 tris, 0 quads) 0,0,0");

    CTlboxMoveableAnimLogic anim;
    anim.SetModifiedHandler([&modified] { ++modified; });
    window.page = &anim;
    window.mgr = mvb.animations.get();
    window.calls.clear();
    anim.Bind(&mvb, &window);
    anim.Update(true);
    ASSERT_EQ(int(anim.ListItems().size()), count + 1);
    EXPECT_EQ(anim.ListItems()[1], "Animation #001");
    EXPECT_EQ(window.calls, (Calls{"automatic 1", "interpolate 1", "chain 0",
                                   "caption No animation", "fraction 0", "speed 0.5"}));
    // F6 walks to the last animation and stops there; F5 from the first stops playback.
    for (int i = 0; i <= count; ++i) anim.OnKeyTick(false, true);
    EXPECT_EQ(anim.GetCurrentAnim(), count);
    EXPECT_FALSE(anim.OnKeyTick(false, true));
    anim.SelectAnimation(1);
    window.calls.clear();
    EXPECT_TRUE(anim.OnKeyTick(true, false));
    EXPECT_EQ(window.calls, (Calls{"start -1", "caption No animation"}));
    anim.SelectAnimation(2);
    EXPECT_EQ(anim.FrameCountText(), "/ " + std::to_string(mvb.GetTrack(1)->frameCount));

    // Automatic mode: sliders and spin do nothing; manual mode drives the window.
    window.calls.clear();
    anim.SetFramePosition(3);
    anim.Step(true);
    anim.ToggleAutomatic();
    anim.SetFramePosition(3);
    anim.SetKeyPosition(2);
    anim.Step(true);
    anim.Step(false);
    anim.SetReplayPosition(25);
    anim.SetInterpText("2");
    EXPECT_EQ(quiet.Take(), "Enter a number between 0 and 1.");
    anim.SetInterpText("0.5");
    anim.ToggleChain();
    EXPECT_EQ(window.calls,
              (Calls{"automatic 0", "frame 2", "key 1", "step 1", "step -1", "speed 0.25",
                     "fraction 0.5", "chain+restart 1", "start 1", "caption Animation #002"}));

    // Speeds: hexadecimal 8000 is the word 0x8000; each edit shows what the track holds;
    // 70000 does not fit the level's 16-bit word and is refused.
    CTRAnimTrack& track = *mvb.GetTrack(1);
    anim.ToggleHex();
    anim.SetSpeedLowText("8000");
    EXPECT_EQ(track.speedLow, int16_t(-32768));
    anim.ToggleHex();
    EXPECT_EQ(anim.SpeedLowText(), "-32768");
    anim.SetSpeedHighText("-2");
    EXPECT_EQ(track.speedHigh, -2);
    EXPECT_EQ(anim.SpeedHighText(), "-2");
    anim.SetSpeedHighText("70000");
    EXPECT_EQ(quiet.Take(), "Invalid speed (70000) : the speed goes from -32768 to 32767 !");
    EXPECT_EQ(track.speedHigh, -2);
    anim.SetAccelerationText("nope");
    EXPECT_EQ(track.acceleration, 0.0f);
    EXPECT_EQ(anim.AccelerationText(), "0.000000");
    anim.ToggleHex();
    EXPECT_EQ(anim.SpeedLowText() + anim.SpeedHighText(), "8000-2");

    // Out of range: refused with a message, nothing changed.
    const std::string before = Describe(track);
    const int edits = modified;
    int next = -1, frame = -1;
    mvb.animations->GetNext(&next, &frame, 1);
    const uint32_t nextFrames = mvb.animations->GetTrack(next)->frameCount;
    const std::vector<std::pair<std::function<void()>, std::string>> refused = {
        {[&] { anim.SetStateIdText("70000"); },
         "Invalid state id (70000) : a state id goes from 0 to 65535 !"},
        {[&] { anim.SetNextAnimText(std::to_string(count + 1)); },
         StrFormat("Invalid next animation (%d) : there are only %d animations for this "
                   "moveable !",
                   count + 1, count)},
        {[&] { anim.SetNextAnimText("-1"); }, "Enter a positive integer."},
        {[&] { anim.SetNextFrameText(std::to_string(nextFrames + 1)); },
         StrFormat("Invalid next frame (%u) : the animation %d has only %u frames !",
                   nextFrames + 1, next + 1, nextFrames)},
    };
    for (const auto& r : refused) {
        r.first();
        EXPECT_EQ(quiet.Take(), r.second);
    }
    int next2 = -1, frame2 = -1;
    mvb.animations->GetNext(&next2, &frame2, 1);
    EXPECT_EQ(next2 * 100000 + frame2, next * 100000 + frame);
    EXPECT_EQ(Describe(track), before);
    EXPECT_EQ(modified, edits);
    // A shorter next animation restarts the kept next frame at its first frame.
    mvb.animations->SetNext(1, -1, 1000);
    EXPECT_TRUE(anim.SetNextAnim(1));
    mvb.animations->GetNext(&next2, &frame2, 1);
    EXPECT_EQ(next2 * 100000 + frame2, 0);
    EXPECT_EQ(anim.NextFrame(), 1u);
}

// A real moveable playing its second animation, the Animation page bound to it.
struct PlayingMoveable {
    Quiet quiet;
    std::unique_ptr<CTrLevel> level;
    CTrMvb* mvb = nullptr;
    CTRAnimTrack* track = nullptr;
    FakeWindow window;
    CTlboxMoveableAnimLogic anim;
    int modified = 0;
    PlayingMoveable() {
        level = LevelWith(quiet, [](CTrLevel& l) {
            return PickMoveable(l) >= 0 && l.soundList && l.soundList->size() >= 2;
        });
        if (!level) return;
        mvb = level->moveableList[size_t(PickMoveable(*level))].get();
        window.page = &anim;
        window.mgr = mvb->animations.get();
        anim.Bind(mvb, &window);
        anim.Update(true);
        anim.SelectAnimation(2);
        track = mvb->GetTrack(1);
    }
    template <class Page, class Texts>
    void ExpectRefused(Page& page, const std::vector<std::pair<Texts, std::string>>& cases) {
        const std::string before = Describe(*track);
        const int edits = modified;
        for (const auto& c : cases) {
            EXPECT_FALSE(page.Apply(c.first));
            EXPECT_EQ(quiet.Take(), c.second);
        }
        EXPECT_EQ(Describe(*track), before);
        EXPECT_EQ(modified, edits);
    }
};

struct StatePage : CTlboxMoveableStChLogic {
    bool Apply(const EditTexts& t) { return ApplyStateChange(t); }
};
struct CommandPage : CTlboxMoveableCmdLogic {
    bool Apply(const EditTexts& t) { return ApplyAnimCommand(t); }
};

using Columns = std::vector<std::string>;

TEST(ToolboxStateChanges, AddModifyMoveDeleteAndRefusals) {
    PlayingMoveable p;
    if (!p.level) GTEST_SKIP() << "no real level with a moveable to play";
    StatePage page;
    page.SetModifiedHandler([&p] { ++p.modified; });
    page.Bind(p.mvb);
    page.Update(true, p.anim.GetCurrentAnim());
    EXPECT_EQ(page.List().Count(), p.track->GetTotalRangeCount());

    // Add twice on a track without state 0: two rows 0, 1, 1, 1, 1, the second selected.
    auto& changes = p.track->stateChanges;
    changes.erase(std::remove_if(changes.begin(), changes.end(),
                                 [](const CTRStateChange& c) { return c.stateId == 0; }),
                  changes.end());
    page.Add();
    page.Add();
    ASSERT_EQ(changes.front().ranges.size(), 2u);
    EXPECT_EQ(page.List().Selection(), 1);
    EXPECT_EQ(page.List().Rows()[1].columns, (Columns{"0", "1", "1", "1", "1"}));
    EXPECT_EQ(page.EditValues(), (CTlboxMoveableStChLogic::Values{0, 1, 1, 1, 1}));

    const uint32_t frames = p.track->frameCount, first = p.mvb->GetTrack(0)->frameCount;
    const int anims = p.mvb->animationCount();
    p.ExpectRefused<StatePage, CTlboxMoveableStChLogic::EditTexts>(
        page,
        {
            {{"0", "5", std::to_string(frames + 1), "1", "1"},
             StrFormat("Invalid high frame (%u) : the animation has only %u frames !", frames + 1,
                       frames)},
            {{"0", "0", "5", "1", "1"}, "The low frame must be less or equal to the high frame !"},
            {{"0", "1", "5", std::to_string(anims + 1), "1"},
             StrFormat("Invalid next animation (%d) : there are only %d animations for this "
                       "moveable !",
                       anims + 1, anims)},
            {{"0", "1", "5", "0", "1"},
             StrFormat("Invalid next animation (0) : there are only %d animations for this "
                       "moveable !",
                       anims)},
            {{"0", "1", "5", "1", std::to_string(first + 1)},
             StrFormat("Invalid next frame (%u) : the animation 1 has only %u frames !", first + 1,
                       first)},
            {{"70000", "1", "5", "1", "1"},
             "Invalid state id (70000) : a state id goes from 0 to 65535 !"},
            {{"x", "1", "5", "1", "1"}, "Enter an integer."},
        });

    // Same state: the range changes in place (a next frame equal to the frame count passes).
    const std::string f = std::to_string(frames), n = std::to_string(first);
    ASSERT_TRUE(page.Apply({"0", "5", f, "1", n}));
    EXPECT_EQ(page.List().Rows()[1].columns, (Columns{"0", "5", f, "1", n}));
    const TrStateChangeRange& r = changes.front().ranges[1];
    EXPECT_EQ(StrFormat("%d %d %d", r.lowFrame, r.highFrame, r.nextFrame),
              StrFormat("4 %u %u", frames - 1, first - 1));
    // Another state: the range moves there, the list stays in state order, the row follows.
    ASSERT_TRUE(page.Apply({"65535", "2", "3", "2", "1"}));
    ASSERT_EQ(changes.back().stateId, 65535);
    EXPECT_EQ(changes.front().ranges.size(), 1u);
    const CTlboxRowList& list = page.List();
    EXPECT_EQ(list.Selection(), list.Count() - 1);
    EXPECT_EQ(list.Rows().back().columns, (Columns{"65535", "2", "3", "2", "1"}));
    for (int i = 1; i < list.Count(); ++i)
        EXPECT_LE(std::stol(list.Rows()[size_t(i) - 1].columns[0]),
                  std::stol(list.Rows()[size_t(i)].columns[0]));
    // Deleting the last range of a state removes the state.
    page.Delete();
    EXPECT_EQ(p.track->FindStateChange(65535, nullptr), nullptr);
    EXPECT_EQ(list.Selection(), list.Count() - 1);

    // The same animation is not refilled; another one is.
    page.ClickRow(0);
    page.Update(false, 2);
    EXPECT_EQ(list.Selection(), 0);
    p.anim.SelectAnimation(1);
    page.Update(false, p.anim.GetCurrentAnim());
    EXPECT_EQ(list.Count(), p.mvb->GetTrack(0)->GetTotalRangeCount());
    EXPECT_EQ(list.Selection(), -1);
}

TEST(ToolboxAnimCommands, AddModifyMoveDeleteAndSounds) {
    PlayingMoveable p;
    if (!p.level) GTEST_SKIP() << "no real level with a moveable to play";
    CommandPage page;
    page.SetModifiedHandler([&p] { ++p.modified; });
    page.Bind(p.mvb, p.level.get());
    p.track->commands.clear();
    page.Update(true, p.anim.GetCurrentAnim());

    // Add on an empty list: code 4, no operands.
    page.Add();
    ASSERT_EQ(page.List().Count(), 1);
    EXPECT_EQ(page.List().Rows()[0].columns, (Columns{"4", "", "", ""}));
    EXPECT_EQ(page.EditValues(), (CTlboxMoveableCmdLogic::Values{4, 0, 0, 0}));

    // A sound the moveable does not play: operands stored from 0, the sound copied from
    // the level; bits above 13 name the same sound.
    auto plays = [&p](int id) {
        for (int t = 0; t < p.mvb->animationCount(); ++t)
            for (const TrAnimCommand& c : p.mvb->GetTrack(t)->commands)
                if (c.code == 5 && (c.operands[1] & 0x3FFF) == id) return true;
        return p.mvb->sounds->Contains(id);
    };
    int sound = -1, missing = 0;
    for (const auto& entry : *p.level->soundList)
        if (sound < 0 && !plays(entry.first)) sound = entry.first;
    while (p.level->soundList->Contains(missing)) ++missing;
    ASSERT_GE(sound, 0);
    ASSERT_TRUE(page.Apply({"5", "12", std::to_string(sound | 0x4000), "9"}));
    EXPECT_EQ(
        StrFormat("%d %d", p.track->commands[0].operands[0], p.track->commands[0].operands[1]),
        StrFormat("11 %d", sound | 0x4000));
    EXPECT_EQ(page.List().Rows()[0].columns,
              (Columns{"5", "12", std::to_string(sound | 0x4000), ""}));
    EXPECT_TRUE(p.mvb->sounds->Contains(sound));

    p.ExpectRefused<CommandPage, CTlboxMoveableCmdLogic::EditTexts>(
        page,
        {
            {{"9", "", "", ""}, "Unknown animation command code (9) : the codes go from 1 to 6 !"},
            {{"", "", "", ""}, "Unknown animation command code (0) : the codes go from 1 to 6 !"},
            {{"5", "1", std::to_string(missing), ""},
             StrFormat(
                 "Can't modify this anim command because the sound with internal index #%d is "
                 "not in the sound list !",
                 missing)},
            {{"6", std::to_string(p.track->frameCount + 1), "0", ""},
             StrFormat("Invalid frame (%u) : the animation has only %u frames !",
                       p.track->frameCount + 1, p.track->frameCount)},
            {{"1", "0", "70000", "0"},
             "Invalid parameter 2 (70000) : a parameter goes from -32768 to 65535 !"},
            {{"2", "abc", "0", ""}, "Enter an integer."},
        });

    // Code 5 to code 3 empties the operand columns; the sound leaves the moveable once no
    // other command plays it.
    page.Add();
    ASSERT_TRUE(page.Apply({"5", "2", std::to_string(sound), ""}));
    page.ClickRow(0);
    ASSERT_TRUE(page.Apply({"3", "", "", ""}));
    EXPECT_TRUE(p.mvb->sounds->Contains(sound));
    EXPECT_EQ(page.List().Rows()[0].columns, (Columns{"3", "", "", ""}));
    page.ClickRow(1);
    EXPECT_EQ(page.EditValues(), (CTlboxMoveableCmdLogic::Values{5, 2, sound, 0}));
    ASSERT_TRUE(page.Apply({"1", "-5", "6", "7"}));
    EXPECT_FALSE(p.mvb->sounds->Contains(sound));

    // Down on the last row and up on the first do nothing; a move swaps the commands.
    const int edits = p.modified;
    page.MoveDown();
    page.MoveUp();
    page.MoveUp();
    EXPECT_EQ(p.modified, edits + 1);
    EXPECT_EQ(page.List().Selection(), 0);
    const std::string commands = Describe(*p.track);
    EXPECT_EQ(commands.substr(commands.rfind(';')), "; (1 -5 6 7) (3)");
    EXPECT_EQ(page.List().Rows()[0].columns, (Columns{"1", "-5", "6", "7"}));
    // Deleting the last row selects the new last one.
    page.ClickRow(1);
    page.Delete();
    EXPECT_EQ(page.List().Selection(), 0);
    EXPECT_EQ(p.track->commands.size(), 1u);
}

TEST(ToolboxSprite, TitleObjectIdRateWidthAndMode) {
    Quiet quiet;
    auto level = LevelWith(quiet, [](CTrLevel& l) { return !l.spriteList.empty(); });
    if (!level) GTEST_SKIP() << "no real level with sprites";
    CTrLstSpr* spr = level->spriteList[0].get();
    FakeWindow window;
    int modified = 0;
    CTlboxSpriteLogic page;
    page.SetModifiedHandler([&modified] { ++modified; });
    page.Bind(nullptr, "Sprite", &window);
    page.Update(false);
    page.SetObjectIdText("12");
    EXPECT_EQ(page.Title() + page.ObjectIdText(), "Sprite");

    // A new list hands rate 20, the width, the border and the mode to the window.
    page.Bind(spr, "Sprite", &window);
    page.Update(true);
    EXPECT_EQ(page.Title(), StrFormat("Sprite (%ld sprites)", long(spr->sprites.size())));
    EXPECT_EQ(window.calls, (Calls{"border 0", "rate 20", "animated 1", "width 256"}));
    page.SetObjectIdText("xyz");
    EXPECT_EQ(spr->objectId, 0);
    page.SetSpeed(250);
    EXPECT_EQ(page.Speed(), 100u);
    page.SetSpeed(0);
    page.Update(false);  // the same list again keeps the rate
    EXPECT_EQ(page.Speed(), 0u);
    EXPECT_FALSE(page.SetWidthText("12x"));
    EXPECT_EQ(quiet.Take(), "Enter a number.");
    EXPECT_FALSE(page.SetWidthText("1000001"));
    EXPECT_EQ(quiet.Take(), "Enter a number between 0 and 1000000.");
    EXPECT_TRUE(page.SetWidthText("0"));
    page.SetShowBorder(true);
    page.SetDisplayMode(false);
    EXPECT_EQ(window.calls, (Calls{"border 0", "rate 20", "animated 1", "width 256", "rate 100",
                                   "rate 0", "width 0", "border 1", "animated 0"}));
    EXPECT_EQ(modified, 1);  // only the object id is the level's
}

TEST(ToolboxBinding, FixHidesTheShownToolboxAndChangedFollowsTheObject) {
    const bool saved = g_bToolboxFix;
    int a = 0, b = 0;
    CToolboxBinding binding;
    g_bToolboxFix = true;
    const ToolboxBindResult hidden = binding.Bind(&a, true);
    EXPECT_TRUE(hidden.hideToolbox && !hidden.bound && !binding.HasBound());
    // The pane's second call, with the row now hidden, binds.
    ToolboxBindResult r = binding.Bind(&a, false);
    EXPECT_TRUE(r.bound && r.changed && !r.hideToolbox);
    EXPECT_FALSE(binding.Bind(&a, false).changed);
    g_bToolboxFix = false;
    r = binding.Bind(&b, true);
    EXPECT_TRUE(r.bound && r.changed && !r.hideToolbox && binding.Object() == &b);
    // The bound object changed in place by a command binds as another one, once; a change
    // of another object does not count.
    binding.ObjectChanged(&a);
    EXPECT_FALSE(binding.Bind(&b, false).changed);
    binding.ObjectChanged(&b);
    EXPECT_TRUE(binding.Bind(&b, false).changed);
    EXPECT_FALSE(binding.Bind(&b, false).changed);
    g_bToolboxFix = saved;
}

}  // namespace
}  // namespace lithoscope
