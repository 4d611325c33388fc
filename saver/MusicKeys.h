// The arrow keys' music operations during a run (next, previous, resume, pause), called by
// the saver and blanking windows for an arrow key while music is on.
#pragma once

#include <cstdint>

void HandleMusicKey(uint32_t virtualKey);
