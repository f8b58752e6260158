#ifndef BASS_H
#define BASS_H

/*
 * The BASS audio engine: streams that play audio files (from a path or from
 * memory) on the default output device, widened by decoder add-ons.
 *
 * Calls are thread-safe. A failing call returns 0 (FALSE) and sets the
 * calling thread's error code, which BASS_ErrorGetCode() returns; a
 * successful call sets it to BASS_OK.
 */

#include <stdint.h>

#ifdef _WIN32
#  include <wtypes.h>
#  define BASSAPI __stdcall
#else
typedef uint32_t DWORD;
typedef uint64_t QWORD;
typedef int BOOL;
#  ifndef TRUE
#    define TRUE 1
#    define FALSE 0
#  endif
#  define BASSAPI
#endif

#if defined(BASS_BUILD)
#  ifdef _WIN32
#    define BASSDEF(type) __declspec(dllexport) type BASSAPI
#  else
#    define BASSDEF(type) __attribute__((visibility("default"))) type BASSAPI
#  endif
#else
#  define BASSDEF(type) type BASSAPI
#endif

typedef DWORD HSTREAM; /* a stream; never 0 */
typedef DWORD HPLUGIN; /* a loaded add-on; never 0 */

/* BASS_GetVersion(): the interface version in the high 16 bits, the
   engine's own revision in the low 16 bits. */
#define BASSVERSION 0x0204
#define BASS_ENGINE_VERSION 0x02040001u

/* Flag of BASS_StreamCreateFile and BASS_PluginLoad: the file name is a
   null-terminated UTF-16 string instead of UTF-8. */
#define BASS_UNICODE 0x80000000u

/* Error codes. Stable: new codes are only ever appended. */
#define BASS_OK             0  /* no error */
#define BASS_ERROR_INIT     1  /* BASS_Init has not succeeded (or BASS_Free undid it) */
#define BASS_ERROR_ALREADY  2  /* already initialised, or add-on already loaded */
#define BASS_ERROR_DEVICE   3  /* no such output device (only -1 and 1, the default, exist) */
#define BASS_ERROR_DRIVER   4  /* no sound server can be reached */
#define BASS_ERROR_ILLPARAM 5  /* an argument is invalid (null or empty data, nonzero file offset) */
#define BASS_ERROR_FILEOPEN 6  /* the file cannot be opened, or is a directory, FIFO or device */
#define BASS_ERROR_FILEFORM 7  /* no decoder, built-in or add-on, recognises the data */
#define BASS_ERROR_HANDLE   8  /* not a valid stream or add-on handle */
#define BASS_ERROR_START    9  /* the sound server refused to start the output */
#define BASS_ERROR_MEM      10 /* out of memory */
#define BASS_ERROR_ADDON    11 /* the library cannot be loaded or is no add-on of this ABI */
#define BASS_ERROR_UNKNOWN  (-1)

#ifdef __cplusplus
extern "C" {
#endif

/* Version: see BASSVERSION. Never fails. */
BASSDEF(DWORD) BASS_GetVersion(void);

/* Opens the output device: device -1 (or 1) is the default device. freq is
   the preferred output rate (each stream plays at its own rate; the sound
   server converts). flags, win and clsid are reserved: pass 0 and nulls.
   Fails with BASS_ERROR_ALREADY, BASS_ERROR_DEVICE, BASS_ERROR_ILLPARAM
   (freq 0) or BASS_ERROR_DRIVER. */
BASSDEF(BOOL) BASS_Init(int device, DWORD freq, DWORD flags, void *win, const void *clsid);

/* Frees every stream and closes the device. Add-ons stay loaded. Fails with
   BASS_ERROR_INIT. */
BASSDEF(BOOL) BASS_Free(void);

/* The calling thread's code of its last call. */
BASSDEF(int) BASS_ErrorGetCode(void);

/* Creates a stream, stopped, from a file or from memory.
   mem FALSE: file is the path (UTF-8, or UTF-16 with BASS_UNICODE); offset
   and length must be 0 (the whole file).
   mem TRUE: file points to the complete content of an audio file; the
   stream reads offset .. offset + length of it in place, so the caller keeps
   those bytes alive and unchanged until BASS_StreamFree (or BASS_Free).
   Decoders are tried in order: the built-in one (WAV, AIFF, FLAC, Ogg
   Vorbis, Opus, MP3), then the add-ons in the order they were loaded.
   Fails with BASS_ERROR_INIT, BASS_ERROR_ILLPARAM, BASS_ERROR_FILEOPEN or
   BASS_ERROR_FILEFORM. */
BASSDEF(HSTREAM) BASS_StreamCreateFile(BOOL mem, const void *file, QWORD offset, QWORD length, DWORD flags);

/* Frees a stream; stops it at once if it plays. Fails with BASS_ERROR_HANDLE. */
BASSDEF(BOOL) BASS_StreamFree(HSTREAM handle);

/* Starts a stream and returns at once; it plays once, decoded on the
   engine's own thread. restart TRUE starts it over; FALSE goes on from where
   it is (a stream that has played out starts over). Fails with
   BASS_ERROR_HANDLE or BASS_ERROR_START. */
BASSDEF(BOOL) BASS_ChannelPlay(DWORD handle, BOOL restart);

/* Loads a decoder add-on (see bassaddon.h); file is UTF-8, or UTF-16 with
   BASS_UNICODE. Needs no BASS_Init. Fails with BASS_ERROR_ILLPARAM,
   BASS_ERROR_ALREADY (the same file is loaded) or BASS_ERROR_ADDON. */
BASSDEF(HPLUGIN) BASS_PluginLoad(const char *file, DWORD flags);

/* Unloads an add-on, or every add-on when handle is 0. Streams it already
   decodes play on; the library is unmapped when the last of them is freed.
   Fails with BASS_ERROR_HANDLE. */
BASSDEF(BOOL) BASS_PluginFree(HPLUGIN handle);

#ifdef __cplusplus
}
#endif

#endif /* BASS_H */
