// The decisions of a saver run that need no Windows API: which display mode to ask for,
// when the grace period is over, and which input ends the run. Plain values in, plain
// values out; nothing here owns anything.
#pragma once

#include <cstdint>
#include <string>

#include "core/ScreenMode.h"

// "800x600x16": width, height and bits in decimal, joined by the letter x.
std::string ModeText(const ScreenMode& mode);

struct ModeChoice {
    ScreenMode requested;
    bool keepDesktop = false;  // the settings asked for no change ("NO CHANGE" in the log)
    bool change = false;       // the display mode has to be switched to `requested`
};

// The settings' mode (DispModeWidth/Height/Bits) against the desktop mode found at start.
// A width of 0 or less keeps the desktop's size and depth, except that a 24-bit desktop is
// always switched (to 16 bits when the desktop's size is kept): the scene cannot draw on
// 24-bit surfaces.
ModeChoice ChooseDisplayMode(const ScreenMode& settings, const ScreenMode& current);

// True when more than `delaySeconds` have passed between `initTime` and `now`, both readings
// of the system's millisecond tick count, which wraps every 49.7 days: the difference is
// taken in unsigned 32-bit arithmetic, so a wrap between the readings does not matter.
bool GracePeriodOver(uint32_t now, uint32_t initTime, uint32_t delaySeconds);

// True when the pointer at (x, y) is more than `threshold` pixels away from (startX, startY)
// along either axis.
bool MovedBeyondThreshold(int32_t x, int32_t y, int32_t startX, int32_t startY, int32_t threshold);

// The state of the saver window that the input rules look at.
struct InputState {
    bool saverMode = false;         // a full-screen run; a preview ignores all input
    bool passwordDialogUp = false;  // the password dialog has the input
    bool inputArmed = false;        // the run has shown its window
    bool messageBoxUp = false;      // an error message box was shown during the run
};

// Virtual keys and system commands the rules know (the platform's values).
constexpr uint32_t kKeyLeft = 0x25;
constexpr uint32_t kKeyUp = 0x26;
constexpr uint32_t kKeyRight = 0x27;
constexpr uint32_t kKeyDown = 0x28;
constexpr uint32_t kCommandNextWindow = 0xF040;
constexpr uint32_t kCommandPrevWindow = 0xF050;
constexpr uint32_t kCommandClose = 0xF060;
constexpr uint32_t kCommandScreenSave = 0xF140;

enum class KeyAction {
    Nothing,       // the key is passed on and changes nothing
    MusicControl,  // an arrow key while music plays: the music player handles it
    Quit,          // the key ends the run
};
KeyAction ClassifyKey(uint32_t virtualKey, bool playMusic, const InputState& state);

// A mouse button ends a full-screen run unless the password dialog is up.
bool ClickEndsRun(const InputState& state);
// Pointer movement ends an armed full-screen run once it goes beyond the threshold.
bool MoveEndsRun(const InputState& state, int32_t x, int32_t y, int32_t startX, int32_t startY,
                 int32_t threshold);
// The pointer settles for a moment after the run arms its input: the system reports where
// the pointer is once the run's windows are shown, and that report may differ from what it
// said a moment before (a pointer moved by the system, not the user). A report within
// kPointerSettleMs of arming moves the start point instead of ending the run; movement after
// it is measured from there. Tick counts as in GracePeriodOver.
constexpr uint32_t kPointerSettleMs = 1000;
bool PointerSettling(uint32_t now, uint32_t armedAt);
// Task switching and the system's own screen-save command are swallowed in a full-screen run
// (the command word must match exactly).
bool SwallowSystemCommand(uint32_t command, const InputState& state);
// Losing activation ends an armed full-screen run, as with the platform's own screen-saver
// framework, unless the password dialog or an error message box took the activation.
bool DeactivationEndsRun(const InputState& state, bool deactivated);

enum class CloseAction {
    Default,      // not a full-screen run: the window closes the ordinary way
    Ignore,       // the close did not come from the saver itself, or the password dialog is up
    Wait,         // asked for while the run is still being set up: made once the run is up
    Close,        // still inside the grace period: close without a password
    AskPassword,  // grace period over: close only when the password is verified
};
CloseAction DecideClose(const InputState& state, bool closeRequested, uint32_t now,
                        uint32_t initTime, uint32_t passwordDelaySeconds);
