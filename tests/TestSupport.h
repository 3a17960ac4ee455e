#pragma once
// Shared helpers of the test suites: temporary folders, the real levels folder.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Messages.h"

namespace lithoscope::test {

// A fresh folder removed (with its contents) at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Messages answered by a script for the lifetime of the object; Take() gives the last one
// shown since the last call ("" for none).
struct QuietMessages {
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope{&messages};
    std::string Take() {
        const std::string text = messages.shown().empty() ? "" : messages.shown().back().text;
        messages.clear();
        return text;
    }
};

// Points LITHOSCOPE_CONFIG_DIR at a temporary folder for the lifetime of the object.
class ScopedConfigDir {
public:
    ScopedConfigDir();
    ~ScopedConfigDir();
    const std::string& path() const { return dir_.path(); }

private:
    TempDir dir_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// The folder of real levels: $LITHOSCOPE_LEVELS_DIR, else ../shared/testdata/levels beside
// the project; "" when neither exists.
std::string RealLevelsDir();
struct RealLevel {
    std::string path;
    bool unsupported;  // under a folder named "unsupported": must be refused
};
// Every file below the real levels folder, sorted by path: copies in a temporary folder of
// the process, with the same names and sub-folders.
std::vector<RealLevel> RealLevelFiles();

// The folder of inputs that once broke the program: $LITHOSCOPE_DAMAGED_DIR, else
// ../shared/testdata/damaged beside the project; "" when neither exists.
std::string DamagedInputsDir();
// Every file below it, sorted by path: copies in a temporary folder of the process.
std::vector<std::string> DamagedInputFiles();

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Path of the built program.
std::string ProgramPath();

// How a program runs: in folder cwd, with no display and no core dump, standard input from
// /dev/null or (inputPipe) a pipe nobody writes to, these variables set in its environment,
// its address space bounded to addressLimit bytes when that is given; killed after
// timeoutSeconds.
struct ProgramSetup {
    std::string cwd = ".";
    std::vector<std::pair<std::string, std::string>> env;
    bool inputPipe = false;
    uint64_t addressLimit = 0;
    int timeoutSeconds = 120;
};
// Starts program with its words, standard input from input (a descriptor of the parent's,
// closed there), standard output and error into outPath.
pid_t StartProgram(const std::string& program, const std::vector<std::string>& words,
                   const ProgramSetup& setup, int input, const std::string& outPath);
// One run of it to its end.
struct ProgramRun {
    int status = -1;  // exit status, or 128 + signal
    bool timedOut = false;
    std::string output;  // standard output and error together
    long peakKb = 0;     // its largest resident set
};
ProgramRun RunProgramOnce(const std::string& program, const std::vector<std::string>& words,
                          const ProgramSetup& setup = {});

}  // namespace lithoscope::test
