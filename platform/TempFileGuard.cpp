#include "platform/TempFileGuard.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace lithoscope {

namespace {

// Every signal whose default action ends the process and that a handler may catch, but for
// those that report a fault of the program itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP,
// SIGSYS, SIGABRT): they come from the faulting instruction or abort(), in a process whose
// state can no longer be trusted, and belong to debuggers and sanitizers. SIGPIPE is one of
// ours: a console line into a closed pipe ends the process in the middle of a save.
constexpr int kFixedSignals[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGUSR1, SIGUSR2,
                                 SIGALRM, SIGPIPE, SIGXCPU,   SIGXFSZ, SIGVTALRM, SIGPROF,
                                 SIGIO,   SIGPWR,
#ifdef SIGSTKFLT
                                 SIGSTKFLT,
#endif
};

// Calls f with each guarded signal: the fixed ones, then the real-time ones (whose default
// action ends the process too).
template <class F>
void ForEachGuardedSignal(F f) {
    for (int sig : kFixedSignals) f(sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) f(sig);
}

constexpr int kSignalTable = NSIG;
constexpr int kSlotCount = 16;
constexpr size_t kPathBytes = 4096 + 256;

enum SlotState { kFree, kFilling, kHeld };

struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathBytes];
};

Slot g_slots[kSlotCount];
// By signal number.
struct sigaction g_previous[kSignalTable];
bool g_installed[kSignalTable];
std::mutex g_installMutex;
int g_guards = 0;

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slot states");

void OnSignal(int sig, siginfo_t* info, void* context) {
    if (sig <= 0 || sig >= kSignalTable) return;
    const struct sigaction& previous = g_previous[sig];
    if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
        previous.sa_sigaction(sig, info, context);
        return;
    }
    if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL &&
        previous.sa_handler != SIG_IGN) {
        previous.sa_handler(sig);
        return;
    }
    for (Slot& slot : g_slots)
        if (slot.state.load(std::memory_order_acquire) == kHeld) ::unlink(slot.path);
    // The default action, once this handler returns and the signal is unblocked.
    struct sigaction fallback;
    std::memset(&fallback, 0, sizeof fallback);
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(sig, &fallback, nullptr);
    ::raise(sig);
}

bool IsOurs(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == OnSignal;
}

void Install() {
    struct sigaction ours;
    std::memset(&ours, 0, sizeof ours);
    ours.sa_sigaction = OnSignal;
    ours.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&ours.sa_mask);
    ForEachGuardedSignal([&](int sig) { sigaddset(&ours.sa_mask, sig); });
    ForEachGuardedSignal([&](int sig) {
        if (sig <= 0 || sig >= kSignalTable) return;
        g_installed[sig] = false;
        struct sigaction current;
        if (::sigaction(sig, nullptr, &current) != 0) return;
        // An ignored signal stays ignored.
        if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) return;
        if (IsOurs(current)) return;
        g_previous[sig] = current;
        g_installed[sig] = ::sigaction(sig, &ours, nullptr) == 0;
    });
}

void Uninstall() {
    for (int sig = 1; sig < kSignalTable; ++sig) {
        if (!g_installed[sig]) continue;
        g_installed[sig] = false;
        struct sigaction current;
        if (::sigaction(sig, nullptr, &current) != 0) continue;
        // Somebody who set a handler of their own meanwhile keeps it.
        if (IsOurs(current)) ::sigaction(sig, &g_previous[sig], nullptr);
    }
}

}  // namespace

TempFileGuard::TempFileGuard() {
    std::lock_guard<std::mutex> lock(g_installMutex);
    if (g_guards++ == 0) Install();
}

TempFileGuard::~TempFileGuard() {
    Release();
    std::lock_guard<std::mutex> lock(g_installMutex);
    if (--g_guards == 0) Uninstall();
}

void TempFileGuard::Hold(const std::string& path) {
    Release();
    if (path.size() >= kPathBytes) return;
    for (int i = 0; i < kSlotCount; ++i) {
        int expected = kFree;
        if (!g_slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
        g_slots[i].state.store(kHeld, std::memory_order_release);
        slot_ = i;
        return;
    }
}

void TempFileGuard::Release() {
    if (slot_ < 0) return;
    g_slots[slot_].state.store(kFree, std::memory_order_release);
    slot_ = -1;
}

}  // namespace lithoscope
