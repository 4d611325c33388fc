// The main loop of a saver run (see MainLoop.h).
#include "saver/MainLoop.h"

#include "gfx/GameError.h"
#include "saver/SurfaceRestore.h"

const char* const kSurfacesNotRestored = "Surfaces could not be restored -- ending the run";

long RunMainLoop(const MainLoopSteps& steps, bool& quitRequested) {
    long frames = 0;
    bool dark = false;
    SurfaceRestore restore;
    const bool canRestore = steps.surfacesLost && steps.restoreSurfaces && steps.now && steps.waitLost;
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
            // Time in the dark does not count towards giving the surfaces up.
            if (!dark) restore.Restart(steps.now ? steps.now() : 0);
        }
        if (dark) {
            if (steps.waitDark) steps.waitDark();
            steps.updateSound();
            continue;
        }
        if (canRestore && !restore.Waiting() && steps.surfacesLost()) {
            restore.Lost(steps.now());
            if (steps.surfacesChanged) steps.surfacesChanged(true, frames, 0, 0);
        }
        if (restore.Waiting()) {
            const uint32_t now = steps.now();
            const RestoreStep step = restore.Next(now);
            if (step == RestoreStep::GiveUp) {
                quitRequested = true;
                steps.frameFailed(kSurfacesNotRestored);
                break;
            }
            if (step == RestoreStep::Try) {
                const bool restored = steps.restoreSurfaces();
                const uint32_t after = steps.now();
                const uint32_t waited = restore.LostFor(after);
                restore.Tried(restored, after);
                if (restored) {
                    if (steps.surfacesChanged) steps.surfacesChanged(false, frames, restore.Tries(), waited);
                    continue;
                }
            }
            steps.waitLost(restore.WaitMs(steps.now()));
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
