#ifndef FMODEXDOUBLE_H
#define FMODEXDOUBLE_H

#include "callrecorder.h"

#include <fmodex.h>

// A recording stand-in for the FMOD Ex library: it exports the same entry
// points, records every call with its arguments and answers as scripted.
// Handles are named in the record by kind and creation order ("system1",
// "sound2", "channel1"); an output argument shows the value it held on
// entry ("&0", "&null", "&channel1").
namespace FmodexDouble {

// Forgets the calls and the script: every call succeeds, the version is
// FMOD_VERSION and a channel plays.
void reset();
void setVersion(unsigned int version);
// What FMOD_Channel_IsPlaying reports.
void setPlaying(bool playing);

// The calls, and their scripts: a call scripted with a result other than
// FMOD_OK returns it and leaves its output arguments untouched. Forgetting
// the calls leaves the handles their names.
CallRecorder &recorder();
// The data pointer of the last sound created from memory.
const void *lastMemory();

} // namespace FmodexDouble

#endif // FMODEXDOUBLE_H
