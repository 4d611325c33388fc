// The process-wide frame clock: elapsed time per frame, the frame-rate samples and their
// average, and the smoothed time step that advances the flag's wave.
#pragma once

#include <cstdint>

#include "scene/StepFilter.h"

// The current time becomes the previous frame's time (called right before the main loop).
void ResetFrameClock();
// Measures the frame that just ended; returns its milliseconds and updates the average
// frame rate and the smoothed step.
double MeasureFrame();
// Measures a pass of the main loop that drew nothing: FrameMilliseconds (the music's clock)
// gets its length, while the frame rate and the flag's step leave it out.
double MeasureIdle();
// Average of every 250 ms frame-rate sample of the run; 100 until the first sample.
float AverageFrameRate();
// The flag's step for this frame in units of 16.666 ms (about 1 at 60 frames per second).
float SmoothedStep();
// Milliseconds of the last measured frame.
double FrameMilliseconds();
// The filter that smooths the step (the scene sets its length).
cStepFilter& FrameStepFilter();

// Benchmark figures, kept only when the environment variable ZEPHYL_FRAME_STATS is set
// (read by ResetFrameClock); otherwise these do nothing. A drawn frame takes a mark at its
// start and one where its Direct3D calls begin, and ends with EndFrameWork before its flip;
// LogFrameStats writes the figures (FrameStats) to the log and starts over.
int64_t MarkFrameWork();
void EndFrameWork(int64_t start, int64_t drawStart);
void LogFrameStats();
