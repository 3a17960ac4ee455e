// Playback of moveable animations in the 3D view, reported to the moveable toolbox.
#include "editor/view3d/GlWindow.h"
#include "level/Anim.h"
#include "level/TrMvb.h"

namespace lithoscope {

namespace {
constexpr float kStepFrames = 0.033333335f;  // one step of the spin: a thirtieth

int WholeFrame(float time) { return time > 0 ? int(unsigned(time)) : 0; }
}  // namespace

void COpenGLWnd::ReportTrack(ITlboxMoveableItfAnim& toolbox, const CAnimTrack& track, bool value) {
    toolbox.SetFrame(WholeFrame(track.time), int(track.frameCount));
    toolbox.SetKey(int(track.key), track.keyCount());
    if (value) toolbox.SetValue(track.fraction);
}

void COpenGLWnd::ReportAnimation(ITlboxMoveableItfAnim& toolbox, const CTrMvb& moveable) {
    const CAnimMgr& mgr = *moveable.animations;
    const CAnimTrack* track = mgr.CurrentTrack();
    toolbox.SetAnim(currentAnim_);
    if (track) ReportTrack(toolbox, *track, false);
    toolbox.SetFramerate(track ? int(track->interval) : 0);
    int nextAnim = 0, nextFrame = 0;
    mgr.GetNext(&nextAnim, &nextFrame, -1);
    toolbox.SetNext(nextAnim, nextFrame);
}

void COpenGLWnd::ForEachMoveable(const std::function<void(GlDisplayItem&, CTrMvb&, CAnimMgr&)>& f) {
    for (uint32_t i = 0; i < itemCount_; ++i)
        if (CTrMvb* mvb = items_[i].main.Moveable())
            if (mvb->animations) f(items_[i], *mvb, *mvb->animations);
}

// The moveable of item 0 with a current track, or null.
static CTrMvb* PlayingMoveable(const GlDisplayItem& item) {
    CTrMvb* mvb = item.main.Moveable();
    return mvb && mvb->animations && mvb->animations->CurrentTrack() ? mvb : nullptr;
}

void COpenGLWnd::StartAnimPlayback(int index) {
    if (index == -1) {
        playing_ = false;
        return;
    }
    playing_ = true;
    currentAnim_ = index;
    ForEachMoveable([index](GlDisplayItem&, CTrMvb&, CAnimMgr& mgr) {
        if (index >= 0) mgr.SetAnimation(uint32_t(index), 0.0f);
    });
    if (itemCount_ == 0) return;
    if (CTrMvb* mvb = PlayingMoveable(items_[0]))
        if (ITlboxMoveableItfAnim* toolbox = AnimToolbox()) ReportAnimation(*toolbox, *mvb);
}

void COpenGLWnd::PlaybackStep(GlDisplayItem& item) {
    CTrMvb* mvb = item.main.Moveable();
    if (still_ || !playing_ || !mvb || !mvb->animations) return;
    if (!automaticPlayback_ && !refreshPending_) return;
    CAnimMgr& mgr = *mvb->animations;
    CAnimTrack* track = mgr.CurrentTrack();
    if (!track) return;
    track->interpolate = interpolate_;
    ITlboxMoveableItfAnim* toolbox = item.primary ? AnimToolbox() : nullptr;
    if (toolbox) ReportTrack(*toolbox, *track, true);
    if (automaticPlayback_) {
        const float f = framesPerSecond_ > 0 ? framesPerSecond_ : 1.0f;
        if (!mgr.Advance(1.0f / f)) {
            if (!item.primary) return;
            currentAnim_ = mgr.current;
            if (toolbox) ReportAnimation(*toolbox, *mvb);
        }
    }
    if (item.primary) refreshPending_ = false;
}

void COpenGLWnd::SetAnimFrame(int frame) {
    if (itemCount_ == 0 || !PlayingMoveable(items_[0])) return;
    ForEachMoveable([frame](GlDisplayItem&, CTrMvb&, CAnimMgr& mgr) {
        if (CAnimTrack* t = mgr.CurrentTrack()) t->SetTime(float(frame));
    });
    if (ITlboxMoveableItfAnim* toolbox = AnimToolbox())
        ReportTrack(*toolbox, *items_[0].main.Moveable()->animations->CurrentTrack(), true);
}

void COpenGLWnd::SetAnimKey(int key) {
    CTrMvb* mvb = itemCount_ ? PlayingMoveable(items_[0]) : nullptr;
    if (!mvb) return;
    SetAnimFrame(int(float(key) * float(mvb->animations->CurrentTrack()->interval)));
}

void COpenGLWnd::SetAnimFraction(float value) {
    if (itemCount_ == 0 || !PlayingMoveable(items_[0])) return;
    ForEachMoveable([value](GlDisplayItem&, CTrMvb&, CAnimMgr& mgr) {
        if (CAnimTrack* t = mgr.CurrentTrack()) t->fraction = value;
    });
}

void COpenGLWnd::StepAnimation(int steps) {
    if (itemCount_ == 0 || !PlayingMoveable(items_[0])) return;
    ITlboxMoveableItfAnim* toolbox = AnimToolbox();
    ForEachMoveable([&](GlDisplayItem& item, CTrMvb& mvb, CAnimMgr& mgr) {
        const CAnimTrack* t = mgr.CurrentTrack();
        if (!t) return;
        const bool switched = !mgr.SetTime(t->speed * float(steps) * kStepFrames + t->time);
        // Only the primary item's state is the toolbox's.
        if (!item.primary) return;
        if (switched) currentAnim_ = mgr.current;
        if (!toolbox) return;
        if (switched) {
            toolbox->SetAnim(currentAnim_);
            const CAnimTrack* now = mgr.CurrentTrack();
            toolbox->SetFramerate(now ? int(now->interval) : 0);
            int nextAnim = 0, nextFrame = 0;
            mgr.GetNext(&nextAnim, &nextFrame, -1);
            toolbox->SetNext(nextAnim, nextFrame);
        }
        if (const CAnimTrack* now = mgr.CurrentTrack()) ReportTrack(*toolbox, *now, false);
    });
    refreshPending_ = true;
}

void COpenGLWnd::SetReplaySpeed(float x) {
    if (itemCount_ == 0 || !PlayingMoveable(items_[0])) return;
    replaySpeed_ = x < 0.5f ? x * 2.0f : (x - 0.5f) * 5.0f + 1.0f;
    const float speed = replaySpeed_;
    ForEachMoveable([speed](GlDisplayItem&, CTrMvb&, CAnimMgr& mgr) { mgr.SetSpeed(speed); });
}

void COpenGLWnd::SetChainAnimations(bool chain, bool restart) {
    if (itemCount_ == 0 || items_[0].main.kind != GlKindMoveable) return;
    chain_ = chain;
    ForEachMoveable([chain](GlDisplayItem&, CTrMvb&, CAnimMgr& mgr) { mgr.SetChain(chain); });
    if (restart) StartAnimPlayback(currentAnim_);
}

}  // namespace lithoscope
