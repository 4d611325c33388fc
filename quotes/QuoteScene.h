// The quote show's place in the scene: opening the picture and quote bundles, reading their
// content, building the show for the scene and taking it down again. The bundles live for
// the process; the content arrays and the show from the scene's set-up to its clean-up.
#pragma once

class QuoteShow;

// Hands the scene the quote show's set-up, frame and clean-up steps.
void InstallQuoteShow();
// The running show, null outside a run with quotations.
QuoteShow* TheQuoteShow();
// Test seam: caps the largest texture side (0: the device's) and forces the texture depth
// (0: by the device's formats) of the next set-up.
void SetQuoteShowLimits(int maxTextureSize, int textureDepth);
