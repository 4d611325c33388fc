// Voice: a stream's frames on their way to the mix; once the decoder has ended, it is not
// asked again until the song starts over.
#include "audio/Voice.h"

#include <algorithm>

namespace zaudio {

int Voice::Take(float* out, int frames)
{
    if (m_ended || frames <= 0)
        return 0;
    int n = std::max(0, std::min(m_decoder->Read(out, frames), frames));
    if (n < frames)
        m_ended = true;
    return n;
}

bool Voice::Restart()
{
    m_ended = false;
    return m_decoder->Rewind();
}

}  // namespace zaudio
