#pragma once
// The command line: batch conversion ("s OPTIONS MODE IN [OUT]"), the toolbox fix flag
// ("nofix", "forcefix") and whether a document is created at start.
#include <cstdint>
#include <string>

namespace lithoscope {

// Read by the object toolbox when it binds an object; written once at start-up.
extern bool g_bToolboxFix;

class CCmdLine {
public:
    CCmdLine() = default;

    // One word of the command line, after the program's own path, in order. The caller
    // has already taken the switch character off a switch word (see CommandLineWord);
    // isFlag and isLast are not looked at.
    void ParseParam(const std::string& word, bool isFlag, bool isLast);

    bool m_bBatch = false;       // "s" seen
    bool m_bNoFix = false;       // "nofix" seen before "s"
    bool m_bForceFix = false;    // "forcefix" seen before "s"
    int32_t m_nBatchArg = 0;     // words seen after "s"
    int32_t m_nBatchOptions = 0; // bit 0: load messages and progress; bit 1: the save's
    int32_t m_nSaveMode = 0;     // unused-texture mode handed to the save
    std::string m_szInputPath;   // level to load
    std::string m_szOutputPath;  // level to write (empty: the input)
};

// A switch word of the process command line as the parser gets it: "-s" and "/s" are "s",
// and the same for "nofix" and "forcefix"; every other word stays as typed, so file names
// such as "-keep.PHD" or "/tmp/in.tr2" stay whole. isFlag tells whether a character was
// taken off.
std::string CommandLineWord(const std::string& raw, bool* isFlag);

// Walks argv[1..argc-1] through CCmdLine::ParseParam: the words before "s" through
// CommandLineWord, the batch run's words after it as typed.
void ParseCommandLine(int argc, const char* const* argv, CCmdLine& cmdLine);

// A word read as a decimal integer: leading white space and a sign allowed, reading stops
// at the first non-digit, no digits gives 0; saturates instead of overflowing.
int32_t ParseDecimalWord(const std::string& word);

// True when the system is not of the NT family; never on Linux.
bool IsNonNtPlatform();

// The fix flag the command line asks for: "nofix" wins, then "forcefix", else the platform.
bool ToolboxFixFromCommandLine(const CCmdLine& cmdLine);

// Whether the start-up action creates a new empty document: not when the command line is
// empty, nor when "nofix" or "forcefix" was given.
bool StartupCreatesDocument(const CCmdLine& cmdLine, bool rawCommandLineEmpty);

}  // namespace lithoscope
