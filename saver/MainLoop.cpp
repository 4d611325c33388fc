// The main loop of a saver run (see MainLoop.h).
#include "saver/MainLoop.h"

#include "gfx/GameError.h"

long RunMainLoop(const MainLoopSteps& steps, bool& quitRequested) {
    long frames = 0;
    while (!quitRequested) {
        MessageResult message = steps.takeMessage();
        if (message == MessageResult::Quit) {
            quitRequested = true;
            continue;
        }
        if (message == MessageResult::Handled) continue;
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
