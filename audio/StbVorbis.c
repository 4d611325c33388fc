/* The Ogg Vorbis decoder itself: stb_vorbis (public domain) from the system's stb package. */
#include <stb_vorbis.h>
