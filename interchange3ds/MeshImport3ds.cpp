// Meshes read from 3D Studio files: vertices in level axes, one triangle per textured face,
// object textures on the materials' pictures.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Files3ds.h"
#include "interchange3ds/Material3ds.h"
#include "interchange3ds/MeshConvert3ds.h"
#include "level/Fragment.h"
#include "level/ImportTextures.h"
#include "level/LevelLog.h"
#include "level/Maths.h"
#include "level/MeshRecord.h"
#include "level/Pixels.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/System.h"

namespace lithoscope {

namespace {

constexpr int kMaxPictureWidth = 256;  // a page is 256 pixels wide at most
constexpr int kMaxPictureRows = 32768; // rows a stack of bands can address
// Coordinate bytes: a corner on its face's low edge, on its high edge, or inside.
constexpr uint8_t kLowEdge = 1;
constexpr uint8_t kHighEdge = 255;
constexpr uint8_t kInside = 127;

// A picture too wide for a page (or too tall for its bands) is reduced by a whole factor,
// averaging the pixels of each block.
void FitPicture(ImportTextureRecord& record) {
    int factor = 1;
    while ((record.width + factor - 1) / factor > kMaxPictureWidth ||
           (record.height + factor - 1) / factor > kMaxPictureRows)
        ++factor;
    if (factor == 1) return;
    const int w = (record.width + factor - 1) / factor;
    const int h = (record.height + factor - 1) / factor;
    std::vector<uint8_t> out(size_t(w) * size_t(h) * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            unsigned sum[4] = {0, 0, 0, 0};
            unsigned n = 0;
            for (int sy = y * factor; sy < std::min(record.height, (y + 1) * factor); ++sy) {
                for (int sx = x * factor; sx < std::min(record.width, (x + 1) * factor); ++sx) {
                    const uint8_t* p = &record.pixels[(size_t(sy) * size_t(record.width) + size_t(sx)) * 4];
                    for (int c = 0; c < 4; ++c) sum[c] += p[c];
                    ++n;
                }
            }
            uint8_t* q = &out[(size_t(y) * size_t(w) + size_t(x)) * 4];
            for (int c = 0; c < 4; ++c) q[c] = uint8_t(n ? sum[c] / n : 0);
        }
    }
    record.pixels.swap(out);
    record.width = w;
    record.height = h;
}

// The whole repeats of the picture to take off the coordinates of a face that lies outside
// it: none for a face on the picture, its edges (0 and 1) included.
float RepeatShift(float a, float b, float c) {
    const float low = std::min(std::min(a, b), c), high = std::max(std::max(a, b), c);
    if (!std::isfinite(low) || (low >= 0.0f && high <= 1.0f)) return 0.0f;
    return std::floor(low);
}

// Texture coordinates of one face: a face that lies wholly in another repeat of the picture
// is brought back into it; what still lies outside is clamped to the picture. False for a
// coordinate that is no number.
bool FaceTexels(const TexVert3ds (&uv)[3], int width, int height, int (&x)[3], int (&y)[3]) {
    for (const TexVert3ds& t : uv)
        if (!std::isfinite(t.u) || !std::isfinite(t.v)) return false;
    const float shiftU = RepeatShift(uv[0].u, uv[1].u, uv[2].u);
    const float shiftV = RepeatShift(uv[0].v, uv[1].v, uv[2].v);
    for (int k = 0; k < 3; ++k) {
        float u = uv[k].u - shiftU, v = uv[k].v - shiftV;
        u = std::isfinite(u) ? std::min(std::max(u, 0.0f), 1.0f) : 0.0f;
        v = std::isfinite(v) ? std::min(std::max(v, 0.0f), 1.0f) : 0.0f;
        // Rounded: the exported coordinates come back to the pixels they came from.
        x[k] = int(std::lround(float(width - 1) * u));
        y[k] = int(std::lround((1.0f - v) * float(height - 1)));
    }
    return true;
}

// The coordinate byte of a corner at pixel on one axis of a face spanning low to high, as the
// levels write it: 1 on the low edge, 255 on the high edge (Tomb Raider IV files hold 0 for
// 1: the save writes it so). A face one pixel wide there has its corners on the high edge,
// as a level's are once loaded.
uint8_t EdgeCoordinate(int pixel, int low, int high) {
    if (pixel == high) return kHighEdge;
    return pixel == low ? kLowEdge : kInside;
}

}  // namespace

