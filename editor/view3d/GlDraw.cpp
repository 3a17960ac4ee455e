// Drawing of level objects: meshes in three passes, the mesh toolbox's aids, moveables
// through their mesh trees, sprite sequences.
#include <GL/gl.h>

#include <algorithm>

#include "editor/view3d/GlFont.h"
#include "editor/view3d/GlMarkers.h"
#include "editor/view3d/GlWindow.h"
#include "editor/view3d/MoveablePose.h"
#include "editor/view3d/SpriteLayout.h"
#include "level/Anim.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"

namespace lithoscope {

namespace {

// The animated sprite mode's clock, one for the whole application.
float g_spriteClock = 0.0f;

enum FacePass { PassOpaque = 0, PassAlphaTested = 1, PassTranslucent = 2 };

// A corner's coordinate byte moves its pixel by one (1: +1, 255: -1); other values (the 0
// and 127 of Tomb Raider III and IV files) leave the pixel as it is.
inline int CornerOffset(uint8_t coordinate) { return coordinate == 1 ? 1 : coordinate == 255 ? 255 : 0; }

inline void TexCoord(const uint8_t* corner) {
    glTexCoord2f(float((CornerOffset(corner[0]) + corner[1]) % 256) / 255.0f,
                 float((CornerOffset(corner[2]) + corner[3]) % 256) / 255.0f);
}

inline void LevelVertex(const TrMeshVertex& p) { glVertex3f(p.x, -float(p.y), -float(p.z)); }

}  // namespace

void COpenGLWnd::DrawDisplayItem(GlDisplayItem& item) {
    glPushMatrix();
    switch (item.main.kind) {
        case GlKindSprites: DrawSprites(item.main); break;
        case GlKindMoveable:
            if (item.main.visible) DrawMoveable(item);
            break;
        default:
            DrawMesh(item.main, subIndex_, flags_.showCollisionSphere, false, flags_.showVertices, false);
            break;
    }
    if (item.main.kind == GlKindMoveable) PlaybackStep(item);
    glPopMatrix();
}

void COpenGLWnd::BindPage(GlObjectRef& ref, int page) {
    // Pages are told apart by their GL names, so the main and the associated object's
    // pages of the same number are not confused.
    if (page < 0 || size_t(page) >= ref.textureNames.size()) return;
    const uint32_t name = ref.textureNames[size_t(page)];
    if (name == lastTexture_) return;
    glBindTexture(GL_TEXTURE_2D, name);
    lastTexture_ = name;
}

void COpenGLWnd::DrawTexturedFace(GlObjectRef& ref, const TrMeshRecord& mesh,
                                  const TrObjectTextureRecord& texture, const uint16_t* corners,
                                  int cornerCount, bool translucent, bool wireframe) {
    BindPage(ref, texture.page() & 0xFF);
    glBegin(wireframe ? GL_LINE_LOOP : (cornerCount == 4 ? GL_QUADS : GL_TRIANGLES));
    for (int k = cornerCount; k >= 1; --k) {
        const uint16_t v = corners[k - 1];
        if (v >= mesh.vertices.size()) continue;  // a damaged face loses that corner
        TexCoord(texture.corner(k - 1));
        float shade;
        if (mesh.hasNormals)
            shade = translucent ? 0.5f : 1.0f;
        else {
            const float light = v < mesh.lights.size() ? float(mesh.lights[v]) / 8192.0f : 1.0f;
            shade = translucent ? 1.0f - light : light;
        }
        glColor3f(shade, shade, shade);
        LevelVertex(mesh.vertices[v]);
    }
    glEnd();
}

void COpenGLWnd::DrawFaces(GlObjectRef& ref, const TrMeshRecord& mesh, bool rectangles, int pass,
                           bool wireframe) {
    const CTrLstMsh* list = ref.MeshList();
    if (!list) return;
    const size_t count = rectangles ? mesh.texturedRectangles.size() : mesh.texturedTriangles.size();
    const int cornerCount = rectangles ? 4 : 3;
    uint16_t corners[4];
    // From the last face to the first; each pass takes its own faces.
    for (size_t n = count; n-- > 0;) {
        uint16_t tex, effects;
        if (rectangles) {
            const TrMeshRectangle& f = mesh.texturedRectangles[n];
            tex = f.texture();
            effects = f.effects();
            for (int k = 0; k < 4; ++k) corners[k] = f.vertex(k);
        } else {
            const TrMeshTriangle& f = mesh.texturedTriangles[n];
            tex = f.texture();
            effects = f.effects();
            for (int k = 0; k < 3; ++k) corners[k] = f.vertex(k);
        }
        const size_t t = tex & 0x7FFF;
        if (t >= list->textures.size()) continue;  // a bad texture index draws nothing
        const TrObjectTextureRecord& ot = list->textures[t];
        const int facePass = ((ot.attributes() & 2) || (effects & 1)) ? PassTranslucent
                             : (ot.attributes() & 1)                  ? PassAlphaTested
                                                                      : PassOpaque;
        if (facePass != pass) continue;
        DrawTexturedFace(ref, mesh, ot, corners, cornerCount, pass == PassTranslucent, wireframe);
    }
}

void COpenGLWnd::DrawVertexPoints(const TrMeshRecord& mesh) {
    glPointSize(2.0f);
    glColor3f(1, 1, 1);
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        if (picking_) glLoadName(GLuint(i + 1));
        glBegin(GL_POINTS);
        LevelVertex(mesh.vertices[i]);
        glEnd();
    }
}

