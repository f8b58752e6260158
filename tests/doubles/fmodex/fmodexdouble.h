#ifndef FMODEXDOUBLE_H
#define FMODEXDOUBLE_H

#include <fmodex.h>

#include <QStringList>

// A recording stand-in for the FMOD Ex library: it exports the same entry
// points, records every call with its arguments and answers as scripted.
// Handles are named in the record by kind and creation order ("system1",
// "sound2", "channel1"); an output argument shows the value it held on
// entry ("&0", "&null", "&channel1").
namespace FmodexDouble {

// Forgets the calls and the script: every call succeeds, the version is
// FMOD_VERSION and a channel plays.
void reset();
// Forgets the calls only; the handles keep their names.
void clearCalls();
// Every later call of the named entry point returns result and leaves its
// output arguments untouched, unless result is FMOD_OK.
void setResult(const char *function, FMOD_RESULT result);
void setVersion(unsigned int version);
// What FMOD_Channel_IsPlaying reports.
void setPlaying(bool playing);

QStringList calls();
// The data pointer of the last sound created from memory.
const void *lastMemory();

} // namespace FmodexDouble

#endif // FMODEXDOUBLE_H