void ShowImportError3ds(const std::string& text) {
    ShowMessage(text, "Lithoscope", MsgButtons::Ok, MsgIcon::Error);
}

void LogImportWarnings3ds(const std::string& path) {
    for (const std::string& warning : Warnings3ds()) {
        const std::string line = "WARNING: 3DS file " + path + ": " + warning;
        AppendLogLine(line);
        std::fprintf(stderr, "%s\n", line.c_str());
    }
}

std::string ImportFailureText3ds(const std::string& what, const std::string& path) {
    return StrFormat("Erreur 3DS:%ld\n", 1L) + "\nCould not read the " + what + " of " + path + ":\n" +
           ErrorListText3ds();
}

bool FitsInteger3ds(double value, double low, double high, bool round) {
    if (!std::isfinite(value)) return false;
    const double whole = round ? std::round(value) : std::trunc(value);
    return whole >= low && whole <= high;
}

std::string PointText3ds(const Point3ds& p) {
    return StrFormat("(%g, %g, %g)", double(p.x), double(p.y), double(p.z));
}

void RefuseValue3ds(const std::string& what, const std::string& range) {
    PushWarning3ds(what + " is out of range" + (range.empty() ? std::string() : " (" + range + ")"));
    PushError3ds(ERR_INVALID_DATA);
}

bool ImportVertex3ds(const Point3ds& p, const CVector3& offset, TrMeshVertex* out) {
    // In double: a float's whole part and the difference are exact there.
    const double level[3] = {std::trunc(double(p.x)) - std::trunc(double(offset.x)),
                             -std::trunc(double(p.z)) - std::trunc(double(offset.y)),
                             std::trunc(double(p.y)) - std::trunc(double(offset.z))};
    for (double v : level)
        if (!FitsInteger3ds(v, -32768, 32767)) return false;
    *out = {int16_t(level[0]), int16_t(level[1]), int16_t(level[2])};
    return true;
}

Import3dsFile::~Import3dsFile() {
    if (db_) ReleaseDatabase3ds(&db_);
    CloseAllFiles3ds();
}

bool Import3dsFile::Open(const std::string& path, MaterialTextureMap& map) {
    ClearErrorList3ds();
    folder_ = FolderOf(path);
    File3ds* file = OpenFile3ds(path.c_str(), "rw");
    if (file && !IsErrorPending3ds()) InitDatabase3ds(&db_);
    if (file && db_ && !IsErrorPending3ds()) ReadDatabase3ds(file, db_);
    if (!IsErrorPending3ds() && db_ && GetDatabaseKind3ds(db_) != DbMeshFile3ds &&
        GetDatabaseKind3ds(db_) != DbProjectFile3ds)
        PushError3ds(ERR_WRONG_DATABASE);
    if (!IsErrorPending3ds()) {
        LoadMaterialTexturesFrom3ds(db_, map, folder_.c_str());
        return true;
    }
    ShowImportError3ds(StrFormat("Erreur 3DS:%ld\n", 1L) + "\nCould not read the 3DS file " +
                       path + ":\n" + ErrorListText3ds());
    if (db_) ReleaseDatabase3ds(&db_);
    CloseAllFiles3ds();
    return false;
}

void LoadMaterialTexturesFrom3ds(Database3ds* db, MaterialTextureMap& map, const char* folder) {
    if (!db || IsErrorPending3ds()) return;
    const std::string dir = folder ? folder : "";
    const uint32_t count = GetMaterialCount3ds(db);
    for (uint32_t i = count; i-- > 0 && !IsErrorPending3ds();) {
        Material3ds* material = nullptr;
        GetMaterialByIndex3ds(db, i, &material);
        if (IsErrorPending3ds() || !material) {
            ReleaseMaterial3ds(&material);
            return;
        }
        const std::string mapName = FieldText3ds(material->texture1().name, sizeof material->texture1().name);
        const std::string materialName = FieldText3ds(material->name, sizeof material->name);
        ReleaseMaterial3ds(&material);
        if (mapName.empty()) continue;
        auto record = std::make_unique<ImportTextureRecord>();
        record->mapFileName = mapName;
        std::string picture = dir + mapName;
        if (!FileExists(picture)) {
            std::string found = FindFileNoCase(dir.empty() ? "." : dir, mapName);
            if (!found.empty()) picture = found;
        }
        if (LoadPictureRGBA(picture, &record->width, &record->height, &record->pixels) != 0) {
            ShowMessage(StrFormat("Error loading the texture '%s' for material '%s'. Polys using "
                                  "this material won't be imported !",
                                  (dir + mapName).c_str(), materialName.c_str()),
                        "Lithoscope", MsgButtons::Ok, MsgIcon::Warning);
            continue;
        }
        FitPicture(*record);
        map.records[materialName] = std::move(record);
    }
}

