// The saver's main loop: messages before frames, the quit message, frame errors.
#include "saver/MainLoop.h"

#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>
#include <string>

#include "gfx/GameError.h"

namespace {

// Records the order of the loop's steps as letters: m message, q quit, F frame, S sound, P pause.
struct Script {
    std::deque<MessageResult> queue;  // what takeMessage hands out before the queue is empty
    std::string trace;
    int framesBeforeQuit = -1;        // after this many frames the quit message arrives
    int throwAtFrame = -1;            // this frame (1-based) throws cGameError
    int framesStarted = 0;
    std::deque<bool> darkPasses;      // what `dark` answers, pass by pass; lit once empty
    std::string failure;
    int failures = 0;

    MainLoopSteps Steps() {
        MainLoopSteps steps;
        steps.takeMessage = [this] {
            if (queue.empty() && framesBeforeQuit >= 0 && framesStarted >= framesBeforeQuit)
                queue.push_back(MessageResult::Quit);
            if (queue.empty()) return MessageResult::None;
            MessageResult next = queue.front();
            queue.pop_front();
            trace += next == MessageResult::Quit ? 'q' : 'm';
            return next;
        };
        steps.renderFrame = [this] {
            ++framesStarted;
            if (framesStarted == throwAtFrame) throw cGameError("Can't set display mode");
            trace += 'F';
        };
        steps.updateSound = [this] { trace += 'S'; };
        steps.pause = [this] { trace += 'P'; };
        steps.frameFailed = [this](const std::string& text) {
            failure = text;
            ++failures;
        };
        return steps;
    }

    // The same steps with the display's state: W a dark wait, D/L drawing stopped/started
    // (followed by the frames drawn so far).
    MainLoopSteps StepsWithDisplay() {
        MainLoopSteps steps = Steps();
        steps.dark = [this] {
            if (darkPasses.empty()) return false;
            bool dark = darkPasses.front();
            darkPasses.pop_front();
            return dark;
        };
        steps.waitDark = [this] { trace += 'W'; };
        steps.darkChanged = [this](bool dark, long frames) { trace += (dark ? "D" : "L") + std::to_string(frames); };
        return steps;
    }

