/*
 * The C interface of the FMOD Ex sound system as the audio player plugin
 * uses it. libfmodex exports exactly these entry points.
 *
 * Handles are opaque pointers. Every call returns an FMOD_RESULT, 0 on
 * success; the numbering of the other results is fixed (0 to 95) and is
 * what the player's error texts are indexed by.
 */
#ifndef FMODEX_H
#define FMODEX_H

#if defined(_WIN32)
#  define FMOD_CALL __stdcall
#  if defined(FMODEX_LIBRARY)
#    define FMOD_EXPORT __declspec(dllexport)
#  else
#    define FMOD_EXPORT __declspec(dllimport)
#  endif
#else
#  define FMOD_CALL
#  define FMOD_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FMOD_SYSTEM FMOD_SYSTEM;
typedef struct FMOD_SOUND FMOD_SOUND;
typedef struct FMOD_CHANNEL FMOD_CHANNEL;

/* A plain int, so that any value a library returns can be held and shown. */
typedef int FMOD_RESULT;
typedef int FMOD_BOOL;
typedef unsigned int FMOD_MODE;
typedef unsigned int FMOD_INITFLAGS;
typedef int FMOD_CHANNELINDEX;

enum {
    FMOD_OK = 0,
    FMOD_ERR_ALREADYLOCKED = 1,
    FMOD_ERR_BADCOMMAND = 2,
    FMOD_ERR_CDDA_DRIVERS = 3,
    FMOD_ERR_CDDA_INIT = 4,
    FMOD_ERR_CDDA_INVALID_DEVICE = 5,
    FMOD_ERR_CDDA_NOAUDIO = 6,
    FMOD_ERR_CDDA_NODEVICES = 7,
    FMOD_ERR_CDDA_NODISC = 8,
    FMOD_ERR_CDDA_READ = 9,
    FMOD_ERR_CHANNEL_ALLOC = 10,
    FMOD_ERR_CHANNEL_STOLEN = 11,
    FMOD_ERR_COM = 12,
    FMOD_ERR_DMA = 13,
    FMOD_ERR_DSP_CONNECTION = 14,
    FMOD_ERR_DSP_FORMAT = 15,
    FMOD_ERR_DSP_NOTFOUND = 16,
    FMOD_ERR_DSP_RUNNING = 17,
    FMOD_ERR_DSP_TOOMANYCONNECTIONS = 18,
    FMOD_ERR_FILE_BAD = 19,
    FMOD_ERR_FILE_COULDNOTSEEK = 20,
    FMOD_ERR_FILE_DISKEJECTED = 21,
    FMOD_ERR_FILE_EOF = 22,
    FMOD_ERR_FILE_NOTFOUND = 23,
    FMOD_ERR_FILE_UNWANTED = 24,
    FMOD_ERR_FORMAT = 25,
    FMOD_ERR_HTTP = 26,
    FMOD_ERR_HTTP_ACCESS = 27,
    FMOD_ERR_HTTP_PROXY_AUTH = 28,
    FMOD_ERR_HTTP_SERVER_ERROR = 29,
    FMOD_ERR_HTTP_TIMEOUT = 30,
    FMOD_ERR_INITIALIZATION = 31,
    FMOD_ERR_INITIALIZED = 32,
    FMOD_ERR_INTERNAL = 33,
    FMOD_ERR_INVALID_ADDRESS = 34,
    FMOD_ERR_INVALID_FLOAT = 35,
    FMOD_ERR_INVALID_HANDLE = 36,
    FMOD_ERR_INVALID_PARAM = 37,
    FMOD_ERR_INVALID_POSITION = 38,
    FMOD_ERR_INVALID_SPEAKER = 39,
    FMOD_ERR_INVALID_SYNCPOINT = 40,
    FMOD_ERR_INVALID_VECTOR = 41,
    FMOD_ERR_MAXAUDIBLE = 42,
    FMOD_ERR_MEMORY = 43,
    FMOD_ERR_MEMORY_CANTPOINT = 44,
    FMOD_ERR_MEMORY_SRAM = 45,
    FMOD_ERR_NEEDS2D = 46,
    FMOD_ERR_NEEDS3D = 47,
    FMOD_ERR_NEEDSHARDWARE = 48,
    FMOD_ERR_NEEDSSOFTWARE = 49,
    FMOD_ERR_NET_CONNECT = 50,
    FMOD_ERR_NET_SOCKET_ERROR = 51,
    FMOD_ERR_NET_URL = 52,
    FMOD_ERR_NET_WOULD_BLOCK = 53,
    FMOD_ERR_NOTREADY = 54,
    FMOD_ERR_OUTPUT_ALLOCATED = 55,
    FMOD_ERR_OUTPUT_CREATEBUFFER = 56,
    FMOD_ERR_OUTPUT_DRIVERCALL = 57,
    FMOD_ERR_OUTPUT_ENUMERATION = 58,
    FMOD_ERR_OUTPUT_FORMAT = 59,
    FMOD_ERR_OUTPUT_INIT = 60,
    FMOD_ERR_OUTPUT_NOHARDWARE = 61,
    FMOD_ERR_OUTPUT_NOSOFTWARE = 62,
    FMOD_ERR_PAN = 63,
    FMOD_ERR_PLUGIN = 64,
    FMOD_ERR_PLUGIN_INSTANCES = 65,
    FMOD_ERR_PLUGIN_MISSING = 66,
    FMOD_ERR_PLUGIN_RESOURCE = 67,
    FMOD_ERR_PRELOADED = 68,
    FMOD_ERR_PROGRAMMERSOUND = 69,
    FMOD_ERR_RECORD = 70,
    FMOD_ERR_REVERB_INSTANCE = 71,
    FMOD_ERR_SUBSOUND_ALLOCATED = 72,
    FMOD_ERR_SUBSOUND_CANTMOVE = 73,
    FMOD_ERR_SUBSOUND_MODE = 74,
    FMOD_ERR_SUBSOUNDS = 75,
    FMOD_ERR_TAGNOTFOUND = 76,
    FMOD_ERR_TOOMANYCHANNELS = 77,
    FMOD_ERR_UNIMPLEMENTED = 78,
    FMOD_ERR_UNINITIALIZED = 79,
    FMOD_ERR_UNSUPPORTED = 80,
    FMOD_ERR_UPDATE = 81,
    FMOD_ERR_VERSION = 82,
    FMOD_ERR_EVENT_FAILED = 83,
    FMOD_ERR_EVENT_INFOONLY = 84,
    FMOD_ERR_EVENT_INTERNAL = 85,
    FMOD_ERR_EVENT_MAXSTREAMS = 86,
    FMOD_ERR_EVENT_MISMATCH = 87,
    FMOD_ERR_EVENT_NAMECONFLICT = 88,
    FMOD_ERR_EVENT_NOTFOUND = 89,
    FMOD_ERR_EVENT_NEEDSSIMPLE = 90,
    FMOD_ERR_EVENT_GUIDCONFLICT = 91,
    FMOD_ERR_EVENT_ALREADY_LOADED = 92,
    FMOD_ERR_MUSIC_UNINITIALIZED = 93,
    FMOD_ERR_MUSIC_NOTFOUND = 94,
    FMOD_ERR_MUSIC_NOCALLBACK = 95
};

