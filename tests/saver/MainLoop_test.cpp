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

}  // namespace
