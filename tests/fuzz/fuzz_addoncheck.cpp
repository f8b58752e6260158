// The check that stands between an add-on file and the loader: the bytes as
// a file that BASS_PluginLoad is asked to load.

#include "addoncheck.h"
#include "inputfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const InputFile file;
    file.write(data, size);
    isWholeSharedObject(file.path());
    return 0;
}
