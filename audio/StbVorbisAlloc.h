/* Ownership tracking of the Ogg Vorbis decoder's heap blocks while a stream is opened: a
   failed open frees every block the decoder allocated and did not free (it would leak
   them); a successful one leaves them to the decoder. One open per thread at a time. */
#ifndef ZEPHYL_AUDIO_STBVORBISALLOC_H
#define ZEPHYL_AUDIO_STBVORBISALLOC_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZaudioStbTracker {
    void* storage[4]; /* the list's sentinel; lives as long as the tracking */
} ZaudioStbTracker;

void zaudio_stb_track_begin(ZaudioStbTracker* tracker);
/* freeAll: 1 after a failed open, 0 after a successful one. */
void zaudio_stb_track_end(ZaudioStbTracker* tracker, int freeAll);

#ifdef __cplusplus
}
#endif

#endif
