/* The Ogg Vorbis decoder itself: stb_vorbis (public domain) from the system's stb package,
   with its heap calls routed through two guards:
   - a size cap: a damaged header can ask for absurd sizes, which must fail as "out of
     memory" rather than take the address space (or a sanitizer) down; while a stream is
     opened, the cap is the stream's budget for all its blocks together;
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
/* The tracker whose sentinel g_tracking is (its first member). */
#define ZAUDIO_TRACKER() ((ZaudioStbTracker*)g_tracking)

static void* zaudio_stb_malloc(size_t n)
{
    ZBlock* b;
    if (n > ZAUDIO_STB_MAX_ALLOC)
        return NULL;
    if (g_tracking && n > ZAUDIO_TRACKER()->budget - ZAUDIO_TRACKER()->live)
        return NULL;
    b = (ZBlock*)malloc(sizeof(ZBlock) + n);
    if (!b)
        return NULL;
    b->size = n;
    if (g_tracking) {
        ZaudioStbTracker* t = ZAUDIO_TRACKER();
        t->live += n;
        if (t->live > t->peak)
            t->peak = t->live;
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
        /* Only blocks of the open under way are linked (a stream's own blocks are unlinked
           when its open ends). */
        if (g_tracking)
            ZAUDIO_TRACKER()->live -= b->size;
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

void zaudio_stb_track_begin(ZaudioStbTracker* tracker, size_t budget)
{
    ZBlock* s = (ZBlock*)tracker->storage;
    s->next = s->prev = s;
    tracker->live = tracker->peak = 0;
    tracker->budget = budget;
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

/* The decoder converts floor() of values a damaged codebook makes arbitrarily large (or
   NaN) to int, which is undefined beyond int's range: it gets them clamped to that range,
   which changes nothing for honest values. Its signed integer overflows on damaged data are
   made defined by compiling this file with -fwrapv. */
static double zaudio_floor_for_int(double x)
{
    double f = floor(x);
    if (f != f)
        return 0.0;
    if (f > (double)INT_MAX)
        return (double)INT_MAX;
    if (f < (double)INT_MIN)
        return (double)INT_MIN;
    return f;
}

#define floor(x) zaudio_floor_for_int(x)
#define malloc(n) zaudio_stb_malloc(n)
#define free(p) zaudio_stb_free(p)
#define realloc(p, n) zaudio_stb_realloc(p, n)
#include <stb_vorbis.h>
