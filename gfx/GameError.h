// cGameError: the one exception type of the program, thrown by the graphics layer and by
// texture creation with a text saying what failed. Thrown by value, caught by reference.
#pragma once

#include <string>

class cGameError {
public:
    // Announces the error on the debugger output as it is made.
    explicit cGameError(const std::string& text);

    const std::string& GetText() const { return m_text; }

private:
    std::string m_text;
};
