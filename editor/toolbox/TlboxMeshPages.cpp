#include "editor/toolbox/TlboxMeshPages.h"

#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/spinbutt.h>
#include <wx/statbox.h>

#include "editor/panes/EditGfx.h"
#include "editor/toolbox/TlboxControls.h"
#include "editor/tree/NodeHandlers.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"

namespace lithoscope {

namespace {

constexpr int kNumberWidth = 60;
constexpr int kBoxWidth = 54;
constexpr int kGap = 6;

wxStaticBoxSizer* Group(wxWindow* parent, const char* title, int orient = wxVERTICAL) {
    return new wxStaticBoxSizer(orient, parent, title);
}

wxButton* ShowButton(wxWindow* parent) { return TwoStateButton(parent, "Show", "Hide"); }

}  // namespace

CTlboxMeshMain::CTlboxMeshMain(wxWindow* sheet, CToolboxBase* owner)
    : CToolboxItfBase(sheet, owner, "Mesh"), m_link(*owner) {
    m_logic.SetModifiedHandler([owner] { owner->MarkModified(); });

    // Infos: the label, object id, dummy flag and counts.
    wxStaticBoxSizer* infos = Group(this, "Infos");
    wxWindow* box = infos->GetStaticBox();
    m_pLabel = ValueText(box, "Static mesh #0000");
    m_pObjectId = NewObjectIdEdit(
        box, kNumberWidth, [this](const std::string& text) { return m_logic.SetObjectIdText(text); },
        [this] { ShowValues(); });
    m_pDummy = new wxCheckBox(box, wxID_ANY, "dummy mesh");
    m_pVertices = ValueText(box, "000000");
    m_pTriangles = ValueText(box, "000000");
    m_pQuads = ValueText(box, "000000");
    m_pExtents = ValueText(box, "-00000,-00000,-00000");
    m_pShowVertices = ShowButton(box);
    infos->Add(m_pLabel, 0, wxBOTTOM, 2);
    auto* counts = new wxFlexGridSizer(2, 2, kGap);
    counts->Add(Label(box, "Object Id:"), 0, wxALIGN_CENTER_VERTICAL);
    counts->Add(m_pObjectId);
    counts->AddSpacer(0);
    counts->Add(m_pDummy);
    counts->Add(Label(box, "Vertices:"), 0, wxALIGN_CENTER_VERTICAL);
    auto* vertices = new wxBoxSizer(wxHORIZONTAL);
    vertices->Add(m_pVertices, 0, wxALIGN_CENTER_VERTICAL);
    vertices->Add(m_pShowVertices, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, kGap);
    counts->Add(vertices);
    counts->Add(Label(box, "Triangles:"));
    counts->Add(m_pTriangles);
    counts->Add(Label(box, "Quadrilaterals:"));
    counts->Add(m_pQuads);
    counts->Add(Label(box, "Extents:"));
    counts->Add(m_pExtents);
    infos->Add(counts, 0, wxRIGHT, kGap);

    // Geometry: the collision sphere.
    wxStaticBoxSizer* geometry = Group(this, "Geometry");
    box = geometry->GetStaticBox();
    m_pShowSphere = ShowButton(box);
    m_pRadius = new CTlboxEdit(box, kNumberWidth, [this](const std::string& text) {
        m_logic.SetRadiusText(text);
        ShowValues();
    });
    m_pRadiusSpin = new wxSpinButton(box, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_VERTICAL);
    m_pRadiusSpin->SetRange(-1000000, 1000000);
    m_pRadiusSpin->SetValue(0);
    geometry->Add(LabelAndControl(box, "Collision sphere:", m_pShowSphere), 0, wxBOTTOM, 2);
    auto* radius = new wxBoxSizer(wxHORIZONTAL);
    radius->Add(LabelAndControl(box, "Radius:", m_pRadius), 0, wxALIGN_CENTER_VERTICAL);
    radius->Add(m_pRadiusSpin, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 2);
    geometry->Add(radius, 0, wxRIGHT, kGap);

    // Flags of a static mesh.
    wxStaticBoxSizer* flags = Group(this, "Flags", wxHORIZONTAL);
    box = flags->GetStaticBox();
    m_pNonCollisionable = new wxCheckBox(box, wxID_ANY, "non collisionable");
    m_pVisible = new wxCheckBox(box, wxID_ANY, "visible");
    flags->Add(m_pNonCollisionable, 0, wxRIGHT, kGap);
    flags->Add(m_pVisible, 0, wxRIGHT, kGap);

    // Lighting: vertex lights or normals, the intensity of every light, intensity alpha.
    wxStaticBoxSizer* lighting = Group(this, "Lighting");
    box = lighting->GetStaticBox();
    m_pLighting = TwoStateButton(box, "internal", "external");
    m_pIntensity = new wxSlider(box, wxID_ANY, 1, 1, 100, wxDefaultPosition, wxSize(110, -1));
    m_pIntensityAlpha = new wxCheckBox(box, wxID_ANY, "Intensity alpha");
    auto* light = new wxBoxSizer(wxHORIZONTAL);
    light->Add(m_pLighting, 0, wxALIGN_CENTER_VERTICAL);
    light->Add(m_pIntensity, 1, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, kGap);
    lighting->Add(light, 0, wxEXPAND);
    lighting->Add(m_pIntensityAlpha);

    // The two boxes of a static mesh: the size per axis, CTRL moves the selected ones.
    wxStaticBoxSizer* boxes[2] = {Group(this, "Visibility bounding box"), Group(this, "Collision bounding box")};
    for (int b = 0; b < 2; ++b) {
        box = boxes[b]->GetStaticBox();
        static const char* const kAxes[3] = {"X", "Y", "Z"};
        auto* sizes = new wxBoxSizer(wxHORIZONTAL);
        for (int axis = 0; axis < 3; ++axis) {
            m_pBoxSize[b][axis] = new CTlboxEdit(box, kBoxWidth, [this, b, axis](const std::string& text) {
                m_logic.SetBoxSizeText(b, axis, text);
                ShowValues();
            });
            sizes->Add(LabelAndControl(box, kAxes[axis], m_pBoxSize[b][axis]), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT,
                       axis < 2 ? kGap : 2);
        }
        m_pBoxEdit[b] = new wxCheckBox(box, wxID_ANY, "Select");
        m_pShowBox[b] = ShowButton(box);
        auto* view = new wxBoxSizer(wxHORIZONTAL);
        view->Add(m_pBoxEdit[b], 0, wxALIGN_CENTER_VERTICAL);
        view->Add(m_pShowBox[b], 0, wxALIGN_CENTER_VERTICAL | wxLEFT, kGap * 2);
        boxes[b]->Add(sizes, 0, wxBOTTOM, 2);
        boxes[b]->Add(view);
    }

    auto* middle = new wxBoxSizer(wxVERTICAL);
    middle->Add(geometry, 0, wxEXPAND | wxBOTTOM, 2);
    middle->Add(flags, 0, wxEXPAND | wxBOTTOM, 2);
    middle->Add(lighting, 0, wxEXPAND);
    auto* right = new wxBoxSizer(wxVERTICAL);
    right->Add(boxes[0], 0, wxEXPAND | wxBOTTOM, 2);
    right->Add(boxes[1], 0, wxEXPAND);
    auto* columns = new wxBoxSizer(wxHORIZONTAL);
    columns->Add(infos, 0, wxRIGHT, 4);
    columns->Add(middle, 0, wxRIGHT, 4);
    columns->Add(right);
    FinishLayout(columns);

    // Handlers.
    auto click = [this](wxWindow* control, void (CTlboxMeshLogic::*action)()) {
        control->Bind(wxEVT_BUTTON, [this, action](wxCommandEvent&) { Edit(action); });
    };
    click(m_pShowVertices, &CTlboxMeshLogic::ToggleShowVertices);
    click(m_pShowSphere, &CTlboxMeshLogic::ToggleShowSphere);
    click(m_pShowBox[0], &CTlboxMeshLogic::ToggleShowVisibilityBox);
    click(m_pShowBox[1], &CTlboxMeshLogic::ToggleShowCollisionBox);
    click(m_pLighting, &CTlboxMeshLogic::ToggleLighting);
    auto check = [this](wxCheckBox* control, void (CTlboxMeshLogic::*action)(bool)) {
        control->Bind(wxEVT_CHECKBOX, [this, control, action](wxCommandEvent&) {
            (m_logic.*action)(control->GetValue());
            ShowValues();
        });
    };
    check(m_pDummy, &CTlboxMeshLogic::SetDummy);
    check(m_pNonCollisionable, &CTlboxMeshLogic::SetNonCollisionable);
    check(m_pVisible, &CTlboxMeshLogic::SetVisible);
    check(m_pIntensityAlpha, &CTlboxMeshLogic::SetIntensityAlpha);
    check(m_pBoxEdit[0], &CTlboxMeshLogic::SetVisibilityBoxEdit);
    check(m_pBoxEdit[1], &CTlboxMeshLogic::SetCollisionBoxEdit);
    m_pRadiusSpin->Bind(wxEVT_SPIN_UP, [this](wxSpinEvent&) {
        m_logic.StepRadius(true);
        ShowValues();
    });
    m_pRadiusSpin->Bind(wxEVT_SPIN_DOWN, [this](wxSpinEvent&) {
        m_logic.StepRadius(false);
        ShowValues();
    });
    OnPageOrThumb(m_pIntensity, [this](int position) {
        m_logic.SetIntensity(position);
        ShowValues();
    });
    ShowValues();
}

void CTlboxMeshMain::Edit(void (CTlboxMeshLogic::*action)()) {
    (m_logic.*action)();
    ShowValues();
}

void CTlboxMeshMain::Update(bool force) {
    auto* node = dynamic_cast<CHandleMesh*>(m_pOwner->GetNode());
    CTrLstMsh* object = nullptr;
    if (node)
        object = node->m_bStatic ? static_cast<CTrLstMsh*>(node->StaticMesh())
                                 : static_cast<CTrLstMsh*>(node->Moveable());
    const bool pane = BoundMeshPane(*m_pOwner) != nullptr;
    m_logic.Bind(object, node ? node->m_nMeshIndex : -1, node && node->m_bStatic,
                 node ? node->GetLevel() : nullptr, node ? node->GetName() : "", pane ? &m_link : nullptr);
    m_logic.Update(force);
    ShowValues();
}

void CTlboxMeshMain::ShowValues() {
    const CTlboxMeshLogic& l = m_logic;
    SetText(m_pLabel, l.Label());
    m_pObjectId->ShowValue(l.ObjectIdText());
    m_pDummy->SetValue(l.Dummy());
    SetText(m_pVertices, l.VerticesText());
    SetText(m_pTriangles, l.TrianglesText());
    SetText(m_pQuads, l.QuadrilateralsText());
    SetText(m_pExtents, l.ExtentsText());
    SetText(m_pShowVertices, l.VerticesButtonText());
    SetText(m_pShowSphere, l.SphereButtonText());
    m_pRadius->ShowValue(IntText(long(l.Radius())));
    SetText(m_pLighting, l.LightingText());
    SetSliderRange(m_pIntensity, 1, 100, l.IntensityPosition(), l.IntensityEnabled());
    m_pIntensityAlpha->SetValue(l.IntensityAlpha());
    m_pNonCollisionable->SetValue(l.NonCollisionable());
    m_pVisible->SetValue(l.Visible());
    SetText(m_pShowBox[0], l.VisibilityBoxButtonText());
    SetText(m_pShowBox[1], l.CollisionBoxButtonText());
    m_pBoxEdit[0]->SetValue(l.VisibilityBoxEdit());
    m_pBoxEdit[1]->SetValue(l.CollisionBoxEdit());
    for (int b = 0; b < 2; ++b)
        for (int axis = 0; axis < 3; ++axis) m_pBoxSize[b][axis]->ShowValue(IntText(long(l.BoxSize(b, axis))));

    const bool radius = l.RadiusControlsEnabled(), stat = l.StaticControlsEnabled();
    for (wxWindow* w : {static_cast<wxWindow*>(m_pShowSphere), static_cast<wxWindow*>(m_pRadius),
                        static_cast<wxWindow*>(m_pRadiusSpin)})
        w->Enable(radius);
    for (wxWindow* w : {static_cast<wxWindow*>(m_pObjectId), static_cast<wxWindow*>(m_pNonCollisionable),
                        static_cast<wxWindow*>(m_pVisible), static_cast<wxWindow*>(m_pBoxEdit[0]),
                        static_cast<wxWindow*>(m_pBoxEdit[1]), static_cast<wxWindow*>(m_pShowBox[0]),
                        static_cast<wxWindow*>(m_pShowBox[1])})
        w->Enable(stat);
    for (auto& sizes : m_pBoxSize)
        for (CTlboxEdit* e : sizes) e->Enable(stat);
}

// ---- Help ----

CTlboxMeshHelp::CTlboxMeshHelp(wxWindow* sheet, CToolboxBase* owner) : CToolboxItfBase(sheet, owner, "Help") {
    const TlboxMeshHelpTexts& texts = MeshHelpTexts();
    auto* group = new wxStaticBoxSizer(wxVERTICAL, this, texts.group);
    group->Add(Label(group->GetStaticBox(), texts.keysIntro), 0, wxALL, 4);
    group->Add(Label(group->GetStaticBox(), texts.keys), 0, wxLEFT | wxRIGHT | wxBOTTOM, 12);
    auto* page = new wxBoxSizer(wxVERTICAL);
    page->Add(group, 0, wxBOTTOM, 8);
    page->Add(Label(this, texts.intensity));
    FinishLayout(page);
}

}  // namespace lithoscope
