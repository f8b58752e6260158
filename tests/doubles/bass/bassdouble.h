#ifndef BASSDOUBLE_H
#define BASSDOUBLE_H

#include "callrecorder.h"

#include <bass.h>

// A recording stand-in for the BASS library: it exports the same entry
// points, records every call with its arguments and answers as scripted.
// Memory is shown by its length ("<12 bytes>"), UTF-16 and UTF-8 paths as
// quoted text, booleans as TRUE/FALSE, flags in hexadecimal.
namespace BassDouble {

// Forgets the calls and the script: every call succeeds, the version is
// BASS_ENGINE_VERSION, handles count from 1.
void reset();
void setVersion(DWORD version);
// BASS_PluginLoad fails with errorCode for paths ending in fileName.
void refuseAddOn(const QString &fileName, int errorCode);

// The calls, and their scripts: a call scripted with an error code fails,
// returning 0 and setting the code BASS_ErrorGetCode() returns.
CallRecorder &recorder();
// The data pointer of the last stream created from memory.
const void *lastMemory();
// Whether, when BASS_StreamFree freed it, the memory stream still had the
// bytes it was created over; false also when no memory stream was freed.
bool lastFreedMemoryIntact();

} // namespace BassDouble

#endif // BASSDOUBLE_H
