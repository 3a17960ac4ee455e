#pragma once
// Mesh lists (.trmsh) and static meshes (.trsmh): meshes with a texture page of their own.
#include <memory>
#include <vector>

#include "level/Maths.h"
#include "level/MeshRecord.h"
#include "level/TrObjects.h"

namespace lithoscope {

class CTrLevel;
struct MaterialTextureMap;

// A box in object files: min x, y, z, then max x, y, z as floats.
void ReadBox(ByteReader& in, BoundingBox& b);
void WriteBox(ByteWriter& out, const BoundingBox& b);

class CTrLstMsh : public CTrObjGfx {
public:
    CTrLstMsh() = default;
    // Deep copy; every copied mesh is marked non-dummy.
    CTrLstMsh(const CTrLstMsh& source);
    // One mesh of another list with a page holding only what it uses (header zeroed). An
    // index out of range gives an empty list.
    CTrLstMsh(const CTrLstMsh& source, int meshIndex, int pageWidth, int pageHeight);
    // From an object-file image; a short or damaged buffer throws.
    explicit CTrLstMsh(const std::vector<uint8_t>& buffer);
    explicit CTrLstMsh(ByteReader& in);
    explicit CTrLstMsh(ByteReader&& in);
    CTrLstMsh& operator=(const CTrLstMsh&) = delete;

    static std::unique_ptr<CTrLstMsh> LoadFile(const std::string& path) {
        return LoadObjectFile<CTrLstMsh>(path);
    }

    int GetSize() const override;
    void Clear(bool chain) override;
    virtual void GetBoundingBox(BoundingBox* out, int meshIndex, const CMatrix4* transform) const {
        ComputeBoundingBox(meshIndex, out, transform);
    }

    // Copies of the sources (null: an empty dummy mesh); boxes computed.
    void SetMeshes(const std::vector<const TrMeshRecord*>& sources);
    // SetMeshes, then a page of their textures cut from the level's pages; TR1 and TR2
    // lights become 8192 minus the level's value.
    void SetMeshesFromLevel(CTrLevel& level, const std::vector<const TrMeshRecord*>& levelMeshes,
                            int pageWidth, int pageHeight);
    // Clears the list, takes the imported meshes and builds the page from the materials'
    // pictures they use. Throws FragmentPackError when the texels can't be packed.
    void SetImportedMeshes(std::vector<TrMeshRecord>&& imported, MaterialTextureMap& map);
    // Puts mesh sourceIndex of source in place of mesh targetIndex, with one page for the
    // kept meshes and the new one. False (nothing changed) when an index is out of range.
    bool ReplaceMesh(const CTrLstMsh& source, int sourceIndex, unsigned targetIndex);
    // Meshes that are dummies in the other list become empty dummies here.
    void CopyDummyMeshes(const CTrLstMsh& other);
    void ClearMesh(unsigned index);
    void TakeOver(CTrLstMsh& donor);
    // Box of one mesh (-1: all) in display space; transform may be null.
    void ComputeBoundingBox(int meshIndex, BoundingBox* out, const CMatrix4* transform) const;

    // The page as 16-bit pixels (pages of another depth are converted).
    std::vector<uint16_t> Page16() const;

    uint32_t meshCount() const { return uint32_t(meshes.size()); }
    std::vector<TrMeshRecord> meshes;

protected:
    void SerializeParts(ByteWriter& out) const override;
    void ReadMeshPart(ByteReader& in);
};

class CTrStatMsh : public CTrLstMsh {
public:
    CTrStatMsh() { format = 2; kind = TrKindStaticMesh; }
    CTrStatMsh(const TrStaticMeshRecord& record, CTrLevel& level);
    // From an object-file image: rejected (RejectedObjectBuffer) unless its format is 2.
    explicit CTrStatMsh(const std::vector<uint8_t>& buffer);

    static std::unique_ptr<CTrStatMsh> LoadFile(const std::string& path) {
        return LoadObjectFile<CTrStatMsh>(path);
    }

    int GetSize() const override;
    void Clear(bool chain) override;
    void TakeOver(CTrStatMsh& donor);

    BoundingBox visibilityBox;
    BoundingBox collisionBox;
    uint16_t flags = 0;

protected:
    void SerializeParts(ByteWriter& out) const override;
};

}  // namespace lithoscope
