// The main loop of a saver run (see MainLoop.h).
#include "saver/MainLoop.h"

#include "gfx/GameError.h"

long RunMainLoop(const MainLoopSteps& steps, bool& quitRequested) {
    long frames = 0;
    bool dark = false;
    while (!quitRequested) {
        MessageResult message = steps.takeMessage();
        if (message == MessageResult::Quit) {
            quitRequested = true;
            continue;
        }
        if (message == MessageResult::Handled) continue;
        const bool darkNow = steps.dark && steps.dark();
        if (darkNow != dark) {
            dark = darkNow;
            if (steps.darkChanged) steps.darkChanged(dark, frames);
        }
        if (dark) {
            if (steps.waitDark) steps.waitDark();
            steps.updateSound();
            continue;
        }
        try {
            steps.renderFrame();
        } catch (const cGameError& error) {
            quitRequested = true;
            steps.frameFailed(error.GetText());
            break;
        }
        ++frames;
        steps.updateSound();
        steps.pause();
    }
    return frames;
}
