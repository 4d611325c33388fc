// The saver run's portable rules: display-mode choice, grace period with a wrapping tick
// count, pointer threshold, keys, clicks, system commands, activation and close decisions.
#include "saver/SaverRules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

const ScreenMode kDesktop32{1024, 768, 32};
const ScreenMode kDesktop24{1024, 768, 24};

InputState Saver() {
    InputState state;
    state.saverMode = true;
    state.inputArmed = true;
    return state;
}

TEST(ModeText, JoinsWidthHeightAndBitsWithX) {
    EXPECT_EQ("800x600x16", ModeText({800, 600, 16}));
    EXPECT_EQ("0x0x0", ModeText({}));
    EXPECT_EQ("-1x600x32", ModeText({-1, 600, 32}));
}

TEST(ChooseDisplayMode, RequestedModeOnA32BitDesktopIsSwitched) {
    ModeChoice choice = ChooseDisplayMode({800, 600, 16}, kDesktop32);
    EXPECT_TRUE(choice.change);
    EXPECT_FALSE(choice.keepDesktop);
    EXPECT_EQ((ScreenMode{800, 600, 16}), choice.requested);
}

TEST(ChooseDisplayMode, WidthZeroKeepsA32BitDesktop) {
    ModeChoice choice = ChooseDisplayMode({0, 600, 16}, kDesktop32);
    EXPECT_FALSE(choice.change);
    EXPECT_TRUE(choice.keepDesktop);
    EXPECT_EQ(kDesktop32, choice.requested);
}

TEST(ChooseDisplayMode, WidthZeroOnA24BitDesktopSwitchesToSameSizeAt16Bits) {
    ModeChoice choice = ChooseDisplayMode({0, 0, 0}, kDesktop24);
    EXPECT_TRUE(choice.change);
    EXPECT_TRUE(choice.keepDesktop);
    EXPECT_EQ((ScreenMode{1024, 768, 16}), choice.requested);
}

TEST(ChooseDisplayMode, A24BitDesktopIsSwitchedEvenToItsOwnMode) {
    ModeChoice choice = ChooseDisplayMode(kDesktop24, kDesktop24);
    EXPECT_TRUE(choice.change);
    EXPECT_EQ(kDesktop24, choice.requested);
}

TEST(ChooseDisplayMode, TheDesktopsOwnModeIsNotSwitched) {
    ModeChoice choice = ChooseDisplayMode(kDesktop32, kDesktop32);
    EXPECT_FALSE(choice.change);
    EXPECT_FALSE(choice.keepDesktop);
}

TEST(ChooseDisplayMode, SameSizeOtherDepthIsSwitched) {
    EXPECT_TRUE(ChooseDisplayMode({1024, 768, 16}, kDesktop32).change);
    EXPECT_TRUE(ChooseDisplayMode({1024, 600, 32}, kDesktop32).change);
}

TEST(ChooseDisplayMode, NegativeWidthKeepsTheDesktopLikeZero) {
    ModeChoice choice = ChooseDisplayMode({-5, 600, 16}, kDesktop32);
    EXPECT_FALSE(choice.change);
    EXPECT_TRUE(choice.keepDesktop);
    EXPECT_EQ(kDesktop32, choice.requested);
    ModeChoice deep = ChooseDisplayMode({-5, 600, 16}, kDesktop24);
    EXPECT_TRUE(deep.change);
    EXPECT_EQ((ScreenMode{1024, 768, 16}), deep.requested);
}

TEST(GracePeriod, FifteenSecondsDelay) {
    const uint32_t start = 100000;
    EXPECT_FALSE(GracePeriodOver(start + 10000, start, 15));
    EXPECT_FALSE(GracePeriodOver(start + 15000, start, 15));  // exactly the delay: not over
    EXPECT_TRUE(GracePeriodOver(start + 15001, start, 15));
    EXPECT_TRUE(GracePeriodOver(start + 20000, start, 15));
}

TEST(GracePeriod, TickCountWrappingDuringTheRun) {
    const uint32_t start = std::numeric_limits<uint32_t>::max() - 4999;  // 5 s before the wrap
    EXPECT_FALSE(GracePeriodOver(5000, start, 15));   // 10 s elapsed
    EXPECT_FALSE(GracePeriodOver(10000, start, 15));  // 15 s elapsed
    EXPECT_TRUE(GracePeriodOver(15000, start, 15));   // 20 s elapsed
}

TEST(GracePeriod, ZeroDelayIsOverAfterOneMillisecond) {
    EXPECT_FALSE(GracePeriodOver(7, 7, 0));
    EXPECT_TRUE(GracePeriodOver(8, 7, 0));
}

