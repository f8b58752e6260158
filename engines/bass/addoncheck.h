#ifndef ADDONCHECK_H
#define ADDONCHECK_H

#include <string>

// The loader maps a library's segments straight from the file, and touching
// a page past its end raises SIGBUS, so a cut library would crash the
// process inside dlopen. True only for a regular file that is a shared
// object of our own class, byte order and machine, every part of which the
// loader maps or reads lies inside the file. Internal to the engine; a fuzz
// target calls it too.
bool isWholeSharedObject(const std::string &path);

#endif // ADDONCHECK_H
