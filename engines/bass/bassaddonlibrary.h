#ifndef BASSADDONLIBRARY_H
#define BASSADDONLIBRARY_H

#include "bassaddon.h"

#include "zqaudiodecoder.h"

#include <memory>
#include <string>

// One loaded add-on library. Its decoder factory and every decoder it opens
// hold a reference, so the library stays mapped while any of its code can
// still run, whenever the add-on itself is freed.
class BassAddOnLibrary : public std::enable_shared_from_this<BassAddOnLibrary>
{
public:
    // Null when the file cannot be loaded or is no add-on of our ABI.
    static std::shared_ptr<BassAddOnLibrary> load(const std::string &utf8Path);
    ~BassAddOnLibrary();

    // The system's handle of the library; equal for two loads of one file.
    void *nativeHandle() const { return m_handle; }
    zqaudio::DecoderFactory decoderFactory();

    BassAddOnLibrary(const BassAddOnLibrary &) = delete;
    BassAddOnLibrary &operator=(const BassAddOnLibrary &) = delete;

private:
    BassAddOnLibrary(void *handle, const BASSADDON *api) : m_handle(handle), m_api(api) {}

    void *m_handle;
    const BASSADDON *m_api;
};

#endif // BASSADDONLIBRARY_H
