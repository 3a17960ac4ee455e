#include "interchange3ds/Errors3ds.h"

#include <algorithm>

namespace lithoscope {

namespace {
std::vector<std::string>& WarningList() {
    static std::vector<std::string> list;
    return list;
}
}  // namespace

void PushWarning3ds(const std::string& text) {
    std::vector<std::string>& list = WarningList();
    // A bounded list: a hostile file can't make it grow without end.
    if (list.size() < 256 && std::find(list.begin(), list.end(), text) == list.end())
        list.push_back(text);
}

const std::vector<std::string>& Warnings3ds() { return WarningList(); }

ErrorEntry3ds g_ErrorList3ds[kErrorSlots3ds] = {};
ErrorEntry3ds g_ErrorOverflow3ds = {0, nullptr};
bool g_bErrorPending3ds = false;

const char* ErrorText3ds(int32_t code) {
    switch (code) {
    case NO_FTK_ERRORS: return "NO_FTK_ERRORS: No errors are pending";
    case ERR_NO_MEM: return "ERR_NO_MEM: Not enough memory to complete operation";
    case ERR_INVALID_ARG:
        return "ERR_INVALID_ARG: The argument passed to the function is invalid.  Usually caused "
               "by a NULL pointer or an out of range numeric argument.";
    case ERR_INVALID_DATA:
        return "ERR_INVALID_DATA: The structure passed as an argument to the function has invalid "
               "or out of range data in its fields.";
    case ERR_INVALID_CHUNK:
        return "ERR_INVALID_CHUNK: An invalid chunk structure was encountered while reading the "
               "database. Usually caused by a corrupt database or file";
    case ERR_INVALID_DATABASE:
        return "ERR_INVALID_DATABASE: The database passed as an argument has not be created yet.";
    case ERR_WRONG_DATABASE:
        return "ERR_WRONG_DATABASE: The database passed as an argument is the wrong kind of "
               "database for this function.";
    case ERR_UNFOUND_CHUNK:
        return "ERR_UNFOUND_CHUNK: The database is missing important file chunks needed to fill "
               "out the requested structure.  Usually caused by a corrupt database or file";
    case ERR_WRONG_OBJECT:
        return "ERR_WRONG_OBJECT: The name passed to the functions exists, but is not the type of "
               "object asked for.  For example, asking for a mesh object with the "
               "GetCameraByName3ds function.";
    case ERR_NO_SUCH_FILE:
        return "ERR_NO_SUCH_FILE: The filename passed as an argument for reading does not exist";
    case ERR_INIT_FAILED:
        return "ERR_INIT_FAILED: Failed to initialize structure passed as an argument";
    case ERR_OPENING_FILE: return "ERR_OPENING_FILE: Could not open requested file";
    case ERR_CLOSING_FILE: return "ERR_CLOSING_FILE: Could not close requested file";
    case ERR_READING_FILE: return "ERR_READING_FILE: Error occured while reading file";
    case ERR_CREATING_DATABASE:
        return "ERR_CREATING_DATABASE: Error occured while creating database";
    case ERR_READING_DATABASE: return "ERR_READING_DATABASE: Error occured while reading database";
    case ERR_WRITING_DATABASE: return "ERR_WRITING_DATABASE: Error occured while writing database";
    case ERR_WRITING_FILE: return "ERR_WRITING_FILE: Error occured while writing file";
    case ERR_STRING_TOO_LONG:
        return "ERR_STRING_TOO_LONG: String encountered in file, structure, or as an argument was "
               "longer than expected.  Possibly caused by an uninitialed pointer, corrupt file or "
               "database";
    case ERR_TOO_MANY_FILES:
        return "ERR_TOO_MANY_FILES: The toolkit has reached its maximum open file limit of 252 "
               "files.";
    case N_ERRORS: return "N_ERRORS: More errors were reported then could be recorded.";
    default: return "Unknown error code was encountered";
    }
}

void PushError3ds(int32_t code) {
    if (code == 0) return;
    g_bErrorPending3ds = true;
    for (int i = 0; i < kErrorSlots3ds - 1; ++i) {
        if (g_ErrorList3ds[i].code == 0) {
            g_ErrorList3ds[i].code = code;
            g_ErrorList3ds[i].desc = ErrorText3ds(code);
            g_ErrorList3ds[i + 1].code = 0;  // the slot after the last one stays a terminator
            return;
        }
    }
    if (g_ErrorOverflow3ds.code == 0) {
        g_ErrorOverflow3ds.code = code;
        g_ErrorOverflow3ds.desc = ErrorText3ds(code);
    } else {
        g_ErrorOverflow3ds.code = N_ERRORS;
        g_ErrorOverflow3ds.desc = ErrorText3ds(N_ERRORS);
    }
}

void ClearErrorList3ds() {
    g_bErrorPending3ds = false;
    for (ErrorEntry3ds& e : g_ErrorList3ds) e.code = 0;
    WarningList().clear();
}

void DumpErrorList3ds(FILE* stream) {
    if (!stream) return;
    for (int i = kErrorSlots3ds - 1; i >= 0; --i) {
        if (g_ErrorList3ds[i].code != 0) std::fprintf(stream, "%s\n", ErrorText3ds(g_ErrorList3ds[i].code));
    }
}

}  // namespace lithoscope
