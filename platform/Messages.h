#pragma once
// Message boxes and questions. Every message of the system goes through ShowMessage; the
// backend decides how it reaches the user: the GUI, the console, or a test script.
#include <deque>
#include <string>
#include <vector>

namespace lithoscope {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Error, Warning, Question, Information };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    std::string text;
    std::string caption;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    // The answer that loses nothing, taken when nobody can be asked.
    MsgAnswer safeAnswer = MsgAnswer::Ok;
};

class IMessageBackend {
public:
    virtual ~IMessageBackend() = default;
    virtual MsgAnswer Show(const MessageRequest& request) = 0;
};

// Shows a message or asks a question; returns the answer.
MsgAnswer ShowMessage(const std::string& text, const std::string& caption,
                      MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                      MsgAnswer safeAnswer = MsgAnswer::Ok);

// Installs a backend (not owned); null restores the console one. Returns the previous.
IMessageBackend* SetMessageBackend(IMessageBackend* backend);

// Standard error; a question reads y/n from standard input when it is a terminal,
// otherwise takes the safe answer, says so, and goes on. Never blocks without a terminal.
class ConsoleMessageBackend : public IMessageBackend {
public:
    MsgAnswer Show(const MessageRequest& request) override;
};

// Records every message and answers from a queue (then with the safe answer).
class ScriptedMessageBackend : public IMessageBackend {
public:
    MsgAnswer Show(const MessageRequest& request) override;
    void Answer(MsgAnswer a) { answers_.push_back(a); }
    const std::vector<MessageRequest>& shown() const { return shown_; }
    void clear() { shown_.clear(); answers_.clear(); }
    bool Saw(const std::string& textPart) const;

private:
    std::vector<MessageRequest> shown_;
    std::deque<MsgAnswer> answers_;
};

// Installs a backend for the lifetime of the object.
class ScopedMessageBackend {
public:
    explicit ScopedMessageBackend(IMessageBackend* b) : previous_(SetMessageBackend(b)) {}
    ~ScopedMessageBackend() { SetMessageBackend(previous_); }
    ScopedMessageBackend(const ScopedMessageBackend&) = delete;
    ScopedMessageBackend& operator=(const ScopedMessageBackend&) = delete;

private:
    IMessageBackend* previous_;
};

// printf-style formatting into a std::string of any length.
std::string StrFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Inside a catch block: writes the reason of the exception being handled, one that ends
// the program, to standard error ("lithoscope: not enough memory" for a failed allocation).
void ReportEndingException();

}  // namespace lithoscope
