/* Ownership tracking of the Ogg Vorbis decoder's heap blocks while a stream is opened: a
   failed open frees every block the decoder allocated and did not free (it would leak
   them); a successful one leaves them to the decoder. One open per thread at a time.
   The decoder allocates everything a stream needs while it opens it, so the open's budget
   bounds the stream's memory: an allocation that would take the blocks alive beyond it
   fails, and the open fails as out of memory. */
#ifndef ZEPHYL_AUDIO_STBVORBISALLOC_H
#define ZEPHYL_AUDIO_STBVORBISALLOC_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZaudioStbTracker {
    void* storage[4]; /* the list's sentinel; lives as long as the tracking */
    size_t live;      /* bytes of the open's blocks not freed yet */
    size_t peak;      /* the most that were alive at once */
    size_t budget;
} ZaudioStbTracker;

/* Memory one stream may take: real songs need well under 1 MB. */
#define ZAUDIO_STB_STREAM_BUDGET (4u * 1024u * 1024u)

void zaudio_stb_track_begin(ZaudioStbTracker* tracker, size_t budget);
/* freeAll: 1 after a failed open, 0 after a successful one. */
void zaudio_stb_track_end(ZaudioStbTracker* tracker, int freeAll);

#ifdef __cplusplus
}
#endif

#endif