void COpenGLWnd::DrawBox(const CVector3& lo, const CVector3& hi, float r, float g, float b) {
    glDisable(GL_TEXTURE_2D);
    glColor3f(r, g, b);
    const float x[2] = {lo.x, hi.x}, y[2] = {lo.y, hi.y}, z[2] = {lo.z, hi.z};
    glBegin(GL_LINES);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            glVertex3f(x[0], y[i], z[j]);  // along x
            glVertex3f(x[1], y[i], z[j]);
            glVertex3f(x[i], y[0], z[j]);  // along y
            glVertex3f(x[i], y[1], z[j]);
            glVertex3f(x[i], y[j], z[0]);  // along z
            glVertex3f(x[i], y[j], z[1]);
        }
    glEnd();
    glEnable(GL_TEXTURE_2D);
}

void COpenGLWnd::DrawMesh(GlObjectRef& ref, int meshIndex, bool sphere, bool wireframe,
                          bool vertices, bool suppressDummy) {
    const CTrLstMsh* list = ref.MeshList();
    if (!list || meshIndex < 0 || size_t(meshIndex) >= list->meshes.size()) return;
    const TrMeshRecord& mesh = list->meshes[size_t(meshIndex)];
    if (!mesh.dummy) {
        glEnable(GL_TEXTURE_2D);
        DrawFaces(ref, mesh, false, PassOpaque, wireframe);
        DrawFaces(ref, mesh, true, PassOpaque, wireframe);
        glEnable(GL_ALPHA_TEST);
        DrawFaces(ref, mesh, false, PassAlphaTested, wireframe);
        DrawFaces(ref, mesh, true, PassAlphaTested, wireframe);
        glDisable(GL_ALPHA_TEST);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
        glDepthMask(GL_FALSE);
        DrawFaces(ref, mesh, false, PassTranslucent, wireframe);
        DrawFaces(ref, mesh, true, PassTranslucent, wireframe);
        glDepthMask(GL_TRUE);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_TEXTURE_2D);
    } else if (!suppressDummy) {
        glDisable(GL_TEXTURE_2D);
        glColor3f(0, 0, 1);
        DrawWireCube(20.0);
    }
    if (sphere) {
        glPushMatrix();
        glTranslatef(mesh.centre[0], -float(mesh.centre[1]), -float(mesh.centre[2]));
        glColor3f(1, 1, 1);
        DrawWireSphere(mesh.radius, 10, 10);
        glPopMatrix();
    }
    if (showAxis_) {
        const float* b = mesh.boundingBox;  // min x, max x, min y, max y, min z, max z
        const float s = std::max({b[1] - b[0], b[3] - b[2], b[5] - b[4]});
        glColor4f(0, 1, 0, 0.3f);
        glBegin(GL_QUADS);
        glVertex3f(-s, 0, -s);
        glVertex3f(-s, 0, s);
        glVertex3f(s, 0, s);
        glVertex3f(s, 0, -s);
        glEnd();
        glColor4f(1, 0, 0, 0.5f);
        glBegin(GL_LINES);
        glVertex3f(-s, 1, 0);
        glVertex3f(s, 1, 0);
        glVertex3f(0, 1, -s);
        glVertex3f(0, 1, s);
        glEnd();
    }
    if (vertices) DrawVertexPoints(mesh);
    if (selectedVertex_ != -1 && selectedVertex_ >= 0 && size_t(selectedVertex_) < mesh.vertices.size()) {
        glPointSize(2.0f);
        glColor3f(1, 0, 0);
        glDisable(GL_DEPTH_TEST);
        glBegin(GL_POINTS);
        LevelVertex(mesh.vertices[size_t(selectedVertex_)]);
        glEnd();
        glEnable(GL_DEPTH_TEST);
    }
    if (const CTrStatMsh* stat = ref.StaticMesh()) {
        if (flags_.showVisibilityBox) {
            const float g = flags_.visibilityBoxEdit ? 0.0f : 1.0f;
            DrawBox(stat->visibilityBox.min, stat->visibilityBox.max, 1.0f, g, g);
        }
        if (flags_.showCollisionBox) {
            const float g = flags_.collisionBoxEdit ? 0.0f : 1.0f;
            DrawBox(stat->collisionBox.min, stat->collisionBox.max, 1.0f, g, g);
        }
    }
}

