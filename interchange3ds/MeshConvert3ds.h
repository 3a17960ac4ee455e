#pragma once
// Glue shared by the 3DS exports: creating a mesh-file database with the scene settings and
// saving it to disk.
//
// A toolkit failure never ends the process: the functions return false and give the error
// list's text (newest first) through the optional error string.
#include <string>

#include "interchange3ds/Chunk3ds.h"

namespace lithoscope {

// Clears the error list, creates a mesh-file database (kind 1) and writes the ambient light,
// the gradient background and the (unused) fog settings. False, with *db released and null,
// when the database could not be created; a failure in a settings step leaves the error
// pending for the caller's next check and returns false.
bool CreateExportDatabase3ds(Database3ds** db, std::string* error = nullptr);

// Opens path for writing, writes the database, closes the files and releases *db (in every
// case). False with the error text on any toolkit error.
bool SaveExportDatabase3ds(Database3ds** db, const char* path, std::string* error = nullptr);

// The toolkit's error list as text, newest first, one error a line.
std::string ErrorListText3ds();

}  // namespace lithoscope
