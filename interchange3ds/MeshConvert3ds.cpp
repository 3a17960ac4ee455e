#include "interchange3ds/MeshConvert3ds.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Files3ds.h"
#include "interchange3ds/Material3ds.h"
#include "interchange3ds/Scene3ds.h"
#include "level/MeshRecord.h"
#include "level/TrLstMsh.h"
#include "platform/Files.h"

namespace lithoscope {

std::string ErrorListText3ds() {
    std::string text;
    int count = 0;
    while (count < kErrorSlots3ds && g_ErrorList3ds[count].code != 0) ++count;
    for (int i = count - 1; i >= 0; --i) {
        const char* desc = g_ErrorList3ds[i].desc ? g_ErrorList3ds[i].desc
                                                  : ErrorText3ds(g_ErrorList3ds[i].code);
        text += desc ? desc : "?";
        text += '\n';
    }
    for (const std::string& note : Warnings3ds()) text += note + "\n";
    return text;
}

namespace {

bool Fail(std::string* error) {
    if (error) *error = ErrorListText3ds();
    return false;
}

}  // namespace

bool CreateExportDatabase3ds(Database3ds** db, std::string* error) {
    ClearErrorList3ds();
    if (!db) {
        PushError3ds(ERR_INVALID_ARG);
        return Fail(error);
    }
    InitDatabase3ds(db);
    if (!IsErrorPending3ds()) CreateNewDatabase3ds(*db, 1);
    if (IsErrorPending3ds()) {
        std::string text = ErrorListText3ds();
        if (*db) ReleaseDatabase3ds(db);
        if (error) *error = text;
        return false;
    }

    MeshSettings3ds* settings = nullptr;
    InitMeshSettings3ds(&settings);
    if (IsErrorPending3ds()) return Fail(error);
    settings->ambientLight = {0.15f, 0.15f, 0.15f};
    PutMeshSettings3ds(*db, settings);
    ReleaseMeshSettings3ds(&settings);
    if (IsErrorPending3ds()) return Fail(error);

    Background3ds* background = nullptr;
    InitBackground3ds(&background);
    if (IsErrorPending3ds()) return Fail(error);
    background->gradient.midpoint = 0.5f;
    background->gradient.top = {0.5f, 0, 0};
    background->gradient.middle = {1.0f, 0, 0.5f};
    background->gradient.bottom = {0, 0, 0};
    background->backgroundInUse = USE_GRADIENT_BACKGROUND3DS;
    PutBackground3ds(*db, background);
    ReleaseBackground3ds(&background);
    if (IsErrorPending3ds()) return Fail(error);

    Atmosphere3ds* atmosphere = nullptr;
    InitAtmosphere3ds(&atmosphere);
    if (IsErrorPending3ds()) return Fail(error);
    atmosphere->fog.nearPlane = 0;
    atmosphere->fog.nearDensity = 0;
    atmosphere->fog.farPlane = 100.0f;
    atmosphere->fog.farDensity = 100.0f;
    atmosphere->fog.color = {0.8f, 0, 0};
    atmosphere->fog.fogBackground = 1;
    atmosphere->activeEffect = USE_NO_ATMOSPHERE3DS;
    PutAtmosphere3ds(*db, atmosphere);
    ReleaseMeshSettings3ds(&atmosphere);
    if (IsErrorPending3ds()) return Fail(error);
    return true;
}

bool RenderExportDatabase3ds(Database3ds** db, std::vector<uint8_t>* image, std::string* error) {
    if (!db || !*db || !image) {
        PushError3ds(ERR_INVALID_ARG);
        if (db && *db) ReleaseDatabase3ds(db);
        return Fail(error);
    }
    bool ok = !IsErrorPending3ds();
    if (ok) {
        File3ds* file = CreateMemoryFile3ds("export");
        if (file && !IsErrorPending3ds()) WriteDatabase3ds(file, *db);
        ok = file && !IsErrorPending3ds();
        if (ok) *image = *FileBytes3ds(file);
    }
    std::string text = ok ? std::string() : ErrorListText3ds();
    ReleaseDatabase3ds(db);
    CloseAllFiles3ds();
    if (!ok && error) *error = text;
    return ok;
}

bool SaveExportDatabase3ds(Database3ds** db, const char* path, std::string* error) {
    if (!path) {
        PushError3ds(ERR_INVALID_ARG);
        if (db && *db) ReleaseDatabase3ds(db);
        return Fail(error);
    }
    std::vector<uint8_t> image;
    if (!RenderExportDatabase3ds(db, &image, error)) return false;
    return WriteFileSafely(path, image.data(), image.size(), error);
}

bool WriteExportFiles3ds(const std::string& path, const std::vector<uint8_t>& image,
                         const std::string& texturePath, const CTrObjGfx* page,
                         std::string* error) {
    std::vector<uint8_t> oldPicture;
    const bool hadPicture = page && FileExists(texturePath) && ReadWholeFile(texturePath, oldPicture);
    if (page && !page->ExportTga(texturePath, false, error)) return false;
    if (WriteFileSafely(path, image.data(), image.size(), error)) return true;
    // The picture goes back to what it was.
    if (page) {
        if (hadPicture)
            WriteFileSafely(texturePath, oldPicture.data(), oldPicture.size());
        else
            std::remove(texturePath.c_str());
    }
    return false;
}

std::string ExportTexturePath3ds(const std::string& path, const std::string& textureName) {
    return FolderOf(path) + textureName + ".tga";
}

bool BeginExport3ds(Database3ds** db, const std::string& textureName, std::string* error) {
    if (CreateExportDatabase3ds(db, error) && PutExportMaterial3ds(*db, textureName)) return true;
    const std::string text = ErrorListText3ds();
    if (*db) ReleaseDatabase3ds(db);
    if (error && !text.empty()) *error = text;
    return false;
}

bool PutExportMaterial3ds(Database3ds* db, const std::string& textureName) {
    if (IsErrorPending3ds()) return false;
    // The picture's name must fit the map name's field whole, or the import would not find it.
    const std::string mapName = textureName + ".tga";
    if (!CheckNameLength3ds(mapName, sizeof TextureMap3ds().name - 1, "map name")) return false;
    Material3ds* material = nullptr;
    InitMaterial3ds(&material);
    if (IsErrorPending3ds()) return false;
    std::snprintf(material->name, sizeof material->name, "%s", "tile0");
    material->diffuse = {0.999f, 0.999f, 0.999f};
    material->shading = 3;
    InitTextureMap3ds(&material->texture1());
    std::snprintf(material->texture1().name, sizeof material->texture1().name, "%s", mapName.c_str());
    material->texture1().percent = 1.0f;
    if (!IsErrorPending3ds()) PutMaterial3ds(db, material);
    ReleaseMaterial3ds(&material);
    return !IsErrorPending3ds();
}

namespace {

// A corner's place on the page: its pixel, whatever its coordinate byte. The byte says on
// which side of that pixel the corner lies (a level's 1: its low edge, 255: its high edge);
// the import gives it back from the corner's place in its face, so the pixels and bytes of a
// level's face come back as they were.
TexVert3ds TextureCoordinate(const TrObjectTextureRecord& t, int corner, uint32_t w, uint32_t h) {
    const uint8_t* c = t.corner(corner);
    const float x = float(c[1]);
    const float y = float(c[3] + 256 * int(t.page() & 0xFF));
    TexVert3ds out;
    out.u = w > 1 ? x / float(w - 1) : 0.0f;
    out.v = h > 1 ? 1.0f - y / float(h - 1) : 0.0f;
    return out;
}

struct ExportFace {
    uint16_t corner[3];  // vertex indices of the mesh
    int texCorner[3];    // corners of the object texture
    uint16_t texture;
};

}  // namespace

bool WriteMeshObjectTo3ds(Database3ds* db, const char* name, const CTrObjGfx* page,
                          const TrMeshRecord* mesh, float ox, float oy, float oz) {
    if (!db || !name || !page || !mesh) {
        PushError3ds(ERR_INVALID_ARG);
        return false;
    }
    if (IsErrorPending3ds()) return false;
    const size_t vertexCount = mesh->vertices.size();
    std::vector<ExportFace> faces;
    auto valid = [&](const auto& face, std::initializer_list<int> corners) {
        for (int k : corners)
            if (face.vertex(k) >= vertexCount) return false;
        return true;
    };
    // Rectangles from the last to the first, two faces each; then the triangles.
    for (size_t i = mesh->texturedRectangles.size(); i-- > 0;) {
        const TrMeshRectangle& r = mesh->texturedRectangles[i];
        if (!valid(r, {0, 1, 2, 3})) continue;
        const uint16_t tex = uint16_t(r.texture() & 0x7FFF);
        faces.push_back({{r.vertex(2), r.vertex(1), r.vertex(0)}, {2, 1, 0}, tex});
        faces.push_back({{r.vertex(2), r.vertex(0), r.vertex(3)}, {2, 0, 3}, tex});
    }
    for (size_t i = mesh->texturedTriangles.size(); i-- > 0;) {
        const TrMeshTriangle& t = mesh->texturedTriangles[i];
        if (!valid(t, {0, 1, 2})) continue;
        faces.push_back({{t.vertex(2), t.vertex(1), t.vertex(0)}, {2, 1, 0},
                         uint16_t(t.texture() & 0x7FFF)});
    }
    if (faces.empty() || vertexCount == 0) return false;
    if (!CheckNameLength3ds(name, sizeof Mesh3ds().name - 1, "object name")) return false;
    // Each face has vertices of its own: the counts are 16-bit in the file.
    if (faces.size() * 3 > 0xFFFF) {
        PushError3ds(ERR_INVALID_DATA);
        return false;
    }
    const uint16_t f = uint16_t(faces.size());
    Mesh3ds* out = nullptr;
    InitMesh3ds(&out, uint16_t(3 * f), f, MESH_TEXTURE_VERTICES3DS);
    if (IsErrorPending3ds()) {
        ReleaseMesh3ds(&out);
        return false;
    }
    std::snprintf(out->name, sizeof out->name, "%s", name);
    out->materialGroups.resize(1);
    std::snprintf(out->materialGroups[0].name, sizeof out->materialGroups[0].name, "%s", "tile0");
    out->materialGroups[0].faces.reserve(f);
    const TrObjectTextureRecord none{};
    for (uint16_t i = 0; i < f; ++i) {
        const ExportFace& face = faces[i];
        const TrObjectTextureRecord& texture =
            face.texture < page->textures.size() ? page->textures[face.texture] : none;
        for (int k = 0; k < 3; ++k) {
            const TrMeshVertex& v = mesh->vertices[face.corner[k]];
            Point3ds& p = out->vertices[size_t(3 * i + k)];
            p.x = float(v.x) + ox;
            p.y = float(v.z) + oz;
            p.z = -(float(v.y) + oy);
            out->textureVertices[size_t(3 * i + k)] =
                TextureCoordinate(texture, face.texCorner[k], page->width, page->height);
        }
        out->faces[i] = {uint16_t(3 * i), uint16_t(3 * i + 1), uint16_t(3 * i + 2), 7};
        out->materialGroups[0].faces.push_back(i);
    }
    ComputeMeshBounds3ds(out);
    if (!IsErrorPending3ds()) {
        out->localMatrix[9] = ox;
        out->localMatrix[10] = oz;
        out->localMatrix[11] = -oy;
        PutMesh3ds(db, out);
    }
    ReleaseMesh3ds(&out);
    return !IsErrorPending3ds();
}

const char* const kNothingToExport3ds =
    "This mesh has nothing to draw (it has no faces): there is nothing to export to a 3DS file.";

bool HasFacesToExport3ds(const TrMeshRecord& mesh) {
    return !mesh.vertices.empty() &&
           (!mesh.texturedRectangles.empty() || !mesh.texturedTriangles.empty());
}

bool ExportMeshTo3ds(CTrLstMsh* list, int meshIndex, const char* path, const char* textureName,
                     std::string* error) {
    if (!list || !path || !textureName || meshIndex < 0 || size_t(meshIndex) >= list->meshes.size()) {
        if (error) *error = "there is no such mesh to export";
        return false;
    }
    const TrMeshRecord& mesh = list->meshes[size_t(meshIndex)];
    if (!HasFacesToExport3ds(mesh)) {
        if (error) *error = kNothingToExport3ds;
        return false;
    }
    Database3ds* db = nullptr;
    if (!BeginExport3ds(&db, textureName, error)) return false;
    if (!WriteMeshObjectTo3ds(db, "M", list, &mesh, 0, 0, 0)) {
        // No face on vertices of its own, or a toolkit error.
        const std::string text = IsErrorPending3ds() ? ErrorListText3ds() : kNothingToExport3ds;
        ReleaseDatabase3ds(&db);
        if (error) *error = text;
        return false;
    }
    std::vector<uint8_t> image;
    if (!RenderExportDatabase3ds(&db, &image, error)) return false;
    return WriteExportFiles3ds(path, image, ExportTexturePath3ds(path, textureName), list, error);
}

}  // namespace lithoscope
