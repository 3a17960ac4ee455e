#include "interchange3ds/MeshConvert3ds.h"

#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Files3ds.h"
#include "interchange3ds/Scene3ds.h"

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

bool SaveExportDatabase3ds(Database3ds** db, const char* path, std::string* error) {
    if (!db || !*db || !path) {
        PushError3ds(ERR_INVALID_ARG);
        if (db && *db) ReleaseDatabase3ds(db);
        return Fail(error);
    }
    bool ok = !IsErrorPending3ds();
    if (ok) {
        File3ds* file = OpenFile3ds(path, "w");
        if (file && !IsErrorPending3ds()) WriteDatabase3ds(file, *db);
        CloseAllFiles3ds();
        ok = !IsErrorPending3ds();
    }
    std::string text = ok ? std::string() : ErrorListText3ds();
    ReleaseDatabase3ds(db);
    if (!ok && error) *error = text;
    return ok;
}

}  // namespace lithoscope