void AppendMeshFrom3ds(TrMeshRecord* out, Database3ds*, const Mesh3ds* mesh, int& vertexCount,
                       int& triangleCount, MaterialTextureMap* map, bool tr4, int ownerMesh,
                       const CVector3* offset) {
    if (!out || !mesh) return;
    const int base = vertexCount;
    const CVector3 by = offset ? *offset : CVector3();
    const std::string name = FieldText3ds(mesh->name, sizeof mesh->name);
    for (uint32_t i = 0; i < mesh->vertexCount(); ++i) {
        const size_t at = size_t(base) + i;
        if (at >= out->vertices.size()) break;
        const Point3ds& p = mesh->vertices[i];
        if (!ImportVertex3ds(p, by, &out->vertices[at])) {
            RefuseValue3ds(StrFormat("vertex %u of the mesh %s ", unsigned(i), name.c_str()) + PointText3ds(p));
            return;
        }
    }
    vertexCount += int(mesh->vertexCount());
    if (!map) return;
    for (const MaterialGroup3ds& group : mesh->materialGroups) {
        auto it = map->records.find(FieldText3ds(group.name, sizeof group.name));
        const int n = int(group.faces.size());
        if (it == map->records.end() || n == 0) continue;
        ImportTextureRecord& record = *it->second;
        record.used = true;
        record.uses.emplace_back();
        ImportTextureUse& use = record.uses.back();
        use.ownerMesh = ownerMesh;
        use.count = n;
        use.firstTriangle = triangleCount;
        use.countAgain = n;
        use.objectTextures.assign(size_t(n), TrObjectTextureRecord{});
        for (int j = 0; j < n; ++j) {
            const uint16_t f = group.faces[size_t(j)];
            if (size_t(triangleCount) >= out->texturedTriangles.size() || f >= mesh->faces.size()) {
                // No room or no such face: the group ends here.
                use.count = use.countAgain = j;
                use.objectTextures.resize(size_t(j));
                break;
            }
            const Face3ds& face = mesh->faces[f];
            TrMeshTriangle& tri = out->texturedTriangles[size_t(triangleCount)];
            tri.setVertex(0, uint16_t(face.c + base));
            tri.setVertex(1, uint16_t(face.b + base));
            tri.setVertex(2, uint16_t(face.a + base));
            tri.setTexture(uint16_t(j & 0x3FFF));
            tri.setEffects(0);

            // Corners 0, 1, 2 take the texture coordinates of face corners c, b, a.
            const uint16_t corners[3] = {face.c, face.b, face.a};
            TexVert3ds uv[3];
            for (int k = 0; k < 3; ++k)
                uv[k] = corners[k] < mesh->textureVertices.size() ? mesh->textureVertices[corners[k]]
                                                                  : TexVert3ds{0, 0};
            int px[3], py[3];
            if (!FaceTexels(uv, record.width, record.height, px, py)) {
                RefuseValue3ds(StrFormat("a texture coordinate of face %u of the mesh %s", unsigned(f),
                                         name.c_str()));
                use.count = use.countAgain = j;
                use.objectTextures.resize(size_t(j));
                return;
            }
            // The picture is a stack of 256-row bands: the face's band goes into the tile.
            const int band = std::min(std::min(py[0], py[1]), py[2]) / 256;
            TrObjectTextureRecord& t = use.objectTextures[size_t(j)];
            t.setU16(0, 0);
            t.setU16(2, uint16_t((tr4 ? 0x8000 : 0) | (band & 0xFF)));
            int cx[3], cy[3];
            for (int k = 0; k < 3; ++k) {
                cx[k] = std::min(std::max(px[k], 0), 255);
                cy[k] = std::min(std::max(py[k] - band * 256, 0), 255);
            }
            const int minX = std::min(std::min(cx[0], cx[1]), cx[2]);
            const int maxX = std::max(std::max(cx[0], cx[1]), cx[2]);
            const int minY = std::min(std::min(cy[0], cy[1]), cy[2]);
            const int maxY = std::max(std::max(cy[0], cy[1]), cy[2]);
            // Each corner on the pixel of its coordinates, its bytes telling the edge of the
            // face it lies on: the face covers its pixels out to their edges, as a level's do.
            for (int k = 0; k < 3; ++k) {
                uint8_t* c = t.corner(k);
                c[0] = EdgeCoordinate(cx[k], minX, maxX);
                c[1] = uint8_t(cx[k]);
                c[2] = EdgeCoordinate(cy[k], minY, maxY);
                c[3] = uint8_t(cy[k]);
            }
            t.setU32(30, uint32_t(maxX - minX));
            t.setU32(34, uint32_t(maxY - minY));
            ++triangleCount;
        }
    }
}