void COpenGLWnd::DrawMoveable(GlDisplayItem& item) {
    CTrMvb* mvb = item.main.Moveable();
    if (!mvb) return;
    const CAnimTrack* track = playing_ && mvb->animations ? mvb->animations->CurrentTrack() : nullptr;
    if (showBoundingBox_ && track) {
        BoundingBox box;
        track->GetBoundingBox(&box, false);
        DrawBox(box.min, box.max, 1, 1, 1);
    }
    MoveableMeshMatrices(*mvb, track, meshMatrices_);
    const CTrLstMsh* associated = item.associated.visible ? item.associated.MeshList() : nullptr;
    float gl[16];
    const size_t count = mvb->meshes.size();
    for (size_t i = 0; i < count; ++i) {
        glPushMatrix();
        ToGlMatrix(meshMatrices_[i], gl);
        glMultMatrixf(gl);
        DrawMesh(item.main, int(i), false, false, flags_.showVertices, associated != nullptr);
        if (associated && (mvb->meshes[i].dummy || i + 1 == count))
            DrawMesh(item.associated, int(i), false, false, false, false);
        glPopMatrix();
    }
}

void COpenGLWnd::DrawSprite(GlObjectRef& ref, const TrSpriteFrameRecord& sprite, bool fromOrigin) {
    const CTrLstSpr* list = ref.Sprites();
    const int index = sprite.textureIndex();
    if (!list || index < 0 || size_t(index) >= list->textures.size()) return;
    const TrObjectTextureRecord& ot = list->textures[size_t(index)];
    float x0 = sprite.left(), y0 = sprite.top(), x1 = sprite.right(), y1 = sprite.bottom();
    if (fromOrigin) {
        x1 -= x0;
        y1 -= y0;
        x0 = y0 = 0;
    }
    glEnable(GL_TEXTURE_2D);
    BindPage(ref, ot.page() & 0xFF);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glColor3f(1, 1, 1);
    // Corners 0..3 are top left, top right, bottom right, bottom left of the picture; y is
    // drawn upwards, so the quad goes round the other way to face the camera.
    glBegin(GL_QUADS);
    TexCoord(ot.corner(3));
    glVertex3f(x0, -y1, 0);
    TexCoord(ot.corner(2));
    glVertex3f(x1, -y1, 0);
    TexCoord(ot.corner(1));
    glVertex3f(x1, -y0, 0);
    TexCoord(ot.corner(0));
    glVertex3f(x0, -y0, 0);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    if (sprite_.border) {
        glDisable(GL_DEPTH_TEST);
        glColor3f(1, 1, 1);
        glBegin(GL_LINE_LOOP);
        glVertex3f(x0, -y0, 0);
        glVertex3f(x1, -y0, 0);
        glVertex3f(x1, -y1, 0);
        glVertex3f(x0, -y1, 0);
        glEnd();
        glEnable(GL_DEPTH_TEST);
    }
}

void COpenGLWnd::DrawSprites(GlObjectRef& ref) {
    const CTrLstSpr* list = ref.Sprites();
    if (!list || list->sprites.empty()) return;
    if (sprite_.animated) {
        const int k = AdvanceSpriteClock(g_spriteClock, sprite_.spriteRate, framesPerSecond_,
                                         int(list->sprites.size()));
        DrawSprite(ref, list->sprites[size_t(k)], false);
        return;
    }
    const SpriteListLayout layout = LayoutSpriteList(list->sprites, sprite_.rowWidth);
    for (size_t i = 0; i < list->sprites.size(); ++i) {
        glPushMatrix();
        glTranslatef(layout.offsets[i].x, layout.offsets[i].y, 0);
        DrawSprite(ref, list->sprites[i], true);
        glPopMatrix();
    }
}

void COpenGLWnd::DrawCaption(int width, int height) {
    if (caption_.empty() || !glIsList(kFontListBase + 'A' - kFontFirstChar)) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, 0, -1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, width, height);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glColor3f(0, 0, 0);
    glListBase(kFontListBase - kFontFirstChar);
    glRasterPos2i(1, height - 4);
    std::string text;
    for (char c : caption_)
        if (uint8_t(c) >= kFontFirstChar && uint8_t(c) < kFontFirstChar + kFontCharCount) text += c;
    glCallLists(GLsizei(text.size()), GL_UNSIGNED_BYTE, text.data());
    glEnable(GL_DEPTH_TEST);
}

}  // namespace lithoscope
