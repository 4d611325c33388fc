// cGameError: the text it carries and the announcement on the debugger output.
#include "gfx/GameError.h"

#include <gtest/gtest.h>

#include <string>

#include "gfx/DebugOutput.h"

TEST(GameError, CarriesItsTextAndAnnouncesIt) {
    std::string seen;
    DebugOutputHook previous = SetDebugOutputHook([&](const std::string& text) { seen += text; });
    try {
        throw cGameError("Couldn't set coop level");
    } catch (const cGameError& error) {
        EXPECT_EQ(error.GetText(), "Couldn't set coop level");
    }
    SetDebugOutputHook(previous);
    EXPECT_EQ(seen, "***\n*** [ERROR] cGameError thrown! text: [Couldn't set coop level]\n***\n");
}

TEST(GameError, HookCanBeRemoved) {
    int calls = 0;
    SetDebugOutputHook([&](const std::string&) { ++calls; });
    DebugOutput("one\n");
    SetDebugOutputHook(nullptr);
    DebugOutput("two\n");
    EXPECT_EQ(calls, 1);
}
