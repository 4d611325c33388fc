// The music player of a saver run: the operations the saver run and its window procedures
// call. The player's state is process-wide and lives in music/Music.cpp; nothing is handed
// out that the caller would have to free.
#pragma once

// Starts FMOD, builds the song list and starts the first song. Called once after the
// scene is set up, only when PlayMusic is on. False: music is off for this run.
bool initSound();
// Once per main-loop pass after the frame, with the pass's length in milliseconds: ends
// songs, waits the gap, opens the next song.
void UpdateSound(double elapsedMs);
// Closes the stream and FMOD and switches PlayMusic off; harmless when nothing is open.
void ShutdownSound();

// The arrow keys of the saver and preview windows (right, left, down, up). Each does
// nothing while PlayMusic is off.
void NextSong();
void PreviousSong();
void TogglePause();
void ResumeMusic();

// The text of an FMOD error code (as FSOUND_GetError returns it); never null.
const char* FmodErrorText(int code);
