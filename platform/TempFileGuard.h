#pragma once
// Temporary files that must not outlive a process ended by a signal: Ctrl+C, Ctrl+\ (QUIT),
// SIGTERM, SIGHUP, SIGPIPE, the signals of the resource limits and timers, the user and the
// real-time signals: every one that ends the process by default and can be caught, but the
// faults of the program itself (see the list in the source). While a guard is alive, those
// signals remove the files the guards hold (unlink from a fixed table, nothing else:
// async-signal-safe) and then end the process the way the signal would have. A signal the
// process ignores stays ignored; one that somebody else handles (the GUI's toolkit, say)
// goes to that handler untouched, and the write then finishes or fails on its own.
#include <string>

namespace lithoscope {

class TempFileGuard {
public:
    TempFileGuard();
    ~TempFileGuard();
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;

    // The file this guard removes; set before the file is created. A path too long for
    // the table is written without the guard.
    void Hold(const std::string& path);
    // The file is gone or renamed: nothing to remove any more.
    void Release();

private:
    int slot_ = -1;
};

}  // namespace lithoscope
