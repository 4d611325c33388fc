// Windows Media (WMA/ASF) songs through the system's Windows Media reader (WMCreateSyncReader
// from wmvcore.dll, looked up at run time); without it the open fails with
// FMOD_ERR_MEDIAPLAYER. The decoder returned belongs to the caller.
#pragma once

#include "audio/SongOpener.h"

namespace zaudio {

std::unique_ptr<Decoder> OpenWindowsMedia(const SongSource& source, int& error);

}  // namespace zaudio
