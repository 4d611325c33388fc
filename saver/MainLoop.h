// The main loop of a saver run, apart from the Win32 calls it makes: every waiting message
// is handled before a frame is drawn, the quit message ends the loop, and a cGameError
// thrown by a frame ends it as a failed run. The caller supplies the steps; nothing here
// owns anything.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum class MessageResult {
    None,     // the queue is empty
    Handled,  // one message was taken and dispatched
    Quit,     // the quit message was taken
};

struct MainLoopSteps {
    std::function<MessageResult()> takeMessage;
    std::function<void()> renderFrame;  // may throw cGameError
    std::function<void()> updateSound;
    std::function<void()> pause;        // the short sleep after each frame
    std::function<void(const std::string& text)> frameFailed;
    // Optional. While `dark` is true (the display is off) no frame is drawn: each pass
    // calls `waitDark` (sleeps until a message arrives or a short time passes) and then
    // `updateSound`. `darkChanged` is told when drawing stops (true) and when it starts
    // again (false), with the number of frames drawn so far.
    std::function<bool()> dark;
    std::function<void()> waitDark;
    std::function<void(bool dark, long frames)> darkChanged;
    // Optional. Lost surfaces (see SurfaceRestore.h): once `surfacesLost` says that a frame
    // met them, no frame is drawn; each pass calls `waitLost` (sleeps until a message arrives
    // or the given milliseconds pass) and `updateSound`, and `restoreSurfaces` is tried every
    // few hundred milliseconds by the clock `now`. `surfacesChanged` is told when the
    // surfaces are lost (true) and back (false), with the frames drawn so far, the tries
    // made and the milliseconds waited. Restoring that fails for a minute ends the loop
    // through `frameFailed` with kSurfacesNotRestored, as a frame error does.
    std::function<bool()> surfacesLost;
    std::function<bool()> restoreSurfaces;
    std::function<uint32_t()> now;
    std::function<void(uint32_t ms)> waitLost;
    std::function<void(bool lost, long frames, int tries, uint32_t waitedMs)> surfacesChanged;
};

extern const char* const kSurfacesNotRestored;

// Runs until the quit message arrives or a frame throws cGameError (then `frameFailed` gets
// the error's text). `quitRequested` is the flag that ends the loop; it is true on return.
// Other exceptions pass to the caller. Returns the number of frames drawn.
long RunMainLoop(const MainLoopSteps& steps, bool& quitRequested);
