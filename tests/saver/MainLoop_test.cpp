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

}  // namespace