void ConvertUsedTextures3ds(MaterialTextureMap& map) {
    for (auto& entry : map.records) {
        ImportTextureRecord& r = *entry.second;
        if (!r.used) continue;
        r.pixels16.assign(size_t(r.width) * size_t(r.height), 0);
        ConvertRgbaPixels(r.pixels16.data(), r.width, r.height, false, r.pixels.data());
        std::vector<uint8_t>().swap(r.pixels);
    }
}

bool ImportMeshFrom3ds(CTrLevel* level, CTrLstMsh* target, const char* path, bool withLights,
                       bool tr4) {
    if (!target || !path) return false;
    Import3dsFile file;
    MaterialTextureMap map;
    if (!file.Open(path, map)) return false;
    Database3ds* db = file.db();

    const uint32_t meshCount = GetMeshCount3ds(db);
    std::vector<Mesh3ds*> meshes;
    size_t vertexSum = 0, faceSum = 0;
    for (uint32_t i = 0; i < meshCount && !IsErrorPending3ds(); ++i) {
        Mesh3ds* mesh = nullptr;
        GetMeshByIndex3ds(db, i, &mesh);
        if (mesh) {
            vertexSum += mesh->vertexCount();
            faceSum += mesh->faceCount();
            meshes.push_back(mesh);
        }
    }
    auto release = [&] {
        for (Mesh3ds*& m : meshes) ReleaseMesh3ds(&m);
    };
    if (IsErrorPending3ds()) {
        ShowImportError3ds(ImportFailureText3ds("meshes", path));
        release();
        return false;
    }
    if (meshes.empty()) {
        ShowImportError3ds("The 3DS file " + std::string(path) + " holds no mesh: nothing was imported.");
        release();
        return false;
    }
    if (vertexSum > 0xFFFF || faceSum > 0xFFFF) {
        ShowImportError3ds(StrFormat("The 3DS file %s holds too many vertices or faces for one "
                                     "mesh (%ld vertices, %ld faces; a mesh holds 32767 of each).",
                                     path, long(vertexSum), long(faceSum)));
        release();
        return false;
    }
    std::vector<TrMeshRecord> records(1);
    TrMeshRecord& record = records[0];
    // A 3DS file holds no lights: vertex lights start full, as the exported mesh was drawn.
    // Lights in memory are brightness in every version (the darkness values of Tomb Raider I
    // and II files are turned around at load and save), so no version starts dark.
    record.Init(int(std::min<size_t>(vertexSum, 0x7FFFFFFF)), int(std::min<size_t>(faceSum, 0x7FFFFFFF)),
                0, withLights, true);
    int vertexCount = 0, triangleCount = 0;
    for (Mesh3ds* mesh : meshes)
        if (!IsErrorPending3ds()) AppendMeshFrom3ds(&record, db, mesh, vertexCount, triangleCount, &map, tr4, 0);
    release();
    if (IsErrorPending3ds()) {
        ShowImportError3ds(ImportFailureText3ds("meshes", path));
        return false;
    }
    record.FinishBuild(triangleCount, withLights);
    if (record.vertices.size() > 0x7FFF || record.texturedTriangles.size() > 0x7FFF) {
        ShowImportError3ds(StrFormat("The 3DS file %s holds too many vertices or faces for one "
                                     "mesh (%ld vertices, %ld faces; a mesh holds 32767 of each).",
                                     path, long(record.vertices.size()),
                                     long(record.texturedTriangles.size())));
        return false;
    }
    ConvertUsedTextures3ds(map);
    CTrLstMsh imported;
    try {
        imported.SetImportedMeshes(std::move(records), map);
    } catch (const FragmentPackError& e) {
        ShowImportError3ds("Could not import " + std::string(path) +
                           ": its textures can't be laid out on a page (" + e.what() + ").");
        return false;
    }
    LogImportWarnings3ds(path);
    target->Clear(true);
    target->TakeOver(imported);
    return true;
}

}  // namespace lithoscope
