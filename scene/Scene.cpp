// Scene set-up, frames and tear-down (first cut: the graphics side follows).
#include "scene/Scene.h"

namespace {
SceneQuoteHooks gQuoteHooks;
}

void SetSceneQuoteHooks(const SceneQuoteHooks& hooks) { gQuoteHooks = hooks; }

bool initStates(int, int) { return false; }
bool initD3D(int, int) { return true; }
void RenderFrame() {}
void CleanUp() {}
void SetMaterialColour(float, float, float, float) {}
bool GrabDesktop() { return false; }
bool FadeInFromDesktop(int) { return true; }