    // The same steps with lost surfaces on a clock that each wait advances by what it was
    // asked: X the frame that meets them (lostAtFrame), w<ms> a wait, T a failed try, R a
    // successful one (the restoreAtTry-th), and -<frames> / +<frames>,<tries>,<ms> the loss and
    // the restore as told.
    uint32_t clock = 1000;
    int lostAtFrame = -1;
    int restoreAtTry = -1;
    int tries = 0;
    bool lost = false;
    MainLoopSteps StepsWithSurfaces() {
        MainLoopSteps steps = StepsWithDisplay();
        steps.renderFrame = [this] {
            ++framesStarted;
            if (framesStarted == lostAtFrame) lost = true;
            trace += lost ? 'X' : 'F';
        };
        steps.surfacesLost = [this] { return lost; };
        steps.restoreSurfaces = [this] {
            ++tries;
            if (tries == restoreAtTry) {
                lost = false;
                trace += 'R';
                return true;
            }
            trace += 'T';
            return false;
        };
        steps.now = [this] { return clock; };
        steps.waitLost = [this](uint32_t ms) {
            trace += "w" + std::to_string(ms);
            clock += ms ? ms : 1;
        };
        steps.surfacesChanged = [this](bool isLost, long frames, int madeTries, uint32_t waited) {
            trace += isLost ? "-" + std::to_string(frames)
                            : "+" + std::to_string(frames) + "," + std::to_string(madeTries) + "," +
                                  std::to_string(waited);
        };
        return steps;
    }
};

TEST(MainLoop, DrainsEveryWaitingMessageBeforeTheNextFrame) {
    Script script;
    script.queue = {MessageResult::Handled, MessageResult::Handled, MessageResult::Handled};
    script.framesBeforeQuit = 2;
    bool quit = false;
    long frames = RunMainLoop(script.Steps(), quit);
    EXPECT_TRUE(quit);
    EXPECT_EQ(2, frames);
    EXPECT_EQ("mmmFSPFSPq", script.trace);
    EXPECT_EQ(0, script.failures);
}

TEST(MainLoop, QuitMessageEndsTheLoopBeforeAnyFrame) {
    Script script;
    script.queue = {MessageResult::Handled, MessageResult::Quit, MessageResult::Handled};
    bool quit = false;
    EXPECT_EQ(0, RunMainLoop(script.Steps(), quit));
    EXPECT_TRUE(quit);
    EXPECT_EQ("mq", script.trace);
}

TEST(MainLoop, AlreadyRequestedQuitRunsNothing) {
    Script script;
    bool quit = true;
    EXPECT_EQ(0, RunMainLoop(script.Steps(), quit));
    EXPECT_EQ("", script.trace);
}

TEST(MainLoop, FrameErrorEndsTheLoopWithItsTextAndSkipsTheRestOfThePass) {
    Script script;
    script.throwAtFrame = 3;
    bool quit = false;
    long frames = RunMainLoop(script.Steps(), quit);
    EXPECT_TRUE(quit);
    EXPECT_EQ(2, frames);
    EXPECT_EQ("FSPFSP", script.trace);
    EXPECT_EQ(1, script.failures);
    EXPECT_EQ("Can't set display mode", script.failure);
}

TEST(MainLoop, OtherExceptionsAreNotCaught) {
    MainLoopSteps steps;
    steps.takeMessage = [] { return MessageResult::None; };
    steps.renderFrame = [] { throw std::runtime_error("not a graphics error"); };
    steps.updateSound = [] {};
    steps.pause = [] {};
    int failures = 0;
    steps.frameFailed = [&failures](const std::string&) { ++failures; };
    bool quit = false;
    EXPECT_THROW(RunMainLoop(steps, quit), std::runtime_error);
    EXPECT_EQ(0, failures);
}

TEST(MainLoop, NoFramesWhileTheDisplayIsDarkButTheMusicGoesOn) {
    Script script;
    script.darkPasses = {false, true, true, true, false};
    script.framesBeforeQuit = 3;
    bool quit = false;
    long frames = RunMainLoop(script.StepsWithDisplay(), quit);
    EXPECT_EQ(3, frames);
    EXPECT_EQ("FSPD1WSWSWSL1FSPFSPq", script.trace);
}

TEST(MainLoop, MessagesAndQuitStillArriveWhileDark) {
    Script script;
    script.darkPasses = {true, true, true};
    script.queue = {};
    bool quit = false;
    MainLoopSteps steps = script.StepsWithDisplay();
    int passes = 0;
    steps.takeMessage = [&] {
        ++passes;
        if (passes == 2) return MessageResult::Handled;
        if (passes == 4) return MessageResult::Quit;
        return MessageResult::None;
    };
    EXPECT_EQ(0, RunMainLoop(steps, quit));
    EXPECT_TRUE(quit);
    EXPECT_EQ("D0WSWS", script.trace);
}

TEST(MainLoop, LostSurfacesWaitWithoutDrawingAndAreTriedEveryFewHundredMilliseconds) {
    Script script;
    script.lostAtFrame = 2;
    script.restoreAtTry = 3;
    script.framesBeforeQuit = 3;
    bool quit = false;
    long frames = RunMainLoop(script.StepsWithSurfaces(), quit);
    EXPECT_TRUE(quit);
    EXPECT_EQ(3, frames);
    // The frame that met the loss counts; then waits of one interval between the tries, the
    // music stepped after each, and drawing on once restored.
    EXPECT_EQ("FSPXSP-2w300STw300STw300SR+2,3,900FSPq", script.trace);
    EXPECT_EQ(0, script.failures);
}

TEST(MainLoop, SurfacesThatDoNotComeBackForAMinuteEndTheRunAsAFailedRun) {
    Script script;
    script.lostAtFrame = 1;
    bool quit = false;
    long frames = RunMainLoop(script.StepsWithSurfaces(), quit);
    EXPECT_TRUE(quit);
    EXPECT_EQ(1, frames);
    EXPECT_EQ(1, script.failures);
    EXPECT_EQ(kSurfacesNotRestored, script.failure);
    // A try every 300 ms for the whole minute, and not one after it.
    EXPECT_EQ(200, script.tries);
    EXPECT_EQ(1000u + 60300u, script.clock);
}

TEST(MainLoop, InputEndsTheRunWhileSurfacesAreLost) {
    Script script;
    script.lostAtFrame = 1;
    MainLoopSteps steps = script.StepsWithSurfaces();
    int passes = 0;
    steps.takeMessage = [&] {
        ++passes;
        if (passes == 4) return MessageResult::Handled;  // the key press
        if (passes == 6) return MessageResult::Quit;     // the window it closed
        return MessageResult::None;
    };
    bool quit = false;
    EXPECT_EQ(1, RunMainLoop(steps, quit));
    EXPECT_TRUE(quit);
    EXPECT_EQ(0, script.failures);
    EXPECT_EQ("XSP-1w300STw300STw300S", script.trace);
}

TEST(MainLoop, TimeInTheDarkDoesNotCountTowardsGivingTheSurfacesUp) {
    Script script;
    script.lostAtFrame = 1;
    script.restoreAtTry = 150;
    script.framesBeforeQuit = 2;
    MainLoopSteps steps = script.StepsWithSurfaces();
    // Dark for three minutes half a minute into the wait (45 s a dark pass).
    int pass = 0;
    steps.dark = [&] {
        ++pass;
        return pass >= 100 && pass < 104;
    };
    steps.waitDark = [&] { script.clock += 45000; };
    bool quit = false;
    long frames = RunMainLoop(steps, quit);
    EXPECT_EQ(0, script.failures) << "gave up counting the dark time";
    EXPECT_EQ(2, frames);
    EXPECT_EQ(150, script.tries);
}

}  // namespace
