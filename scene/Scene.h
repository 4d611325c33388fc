// The flag scene of a saver run: set-up, one frame per main-loop pass, the fade-in from the
// desktop and the tear-down. Everything the set-up creates (graphics layer, flag, shadow
// texture, desktop copy, quote show) is owned here and freed by CleanUp.
#pragma once

// Creates the graphics layer and loads the flag; false when the run cannot go on (the
// user has already been told when a picture was missing). CleanUp must still be called.
bool initStates(int width, int height);
// Projection, fixed render states and the light; always true.
bool initD3D(int width, int height);
// One frame. A cGameError thrown by the graphics layer passes to the caller.
void RenderFrame();
// Destroys everything initStates made, the graphics layer last. Safe to call twice.
void CleanUp();

// True once a frame met lost surfaces (another program took the screen).
bool SceneSurfacesLost();
// One try at getting the scene back after its surfaces were lost: the graphics layer's
// surfaces and display mode, every texture's content (the quote show's captions are drawn
// again), the render states and the light. False when the screen cannot be had yet.
bool RestoreSceneSurfaces();

// The flag material: diffuse and ambient (r, g, b, a), nothing specular or emissive.
void SetMaterialColour(float r, float g, float b, float a);
// Copies the screen into the desktop copy used by the fade-in.
bool GrabDesktop();
// One fade-in frame over the desktop copy; true once the fade-in is over.
bool FadeInFromDesktop(int milliseconds);

// The quote show plugs into the scene through these hooks; a null hook is skipped. The
// scene calls them only while the ShowQuotes setting is on.
class cTexture;
struct SceneQuoteHooks {
    bool (*openContent)() = nullptr;            // open the bundles and read their content
    bool (*setUp)(cTexture* shadow) = nullptr;  // build the show; the scene keeps owning shadow
    void (*freeBundleData)() = nullptr;         // drop cached blobs once the scene is up
    void (*update)(int milliseconds) = nullptr;
    void (*draw)() = nullptr;
    void (*destroyContent)() = nullptr;         // the show's content arrays
    void (*destroy)() = nullptr;                // the show object itself
    int (*textureDepth)() = nullptr;            // 16 or 32: picks the shadow picture
    void (*restore)() = nullptr;                // after lost surfaces: draw again what was not kept
};
void SetSceneQuoteHooks(const SceneQuoteHooks& hooks);
