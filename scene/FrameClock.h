// The process-wide frame clock: elapsed time per frame, the frame-rate samples and their
// average, and the smoothed time step that advances the flag's wave.
#pragma once

#include "scene/StepFilter.h"

// The current time becomes the previous frame's time (called right before the main loop).
void ResetFrameClock();
// Measures the frame that just ended; returns its milliseconds and updates the average
// frame rate and the smoothed step.
double MeasureFrame();
// Average of every 250 ms frame-rate sample of the run; 100 until the first sample.
float AverageFrameRate();
// The flag's step for this frame in units of 16.666 ms (about 1 at 60 frames per second).
float SmoothedStep();
// Milliseconds of the last measured frame.
double FrameMilliseconds();
// The filter that smooths the step (the scene sets its length).
cStepFilter& FrameStepFilter();
