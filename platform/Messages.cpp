#include "platform/Messages.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <exception>
#include <new>
#include <iostream>

namespace lithoscope {

namespace {
ConsoleMessageBackend g_console;
IMessageBackend* g_backend = &g_console;

const char* AnswerName(MsgAnswer a) {
    switch (a) {
        case MsgAnswer::Ok: return "OK";
        case MsgAnswer::Cancel: return "Cancel";
        case MsgAnswer::Yes: return "Yes";
        case MsgAnswer::No: return "No";
    }
    return "?";
}
}  // namespace

MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                      MsgIcon icon, MsgAnswer safeAnswer) {
    MessageRequest r{text, caption, buttons, icon, safeAnswer};
    return g_backend->Show(r);
}

IMessageBackend* SetMessageBackend(IMessageBackend* backend) {
    IMessageBackend* previous = g_backend;
    g_backend = backend ? backend : &g_console;
    return previous == &g_console ? nullptr : previous;
}

MsgAnswer ConsoleMessageBackend::Show(const MessageRequest& r) {
    std::string text = r.text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::fprintf(stderr, "%s%s%s\n", r.caption.c_str(), r.caption.empty() ? "" : ": ",
                 text.c_str());
    if (r.buttons == MsgButtons::Ok) return MsgAnswer::Ok;

    const bool yesNo = r.buttons == MsgButtons::YesNo || r.buttons == MsgButtons::YesNoCancel;
    if (isatty(STDIN_FILENO)) {
        for (;;) {
            std::fprintf(stderr, yesNo ? "[y/n] " : "[o/c] ");
            std::string line;
            if (!std::getline(std::cin, line)) break;
            if (yesNo && (line == "y" || line == "Y" || line == "yes")) return MsgAnswer::Yes;
            if (yesNo && (line == "n" || line == "N" || line == "no")) return MsgAnswer::No;
            if (!yesNo && (line == "o" || line == "O")) return MsgAnswer::Ok;
            if (line == "c" || line == "C") {
                if (r.buttons != MsgButtons::YesNo) return MsgAnswer::Cancel;
            }
        }
    }
    std::fprintf(stderr, "(answered %s)\n", AnswerName(r.safeAnswer));
    return r.safeAnswer;
}

MsgAnswer ScriptedMessageBackend::Show(const MessageRequest& r) {
    shown_.push_back(r);
    if (r.buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    if (answers_.empty()) return r.safeAnswer;
    MsgAnswer a = answers_.front();
    answers_.pop_front();
    return a;
}

bool ScriptedMessageBackend::Saw(const std::string& part) const {
    for (const auto& r : shown_)
        if (r.text.find(part) != std::string::npos || r.caption.find(part) != std::string::npos)
            return true;
    return false;
}

std::string StrFormat(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(size_t(n) + 1);
        std::vsnprintf(&out[0], out.size(), fmt, ap);
        out.resize(size_t(n));
    }
    va_end(ap);
    return out;
}

void ReportEndingException() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "lithoscope: not enough memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lithoscope: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "lithoscope: failed\n");
    }
}

}  // namespace lithoscope
