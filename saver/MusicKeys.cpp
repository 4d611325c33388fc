// The arrow keys' music operations: right skips to the next song, left goes back, down
// pauses or resumes, up resumes. Without the music player in the build they do nothing
// (an arrow key never ends the run either way).
#include "saver/MusicKeys.h"

#include "saver/SaverRules.h"
#ifdef ZEPHYL_MUSIC_PLAYER
#include "music/Music.h"
#endif

void HandleMusicKey(uint32_t virtualKey) {
#ifdef ZEPHYL_MUSIC_PLAYER
    switch (virtualKey) {
    case kKeyRight: NextSong(); break;
    case kKeyLeft: PreviousSong(); break;
    case kKeyUp: ResumeMusic(); break;
    case kKeyDown: TogglePause(); break;
    default: break;
    }
#else
    (void)virtualKey;
#endif
}
