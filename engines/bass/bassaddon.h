#ifndef BASSADDON_H
#define BASSADDON_H

/*
 * The decoder add-on ABI of the BASS engine.
 *
 * An add-on is a shared library that exports one C function,
 * BASSADDON_Describe, returning a pointer to a static BASSADDON record that
 * stays valid while the library is loaded. BASS_PluginLoad refuses a library
 * without that function or whose record carries another abiVersion.
 *
 * The engine calls open() with a source; the add-on returns null when the
 * data is not in a format it decodes, or a decoder of its own that delivers
 * interleaved signed 16-bit native-endian PCM. A memory source stays valid
 * and unchanged until close(). One decoder is used by one thread at a time;
 * different decoders may be used concurrently. Nothing crosses the boundary
 * but these plain C types, so add-ons and engine need not share a compiler.
 */

#include <stdint.h>

#ifdef _WIN32
#  define BASSADDONAPI __stdcall
#  define BASSADDON_EXPORT __declspec(dllexport)
#else
#  define BASSADDONAPI
#  define BASSADDON_EXPORT __attribute__((visibility("default")))
#endif

#define BASSADDON_ABI_VERSION 1u
#define BASSADDON_ENTRY "BASSADDON_Describe"

typedef struct BASSADDON_SOURCE
{
    const char *path;  /* UTF-8 path of a file, or null for memory */
    const void *data;  /* the complete file's bytes when path is null */
    uint64_t size;     /* byte count of data */
} BASSADDON_SOURCE;

typedef struct BASSADDON_FORMAT
{
    uint32_t rate;     /* frames per second, > 0 */
    uint32_t channels; /* > 0 */
} BASSADDON_FORMAT;

typedef struct BASSADDON_DECODER BASSADDON_DECODER; /* the add-on's own */

typedef struct BASSADDON
{
    uint32_t abiVersion; /* BASSADDON_ABI_VERSION */
    const char *name;    /* for diagnostics */
    /* Opens a decoder and fills *format, or returns null. */
    BASSADDON_DECODER *(BASSADDONAPI *open)(const BASSADDON_SOURCE *source, BASSADDON_FORMAT *format);
    /* Reads up to frames frames into out; returns the frames read, 0 at the
       end, negative when the data cannot be decoded further. */
    int64_t (BASSADDONAPI *read)(BASSADDON_DECODER *decoder, int16_t *out, int64_t frames);
    /* Goes back to the first frame; nonzero on success. */
    int (BASSADDONAPI *rewind)(BASSADDON_DECODER *decoder);
    void (BASSADDONAPI *close)(BASSADDON_DECODER *decoder);
} BASSADDON;

typedef const BASSADDON *(BASSADDONAPI *BASSADDON_DescribeProc)(void);

#endif /* BASSADDON_H */
