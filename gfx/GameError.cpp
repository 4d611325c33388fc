// cGameError: the text it carries and its announcement on the debugger output.
#include "gfx/GameError.h"

#include "gfx/DebugOutput.h"

cGameError::cGameError(const std::string& text) : m_text(text) {
    DebugOutput("***\n*** [ERROR] cGameError thrown! text: [" + m_text + "]\n***\n");
}
