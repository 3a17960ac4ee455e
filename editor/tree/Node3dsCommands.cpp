// The 3D Studio commands of the tree: export and import of a mesh, a static mesh and a
// moveable, and new moveables and static meshes from 3DS files.
#include <wx/utils.h>

#include "editor/common/EditorMessages.h"
#include "editor/common/ModalHook.h"
#include "editor/dialogs/DlgImport3ds.h"
#include "editor/dialogs/DlgObjects.h"
#include "editor/tree/HandleCollections.h"
#include "editor/tree/NodeHandlers.h"
#include "interchange3ds/MeshConvert3ds.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/GameCatalog.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

const char k3dsFilter[] = "3DS files (*.3ds)|*.3ds||";

// The picture of an export is named after the file: its name without extension, cut to
// its last 8 characters.
std::string TextureNameFor(const std::string& path) {
    std::string stem = StemOf(path);
    return stem.size() > 8 ? stem.substr(stem.size() - 8) : stem;
}

bool IsTr4(const CTrLevel* level) { return level && level->version == TrVersion4; }

void ReportExportFailure(const std::string& path, const std::string& error) {
    ShowError("Could not export the 3DS file " + path +
              (error.empty() ? std::string() : ":\n\n" + error));
}

}  // namespace

// ---- mesh and static mesh ----

bool CHandleMesh::ExportMesh3ds(const std::string& chosenPath) {
    std::unique_ptr<CTrLstMsh> one;
    CTrLstMsh* list = StaticMesh();
    int index = m_nMeshIndex;
    if (!list && (one = OneMeshList())) {
        list = one.get();
        index = 0;
    }
    // Said before a file is asked for: nothing would be written.
    if (list && index >= 0 && size_t(index) < list->meshes.size() &&
        !HasFacesToExport3ds(list->meshes[size_t(index)])) {
        ShowError(kNothingToExport3ds);
        return false;
    }
    const std::string path = chosenPath.empty() ? AskSavePath(*this, k3dsFilter, "3ds") : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    std::string error = list ? "" : "the mesh is gone";
    const bool ok = list && ExportMeshTo3ds(list, index, path.c_str(), TextureNameFor(path).c_str(), &error);
    if (!ok) ReportExportFailure(path, error);
    return ok;
}

bool CHandleMesh::ImportMesh3ds(const std::string& chosenPath) {
    const std::string path = chosenPath.empty() ? ChooseOpenFile(k3dsFilter) : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    CTrLstMsh list;
    // Static meshes are lit by vertex lights, a moveable's meshes by normals.
    if (!ImportMeshFrom3ds(m_pLevel, &list, path.c_str(), m_bStatic, IsTr4(m_pLevel))) return false;
    bool ok = false;
    if (CTrStatMsh* sm = StaticMesh()) {
        TakeImportedStaticMesh3ds(*sm, list);
        ok = true;
    } else if (CTrMvb* mvb = Moveable()) {
        const int32_t id = mvb->objectId;
        ok = ReplaceMeshFrom3ds(*mvb, m_nMeshIndex, list);
        mvb->objectId = id;
    }
    if (ok) {
        OnModified(true);
        ShowInPane(m_szName);
    }
    return ok;
}

// ---- moveable ----

bool CHandleMoveable::ExportMoveable3ds(const std::string& chosenPath) {
    CTrMvb* mvb = Moveable();
    if (!mvb) return false;
    CExportMvbl picker(mvb->animations.get(), CurrentAnimation(), DialogParent());
    if (RunModalDialog(picker) != wxID_OK) return false;
    const int anim = picker.m_nSelectedAnim;
    const std::string path = chosenPath.empty() ? AskSavePath(*this, k3dsFilter, "3ds") : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    std::string error;
    bool drawn = false;
    if (!ExportMoveableTo3ds(mvb, path.c_str(), TextureNameFor(path).c_str(), m_pLevel, anim, &error,
                             &drawn)) {
        ReportExportFailure(path, error);
        return false;
    }
    if (!drawn) ShowMessage(kNoMeshInMoveable3ds, kEditorCaption, MsgButtons::Ok, MsgIcon::Information);
    return true;
}

bool CHandleMoveable::ImportMoveable3ds(const std::string& chosenPath) {
    CTrMvb* mvb = Moveable();
    if (!mvb) return false;
    CImport3DS dialog(mvb->animations.get(), CurrentAnimation(), DialogParent());
    if (RunModalDialog(dialog) != wxID_OK) return false;
    const std::string path = chosenPath.empty() ? ChooseOpenFile(k3dsFilter) : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    CTrMvb imported;
    if (!ImportMoveableFrom3ds(&imported, path.c_str(), false, IsTr4(m_pLevel))) return false;
    const CImport3dsOptions& choice = dialog.m_options;
    const bool meshesTaken = choice.meshes && !choice.animation;
    // The mesh children hold indices into the meshes that go.
    if (meshesTaken && m_bExpanded) DeleteChildren();
    const bool changed =
        ApplyMoveableImport3ds(*mvb, imported, choice, m_pLevel ? m_pLevel->version : -1);
    if (meshesTaken) {
        if (changed)
            mvb->SetCatalogEntry(
                GetCatalog().GetMoveableEntry(GetGameIndex(), GetLevelName(), mvb->objectId));
        RebuildMeshChildren();
    }
    OnModified(true);
    ShowInPane(m_szName);
    return changed;
}

// ---- collections ----

void CHandleMoveables::ImportNewMoveableFrom3ds() {
    if (!m_pLevel) return;
    const std::string path = ChooseOpenFile(k3dsFilter);
    if (path.empty()) return;
    ObjPtr<CTrMvb> mvb(new CTrMvb);
    {
        wxBusyCursor wait;
        if (!ImportMoveableFrom3ds(mvb.get(), path.c_str(), false, IsTr4(m_pLevel))) return;
    }
    if (!ImportedMeshesFit3ds(*mvb, mvb->meshCount(), m_pLevel->version)) return;
    CDlgGetObjId ask(nullptr);
    if (RunModalDialog(ask) != wxID_OK) return;
    mvb->objectId = ask.m_nObjectId;
    mvb->SetCatalogEntry(GetCatalog().GetMoveableEntry(GetGameIndex(), GetLevelName(), mvb->objectId));
    m_pLevel->moveableList.push_back(std::move(mvb));
    SetModified();
    RepopulateCollection(HandleTypeMoveables);
}

void CHandleStaticMeshes::ImportNewStaticMeshFrom3ds() {
    if (!m_pLevel) return;
    const std::string path = ChooseOpenFile(k3dsFilter);
    if (path.empty()) return;
    {
        wxBusyCursor wait;
        CTrLstMsh list;
        if (ImportMeshFrom3ds(m_pLevel, &list, path.c_str(), false, IsTr4(m_pLevel))) {
            ObjPtr<CTrStatMsh> mesh(new CTrStatMsh);
            TakeImportedStaticMesh3ds(*mesh, list);
            mesh->objectId = 0;
            m_pLevel->staticMeshList.push_back(std::move(mesh));
            SetModified();
        }
    }
    RepopulateCollection(HandleTypeStaticMeshes);
}

}  // namespace lithoscope