/* The library version that FMOD_System_GetVersion reports. */
#define FMOD_VERSION 0x00044464

/* Sound modes. */
#define FMOD_DEFAULT    0x00000000
#define FMOD_LOOP_OFF   0x00000001
#define FMOD_HARDWARE   0x00000020
#define FMOD_SOFTWARE   0x00000040
#define FMOD_OPENMEMORY 0x00000800

/* Channel indices for FMOD_System_PlaySound. */
#define FMOD_CHANNEL_FREE  (-1) /* any free channel */
#define FMOD_CHANNEL_REUSE (-2) /* the channel passed in *channel */

/*
 * Extended sound creation information: 136 bytes, all zero except cbsize
 * (the record's size) and, for FMOD_OPENMEMORY, length (the data's size in
 * bytes). The reserved bytes keep the record's size fixed.
 */
typedef struct FMOD_CREATESOUNDEXINFO {
    int cbsize;
    unsigned int length;
    unsigned char reserved[128];
} FMOD_CREATESOUNDEXINFO;
#ifdef __cplusplus
static_assert(sizeof(FMOD_CREATESOUNDEXINFO) == 136, "the record has a fixed size");
#endif

FMOD_EXPORT FMOD_RESULT FMOD_CALL FMOD_System_Create(FMOD_SYSTEM **system);
FMOD_EXPORT FMOD_RESULT FMOD_CALL FMOD_System_GetVersion(FMOD_SYSTEM *system, unsigned int *version);
FMOD_EXPORT FMOD_RESULT FMOD_CALL FMOD_System_Init(FMOD_SYSTEM *system, int maxChannels,
                                                  FMOD_INITFLAGS flags, void *extraDriverData);
FMOD_EXPORT FMOD_RESULT FMOD_CALL FMOD_System_Release(FMOD_SYSTEM *system);
/* nameOrData is a path, or with FMOD_OPENMEMORY the file's bytes
 * (exinfo->length of them), which are copied before the call returns. */
FMOD_EXPORT FMOD_RESULT FMOD_CALL FMOD_System_CreateSound(FMOD_SYSTEM *system, const char *nameOrData,
                                                         FMOD_MODE mode, FMOD_CREATESOUNDEXINFO *exinfo,
                                                         FMOD_SOUND **sound);
FMOD_EXPORT FMOD_RESULT FMOD_CALL FMOD_System_PlaySound(FMOD_SYSTEM *system, FMOD_CHANNELINDEX channelIndex,
                                                       FMOD_SOUND *sound, FMOD_BOOL paused,
                                                       FMOD_CHANNEL **channel);
FMOD_EXPORT FMOD_RESULT FMOD_CALL FMOD_Sound_SetMode(FMOD_SOUND *sound, FMOD_MODE mode);
FMOD_EXPORT FMOD_RESULT FMOD_CALL FMOD_Sound_Release(FMOD_SOUND *sound);
FMOD_EXPORT FMOD_RESULT FMOD_CALL FMOD_Channel_IsPlaying(FMOD_CHANNEL *channel, FMOD_BOOL *isPlaying);
FMOD_EXPORT FMOD_RESULT FMOD_CALL FMOD_Channel_Stop(FMOD_CHANNEL *channel);

#ifdef __cplusplus
}
#endif

#endif /* FMODEX_H */
