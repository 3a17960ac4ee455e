#pragma once
// Meshes to and from 3D Studio files, and the glue every 3DS export shares: creating a
// mesh-file database with the scene settings and writing it, with its texture picture,
// to disk.
//
// A toolkit failure never ends the process: exports return false with the error text
// (newest first); imports show what went wrong and return false, leaving the target as it
// was. Files are written safely: a failed export leaves the .3ds and its picture as they
// were.
#include <string>
#include <vector>

#include "interchange3ds/Chunk3ds.h"
#include "interchange3ds/Mesh3ds.h"

namespace lithoscope {

class CTrLevel;
class CTrLstMsh;
class CTrObjGfx;
struct CVector3;
struct MaterialTextureMap;
struct TrMeshRecord;
struct TrMeshVertex;

// Clears the error list, creates a mesh-file database (kind 1) and writes the ambient light,
// the gradient background and the (unused) fog settings. False, with *db released and null,
// when the database could not be created; a failure in a settings step leaves the error
// pending for the caller's next check and returns false.
bool CreateExportDatabase3ds(Database3ds** db, std::string* error = nullptr);

// Opens path for writing, writes the database, closes the files and releases *db (in every
// case). False with the error text on any toolkit error.
bool SaveExportDatabase3ds(Database3ds** db, const char* path, std::string* error = nullptr);

// The database's file image, built in memory; releases *db in every case.
bool RenderExportDatabase3ds(Database3ds** db, std::vector<uint8_t>* image,
                             std::string* error = nullptr);

// Writes the .3ds image to path and, when page is given, the page as a 32-bit TGA at
// texturePath first. When either write fails, both files are left as they were.
bool WriteExportFiles3ds(const std::string& path, const std::vector<uint8_t>& image,
                         const std::string& texturePath, const CTrObjGfx* page,
                         std::string* error = nullptr);

// The toolkit's error list as text, newest first, one error a line, then the notes that
// tell what the errors were about.
std::string ErrorListText3ds();

// The texture picture's path of an export: the folder of path, textureName, ".tga".
std::string ExportTexturePath3ds(const std::string& path, const std::string& textureName);

// The "tile0" material whose texture map is textureName.tga; false on a toolkit error.
bool PutExportMaterial3ds(Database3ds* db, const std::string& textureName);
// CreateExportDatabase3ds and the material; false (database released, the reason in
// error) when either fails.
bool BeginExport3ds(Database3ds** db, const std::string& textureName, std::string* error);

// Writes mesh meshIndex of the list as a .3ds file at path (an object "M" with the material
// "tile0") and the list's page beside it as textureName.tga. A mesh with nothing to draw
// (no face) is refused with kNothingToExport3ds and writes nothing: such a file holds no
// mesh, and no reader (this program's import included) takes it.
bool ExportMeshTo3ds(CTrLstMsh* list, int meshIndex, const char* path, const char* textureName,
                     std::string* error = nullptr);

extern const char* const kNothingToExport3ds;
// True when the mesh has a face to write.
bool HasFacesToExport3ds(const TrMeshRecord& mesh);

// One Mesh3ds named name from a mesh and its owner's page, every face with vertices of its
// own, placed at (ox, oy, oz) (level axes). False when the mesh has no face or vertex, is
// too large for the format, or on a toolkit error.
bool WriteMeshObjectTo3ds(Database3ds* db, const char* name, const CTrObjGfx* page,
                          const TrMeshRecord* mesh, float ox, float oy, float oz);

// Reads every triangle mesh of the file into one mesh record and gives it to target with a
// page built from the materials' pictures. withLights: vertex lights instead of normals;
// tr4: the object textures are marked as triangles for a Tomb Raider IV level. False (with
// a message, target unchanged) when the file can't be read, holds no mesh or its texels
// can't be packed.
bool ImportMeshFrom3ds(CTrLevel* level, CTrLstMsh* target, const char* path, bool withLights,
                       bool tr4);

// For each material with a texture map, its picture (looked up in folder, then ignoring
// case); a picture that can't be loaded is reported and its faces are dropped.
void LoadMaterialTexturesFrom3ds(Database3ds* db, MaterialTextureMap& map, const char* folder);

// Appends the mesh's vertices (level axes, less offset when given) and, for each material
// group whose material has a picture, one triangle per face with its object texture (noted
// in the material's uses, owner ownerMesh). The counters run across the meshes of one
// record. A vertex or texture coordinate that is no number, or a vertex that does not fit
// 16 bits, refuses the file (RefuseValue3ds) and ends the mesh there.
void AppendMeshFrom3ds(TrMeshRecord* out, Database3ds* db, const Mesh3ds* mesh, int& vertexCount,
                       int& triangleCount, MaterialTextureMap* map, bool tr4, int ownerMesh = 0,
                       const CVector3* offset = nullptr);

// ---- Shared by the imports ----

// An imported file: the database read from it (released at destruction, with the files).
class Import3dsFile {
public:
    Import3dsFile() = default;
    ~Import3dsFile();
    Import3dsFile(const Import3dsFile&) = delete;
    Import3dsFile& operator=(const Import3dsFile&) = delete;

    // Clears the error list, reads the file and the pictures of its materials into map;
    // false (and the "Erreur 3DS" message with the reason) when it can't be read.
    bool Open(const std::string& path, MaterialTextureMap& map);
    Database3ds* db() const { return db_; }
    const std::string& folder() const { return folder_; }

private:
    Database3ds* db_ = nullptr;
    std::string folder_;
};

// Shows an error of an import (error icon, OK).
void ShowImportError3ds(const std::string& text);
// The text of an import step that failed on a toolkit error: "Erreur 3DS:1", what could
// not be read from path, the error list (newest first) and its notes.
std::string ImportFailureText3ds(const std::string& what, const std::string& path);

// Numbers of the file on their way to integers. FitsInteger3ds: the value is a finite
// number that lies in [low, high] once truncated (rounded, with round). RefuseValue3ds: the
// file is refused for one that does not: ERR_INVALID_DATA, and a note of what it was
// ("what is out of range (range)").
bool FitsInteger3ds(double value, double low, double high, bool round = false);
void RefuseValue3ds(const std::string& what, const std::string& range = std::string());
// "(x, y, z)" of a point of the file, for such notes.
std::string PointText3ds(const Point3ds& p);
// Writes the notes of the toolkit's last read to the level log.
void LogImportWarnings3ds(const std::string& path);
// A 3DS vertex in level axes: x = X, y = -Z, z = Y, each truncated, less offset (its parts
// truncated). False when a part is no number or the result does not fit 16 bits.
bool ImportVertex3ds(const Point3ds& p, const CVector3& offset, TrMeshVertex* out);
// Converts the pictures of the used records to ARGB1555.
void ConvertUsedTextures3ds(MaterialTextureMap& map);

}  // namespace lithoscope
