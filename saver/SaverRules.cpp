// The portable decisions of a saver run (see SaverRules.h).
#include "saver/SaverRules.h"

std::string ModeText(const ScreenMode& mode) {
    return std::to_string(mode.width) + "x" + std::to_string(mode.height) + "x" +
           std::to_string(mode.bits);
}

ModeChoice ChooseDisplayMode(const ScreenMode& settings, const ScreenMode& current) {
    ModeChoice choice;
    choice.requested = settings;
    // A negative width means "keep the desktop" just as 0 does; asking the adapter for a
    // negative width would only end in the unsupported-mode message.
    choice.keepDesktop = settings.width <= 0;
    if (choice.keepDesktop)
        choice.requested = {current.width, current.height, current.bits == 24 ? 16 : current.bits};
    if (current.bits == 24)
        choice.change = true;
    else
        choice.change = !choice.keepDesktop && choice.requested != current;
    return choice;
}

bool GracePeriodOver(uint32_t now, uint32_t initTime, uint32_t delaySeconds) {
    uint32_t elapsed = now - initTime;
    // 64-bit product: a delay above 4294967 s must not wrap into a short one.
    return static_cast<uint64_t>(elapsed) > static_cast<uint64_t>(delaySeconds) * 1000u;
}

bool PointerSettling(uint32_t now, uint32_t armedAt) { return now - armedAt < kPointerSettleMs; }

bool MovedBeyondThreshold(int32_t x, int32_t y, int32_t startX, int32_t startY, int32_t threshold) {
    int64_t dx = static_cast<int64_t>(x) - startX;
    int64_t dy = static_cast<int64_t>(y) - startY;
    if (dx < 0) dx = -dx;
    if (dy < 0) dy = -dy;
    return dx > threshold || dy > threshold;
}

namespace {
bool IsArrowKey(uint32_t key) { return key >= kKeyLeft && key <= kKeyDown; }
bool ListensToUser(const InputState& state) { return state.saverMode && !state.passwordDialogUp; }
}  // namespace

KeyAction ClassifyKey(uint32_t virtualKey, bool playMusic, const InputState& state) {
    if (IsArrowKey(virtualKey)) return playMusic ? KeyAction::MusicControl : KeyAction::Nothing;
    return ListensToUser(state) ? KeyAction::Quit : KeyAction::Nothing;
}

bool ClickEndsRun(const InputState& state) { return ListensToUser(state); }

bool MoveEndsRun(const InputState& state, int32_t x, int32_t y, int32_t startX, int32_t startY,
                 int32_t threshold) {
    return ListensToUser(state) && state.inputArmed &&
           MovedBeyondThreshold(x, y, startX, startY, threshold);
}

bool SwallowSystemCommand(uint32_t command, const InputState& state) {
    if (!state.saverMode) return false;
    return command == kCommandNextWindow || command == kCommandPrevWindow ||
           command == kCommandClose || command == kCommandScreenSave;
}

bool DeactivationEndsRun(const InputState& state, bool deactivated) {
    return deactivated && ListensToUser(state) && state.inputArmed && !state.messageBoxUp;
}

CloseAction DecideClose(const InputState& state, bool closeRequested, uint32_t now,
                        uint32_t initTime, uint32_t passwordDelaySeconds) {
    if (!state.saverMode) return CloseAction::Default;
    if (!closeRequested || state.passwordDialogUp) return CloseAction::Ignore;
    if (!state.inputArmed) return CloseAction::Wait;
    return GracePeriodOver(now, initTime, passwordDelaySeconds) ? CloseAction::AskPassword
                                                                 : CloseAction::Close;
}
