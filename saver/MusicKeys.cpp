// Seam for the music player's arrow-key operations: until the player offers them, an arrow
// key while music is on is taken (it never ends the run) and does nothing else.
#include "saver/MusicKeys.h"

void HandleMusicKey(uint32_t) {}
