// The options file parser: the bytes as the options file a configuration
// loads.

#include "inputfile.h"
#include "nsocr.h"
#include "utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const InputFile file;
    static const std::u16string path = fromUtf8(file.path());
    file.write(data, size);

    NSOCR_HANDLE cfg = 0;
    if (Cfg_Create(&cfg) != 0)
        std::abort();
    const int32_t result = Cfg_LoadOptions(cfg, reinterpret_cast<const NSOCR_UTF16 *>(path.c_str()));
    // A file the parser cannot follow is an error result, never a failure
    // of the engine itself.
    if (result != 0 && result != ERROR_UNKNOWNOPTION && result != ERROR_NOLANGUAGEDATA
        && result != ERROR_FILETOOLARGE)
        std::abort();
    Cfg_Destroy(cfg);
    return 0;
}
