// VorbisHeaders: a check of an Ogg Vorbis stream's comment header before the decoder reads
// it; the decoder sizes a table from the comment count without checking it against the
// packet, so a lying count could make it write past that table.
#pragma once

#include "audio/ByteSource.h"

namespace zaudio {

// True when the first two packets can be gathered from header pages of one logical stream
// (in file order, the order the decoder reads them) and the second one (the comment header)
// is a Vorbis comment header whose every length stays inside the packet.
bool VorbisCommentHeaderSane(ByteSource& src);

}  // namespace zaudio
