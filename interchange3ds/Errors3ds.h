#pragma once
// 3D Studio toolkit: the global error list and error-pending flag.
//
// Toolkit conventions (every *3ds function follows them):
// - Records are plain structures. Init functions take a pointer to a record pointer: a null
//   outer pointer pushes ERR_INVALID_ARG, a null record pointer makes them allocate the record
//   first (ERR_NO_MEM on failure), then every field gets its default.
// - Release functions take a pointer to a record pointer, free what the record owns, free the
//   record and null the caller's pointer. A null record does nothing.
// - No toolkit function returns an error code. Errors are pushed onto the list below and set
//   g_bErrorPending3ds; after each inner step an operation tests the flag and returns at once
//   when it is set. A caller starts every sequence of calls with ClearErrorList3ds() and tests
//   the flag after each call.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lithoscope {

enum ErrorCode3ds : int32_t {
    NO_FTK_ERRORS = 0,
    ERR_NO_MEM = 1,
    ERR_INVALID_ARG = 2,
    ERR_INVALID_DATA = 3,
    ERR_INVALID_CHUNK = 4,
    ERR_INVALID_DATABASE = 5,
    ERR_WRONG_DATABASE = 6,
    ERR_UNFOUND_CHUNK = 7,
    ERR_WRONG_OBJECT = 8,
    ERR_NO_SUCH_FILE = 9,
    ERR_INIT_FAILED = 10,
    ERR_OPENING_FILE = 11,
    ERR_CLOSING_FILE = 12,
    ERR_READING_FILE = 13,
    ERR_CREATING_DATABASE = 14,
    ERR_READING_DATABASE = 15,
    ERR_WRITING_DATABASE = 16,
    ERR_WRITING_FILE = 17,
    ERR_STRING_TOO_LONG = 18,
    ERR_TOO_MANY_FILES = 19,
    // 20 and 21 have no name; 21 is pushed by a failed mesh put.
    ERR_PUT_MESH_FAILED = 21,
    N_ERRORS = 22,
};

struct ErrorEntry3ds {
    int32_t code;
    const char* desc;  // constant text of the code, never owned
};

// 19 recording slots and a terminator (always code 0).
constexpr int kErrorSlots3ds = 20;

// The list itself: slots 0..18 record errors in push order, slot 19 stays 0.
extern ErrorEntry3ds g_ErrorList3ds[kErrorSlots3ds];
// Takes the 20th and later errors (N_ERRORS once more than one overflowed). Not cleared by
// ClearErrorList3ds, not printed by DumpErrorList3ds.
extern ErrorEntry3ds g_ErrorOverflow3ds;
// Set by every push of a non-zero code; reset only by ClearErrorList3ds.
extern bool g_bErrorPending3ds;

void PushError3ds(int32_t code);
void ClearErrorList3ds();
// "%s\n" for each recorded error, newest first.
void DumpErrorList3ds(FILE* stream);
const char* ErrorText3ds(int32_t code);

// Notes that tell what an error was about (a name longer than its field, a number out of
// range). Each text is kept once; ClearErrorList3ds empties the list too.
void PushWarning3ds(const std::string& text);
const std::vector<std::string>& Warnings3ds();

inline bool IsErrorPending3ds() { return g_bErrorPending3ds; }

}  // namespace lithoscope