TEST(GracePeriod, HugeDelayDoesNotWrapIntoAShortOne) {
    // 4294968 s * 1000 wraps to 704 in 32 bits; the grace period must not end after 1 s.
    EXPECT_FALSE(GracePeriodOver(1000, 0, 4294968u));
    EXPECT_FALSE(GracePeriodOver(std::numeric_limits<uint32_t>::max(), 0, 4294968u));
    EXPECT_FALSE(GracePeriodOver(std::numeric_limits<uint32_t>::max(), 0, std::numeric_limits<uint32_t>::max()));
}

TEST(MovedBeyondThreshold, ExactlyTheThresholdIsNotBeyond) {
    EXPECT_FALSE(MovedBeyondThreshold(150, 150, 100, 100, 50));
    EXPECT_FALSE(MovedBeyondThreshold(50, 50, 100, 100, 50));
    EXPECT_TRUE(MovedBeyondThreshold(151, 100, 100, 100, 50));
    EXPECT_TRUE(MovedBeyondThreshold(100, 49, 100, 100, 50));
    EXPECT_TRUE(MovedBeyondThreshold(49, 150, 100, 100, 50));
}

TEST(MovedBeyondThreshold, NegativeCoordinatesOfAMonitorLeftOfThePrimary) {
    EXPECT_FALSE(MovedBeyondThreshold(-1000, 20, -960, 0, 50));
    EXPECT_TRUE(MovedBeyondThreshold(-1011, 20, -960, 0, 50));
}

TEST(MovedBeyondThreshold, ExtremeCoordinatesDoNotOverflow) {
    const int32_t lo = std::numeric_limits<int32_t>::min();
    const int32_t hi = std::numeric_limits<int32_t>::max();
    EXPECT_TRUE(MovedBeyondThreshold(hi, 0, lo, 0, hi));
    EXPECT_FALSE(MovedBeyondThreshold(lo, lo, lo, lo, 0));
}

TEST(ClassifyKey, ArrowKeysNeverEndTheRun) {
    for (uint32_t key : {kKeyLeft, kKeyUp, kKeyRight, kKeyDown}) {
        EXPECT_EQ(KeyAction::MusicControl, ClassifyKey(key, true, Saver())) << key;
        EXPECT_EQ(KeyAction::Nothing, ClassifyKey(key, false, Saver())) << key;
    }
}

TEST(ClassifyKey, OtherKeysEndAFullScreenRun) {
    EXPECT_EQ(KeyAction::Quit, ClassifyKey(0x20, true, Saver()));   // space
    EXPECT_EQ(KeyAction::Quit, ClassifyKey(0x1B, false, Saver()));  // escape
    EXPECT_EQ(KeyAction::Quit, ClassifyKey(0x24, false, Saver()));  // home, next to the arrows
    EXPECT_EQ(KeyAction::Quit, ClassifyKey(0x29, false, Saver()));  // select, after them
}

TEST(ClassifyKey, KeysEndTheRunBeforeInputIsArmed) {
    InputState state = Saver();
    state.inputArmed = false;
    EXPECT_EQ(KeyAction::Quit, ClassifyKey(0x41, false, state));
}

TEST(ClassifyKey, PreviewAndPasswordDialogIgnoreKeys) {
    InputState preview;
    EXPECT_EQ(KeyAction::Nothing, ClassifyKey(0x41, false, preview));
    EXPECT_EQ(KeyAction::MusicControl, ClassifyKey(kKeyRight, true, preview));
    InputState password = Saver();
    password.passwordDialogUp = true;
    EXPECT_EQ(KeyAction::Nothing, ClassifyKey(0x41, false, password));
}

TEST(ClickEndsRun, OnlyInAFullScreenRunWithoutPasswordDialog) {
    EXPECT_TRUE(ClickEndsRun(Saver()));
    InputState password = Saver();
    password.passwordDialogUp = true;
    EXPECT_FALSE(ClickEndsRun(password));
    EXPECT_FALSE(ClickEndsRun(InputState{}));
}

TEST(MoveEndsRun, NeedsArmedInput) {
    InputState state = Saver();
    EXPECT_TRUE(MoveEndsRun(state, 200, 0, 0, 0, 50));
    state.inputArmed = false;
    EXPECT_FALSE(MoveEndsRun(state, 200, 0, 0, 0, 50));
}

TEST(PointerSettling, TheFirstSecondAfterArmingMovesTheStartPoint) {
    const struct {
        uint32_t now, armedAt;
        bool settling;
    } cases[] = {
        {5000, 5000, true},  {5999, 5000, true}, {6000, 5000, false}, {90000, 5000, false},
        {200, 0xFFFFFE00u, true},  // the tick count wrapped since arming
        {700, 0xFFFFFE00u, false},
    };
    for (const auto& c : cases) EXPECT_EQ(PointerSettling(c.now, c.armedAt), c.settling) << c.now << " " << c.armedAt;
}

