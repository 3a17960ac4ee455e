#include "batch/CmdLine.h"

#include <cctype>
#include <climits>

namespace lithoscope {

bool g_bToolboxFix = false;

void CCmdLine::ParseParam(const std::string& word, bool /*isFlag*/, bool /*isLast*/) {
    if (!m_bBatch) {
        // Whole words, with case.
        if (word == "s")
            m_bBatch = true;
        else if (word == "nofix")
            m_bNoFix = true;
        else if (word == "forcefix")
            m_bForceFix = true;
        return;
    }
    // After "s" every word is positional, whatever it says.
    switch (m_nBatchArg) {
        case 0: m_nBatchOptions = ParseDecimalWord(word); break;
        case 1: m_nSaveMode = ParseDecimalWord(word); break;
        case 2: m_szInputPath = word; break;
        case 3: m_szOutputPath = word; break;
        default: break;
    }
    if (m_nBatchArg < INT32_MAX) ++m_nBatchArg;
}

std::string CommandLineWord(const std::string& raw, bool* isFlag) {
    bool flag = false;
    std::string word = raw;
    if (raw.size() > 1 && (raw[0] == '-' || raw[0] == '/')) {
        const std::string bare = raw.substr(1);
        if (bare == "s" || bare == "nofix" || bare == "forcefix") {
            word = bare;
            flag = true;
        }
    }
    if (isFlag) *isFlag = flag;
    return word;
}

void ParseCommandLine(int argc, const char* const* argv, CCmdLine& cmdLine) {
    for (int i = 1; i < argc; ++i) {
        bool isFlag = false;
        const std::string raw = argv[i] ? argv[i] : "";
        // After "s" the words are the batch run's, used as typed.
        const std::string word = cmdLine.m_bBatch ? raw : CommandLineWord(raw, &isFlag);
        cmdLine.ParseParam(word, isFlag, i == argc - 1);
    }
}

int32_t ParseDecimalWord(const std::string& word) {
    size_t i = 0;
    while (i < word.size() && std::isspace(static_cast<unsigned char>(word[i]))) ++i;
    bool negative = false;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
    int64_t value = 0;
    for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
        value = value * 10 + (word[i] - '0');
        if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return int32_t(value);
}

bool IsNonNtPlatform() { return false; }

bool ToolboxFixFromCommandLine(const CCmdLine& cmdLine) {
    if (cmdLine.m_bNoFix) return false;
    if (cmdLine.m_bForceFix) return true;
    return IsNonNtPlatform();
}

bool StartupCreatesDocument(const CCmdLine& cmdLine, bool rawCommandLineEmpty) {
    if (cmdLine.m_bNoFix || cmdLine.m_bForceFix) return false;
    return !rawCommandLineEmpty;
}

}  // namespace lithoscope
