/* The Ogg Vorbis decoder itself: stb_vorbis (public domain) from the system's stb package,
   with its heap calls routed through two guards:
   - a size cap: a damaged header can ask for absurd sizes, which must fail as "out of
     memory" rather than take the address space (or a sanitizer) down;
   - ownership tracking while a stream is opened: the decoder leaks its scratch buffers when
     it gives up on a damaged header, so every block allocated during an open is listed and
     the failed open frees what is left (zaudio_stb_track_end). */
#include <assert.h>
#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#if defined(_WIN32)
#include <malloc.h>
#else
#include <alloca.h>
#endif

#include "audio/StbVorbisAlloc.h"

#define ZAUDIO_STB_MAX_ALLOC (64u * 1024u * 1024u)

/* Every block carries this header; next/prev link it into the open's list, or are null. */
typedef struct ZBlock {
    struct ZBlock* next;
    struct ZBlock* prev;
    size_t size;
    size_t unused; /* keeps the user part at malloc's alignment */
} ZBlock;

typedef char zaudio_tracker_fits[sizeof(ZBlock) <= sizeof(((ZaudioStbTracker*)0)->storage) ? 1 : -1];

#if defined(_WIN32)
static __thread ZBlock* g_tracking;
#else
static _Thread_local ZBlock* g_tracking;
#endif

static void* zaudio_stb_malloc(size_t n)
{
    ZBlock* b;
    if (n > ZAUDIO_STB_MAX_ALLOC)
        return NULL;
    b = (ZBlock*)malloc(sizeof(ZBlock) + n);
    if (!b)
        return NULL;
    b->size = n;
    if (g_tracking) {
        b->next = g_tracking->next;
        b->prev = g_tracking;
        g_tracking->next->prev = b;
        g_tracking->next = b;
    } else {
        b->next = b->prev = NULL;
    }
    return b + 1;
}

static void zaudio_stb_free(void* p)
{
    ZBlock* b;
    if (!p)
        return;
    b = (ZBlock*)p - 1;
    if (b->next) {
        b->prev->next = b->next;
        b->next->prev = b->prev;
    }
    free(b);
}

static void* zaudio_stb_realloc(void* p, size_t n)
{
    void* q;
    size_t keep;
    if (!p)
        return zaudio_stb_malloc(n);
    q = zaudio_stb_malloc(n);
    if (!q)
        return NULL;
    keep = ((ZBlock*)p - 1)->size;
    memcpy(q, p, keep < n ? keep : n);
    zaudio_stb_free(p);
    return q;
}

void zaudio_stb_track_begin(ZaudioStbTracker* tracker)
{
    ZBlock* s = (ZBlock*)tracker->storage;
    s->next = s->prev = s;
    g_tracking = s;
}

void zaudio_stb_track_end(ZaudioStbTracker* tracker, int freeAll)
{
    ZBlock* s = (ZBlock*)tracker->storage;
    ZBlock* b = s->next;
    while (b != s) {
        ZBlock* next = b->next;
        if (freeAll) {
            free(b);
        } else {
            b->next = b->prev = NULL;
        }
        b = next;
    }
    s->next = s->prev = s;
    g_tracking = NULL;
}

#define malloc(n) zaudio_stb_malloc(n)
#define free(p) zaudio_stb_free(p)
#define realloc(p, n) zaudio_stb_realloc(p, n)
#include <stb_vorbis.h>