TEST(MoveEndsRun, PreviewAndPasswordDialogIgnoreMovement) {
    InputState preview;
    preview.inputArmed = true;
    EXPECT_FALSE(MoveEndsRun(preview, 500, 500, 0, 0, 50));
    InputState password = Saver();
    password.passwordDialogUp = true;
    EXPECT_FALSE(MoveEndsRun(password, 500, 500, 0, 0, 50));
}

TEST(MoveEndsRun, ThresholdFromTheSettings) {
    EXPECT_FALSE(MoveEndsRun(Saver(), 350, 350, 300, 300, 50));
    EXPECT_TRUE(MoveEndsRun(Saver(), 351, 300, 300, 300, 50));
    EXPECT_TRUE(MoveEndsRun(Saver(), 301, 300, 300, 300, 0));
}

TEST(SwallowSystemCommand, TaskSwitchCloseAndScreenSaveInAFullScreenRun) {
    for (uint32_t command : {kCommandNextWindow, kCommandPrevWindow, kCommandClose, kCommandScreenSave})
        EXPECT_TRUE(SwallowSystemCommand(command, Saver())) << command;
}

TEST(SwallowSystemCommand, OtherCommandsAndInexactWordsPass) {
    EXPECT_FALSE(SwallowSystemCommand(0xF020, Saver()));  // minimize
    EXPECT_FALSE(SwallowSystemCommand(0xF100, Saver()));  // key menu
    EXPECT_FALSE(SwallowSystemCommand(kCommandClose | 2, Saver()));
    EXPECT_FALSE(SwallowSystemCommand(kCommandScreenSave, InputState{}));
}

TEST(DeactivationEndsRun, AnArmedFullScreenRunEnds) {
    EXPECT_TRUE(DeactivationEndsRun(Saver(), true));
    EXPECT_FALSE(DeactivationEndsRun(Saver(), false));
}

TEST(DeactivationEndsRun, NotWhileADialogOrMessageBoxHasTheActivation) {
    InputState password = Saver();
    password.passwordDialogUp = true;
    EXPECT_FALSE(DeactivationEndsRun(password, true));
    InputState box = Saver();
    box.messageBoxUp = true;
    EXPECT_FALSE(DeactivationEndsRun(box, true));
    InputState starting = Saver();
    starting.inputArmed = false;
    EXPECT_FALSE(DeactivationEndsRun(starting, true));
    InputState preview;
    preview.inputArmed = true;
    EXPECT_FALSE(DeactivationEndsRun(preview, true));
}

TEST(DecideClose, PreviewClosesTheOrdinaryWay) {
    InputState preview;
    EXPECT_EQ(CloseAction::Default, DecideClose(preview, false, 0, 0, 15));
    EXPECT_EQ(CloseAction::Default, DecideClose(preview, true, 99999, 0, 15));
}

TEST(DecideClose, ACloseFromOutsideIsIgnored) {
    EXPECT_EQ(CloseAction::Ignore, DecideClose(Saver(), false, 1000, 0, 15));
    EXPECT_EQ(CloseAction::Ignore, DecideClose(Saver(), false, 100000, 0, 15));
}

TEST(DecideClose, IgnoredWhileThePasswordDialogIsUp) {
    InputState password = Saver();
    password.passwordDialogUp = true;
    EXPECT_EQ(CloseAction::Ignore, DecideClose(password, true, 100000, 0, 15));
}

TEST(DecideClose, WaitsWhileTheRunIsBeingSetUp) {
    InputState starting = Saver();
    starting.inputArmed = false;
    EXPECT_EQ(CloseAction::Wait, DecideClose(starting, true, 1000, 0, 15));
    EXPECT_EQ(CloseAction::Wait, DecideClose(starting, true, 100000, 0, 15));
    EXPECT_EQ(CloseAction::Ignore, DecideClose(starting, false, 1000, 0, 15));
}

TEST(DecideClose, GracePeriodDecidesAboutThePassword) {
    EXPECT_EQ(CloseAction::Close, DecideClose(Saver(), true, 10000, 0, 15));
    EXPECT_EQ(CloseAction::AskPassword, DecideClose(Saver(), true, 20000, 0, 15));
    const uint32_t start = 0xFFFFF000u;
    EXPECT_EQ(CloseAction::Close, DecideClose(Saver(), true, start + 10000u, start, 15));
    EXPECT_EQ(CloseAction::AskPassword, DecideClose(Saver(), true, start + 20000u, start, 15));
}

}  // namespace
