#ifndef FMODEXERRORTEXTS_H
#define FMODEXERRORTEXTS_H

// The published text of an FMOD Ex result code: one for each code from 0 to
// 95, "Unknown error." for every other value, negative ones included.
const char *fmodexErrorText(int result);

#endif // FMODEXERRORTEXTS_H
