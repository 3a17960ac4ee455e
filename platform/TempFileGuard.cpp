#include "platform/TempFileGuard.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace lithoscope {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = int(sizeof kSignals / sizeof kSignals[0]);
constexpr int kSlotCount = 16;
constexpr size_t kPathBytes = 4096 + 256;

enum SlotState { kFree, kFilling, kHeld };

struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathBytes];
};

Slot g_slots[kSlotCount];
struct sigaction g_previous[kSignalCount];
bool g_installed[kSignalCount];
std::mutex g_installMutex;
int g_guards = 0;

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slot states");

void OnSignal(int sig, siginfo_t* info, void* context) {
    int i = 0;
    while (i < kSignalCount && kSignals[i] != sig) ++i;
    if (i == kSignalCount) return;
    const struct sigaction& previous = g_previous[i];
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
    for (int sig : kSignals) sigaddset(&ours.sa_mask, sig);
    for (int i = 0; i < kSignalCount; ++i) {
        g_installed[i] = false;
        struct sigaction current;
        if (::sigaction(kSignals[i], nullptr, &current) != 0) continue;
        // An ignored signal stays ignored.
        if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) continue;
        if (IsOurs(current)) continue;
        g_previous[i] = current;
        g_installed[i] = ::sigaction(kSignals[i], &ours, nullptr) == 0;
    }
}

void Uninstall() {
    for (int i = 0; i < kSignalCount; ++i) {
        if (!g_installed[i]) continue;
        g_installed[i] = false;
        struct sigaction current;
        if (::sigaction(kSignals[i], nullptr, &current) != 0) continue;
        // Somebody who set a handler of their own meanwhile keeps it.
        if (IsOurs(current)) ::sigaction(kSignals[i], &g_previous[i], nullptr);
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
