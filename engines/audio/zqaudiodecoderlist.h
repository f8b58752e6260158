#ifndef ZQAUDIODECODERLIST_H
#define ZQAUDIODECODERLIST_H

#include "zqaudiodecoder.h"
#include "zqaudioerror.h"

#include <mutex>
#include <vector>

namespace zqaudio {

// An ordered list of decoder factories, tried in the order they were added
// until one recognises the data. An engine facade owns one list: it usually
// adds openSndfileDecoder first and further decoders (add-ons, FFmpeg)
// after it. Thread-safe.
class DecoderList
{
public:
    using Id = unsigned;

    // Appends a factory; returns an id for remove(), never 0.
    Id add(DecoderFactory factory);
    // Removes the factory with this id. Decoders it already opened stay valid.
    void remove(Id id);
    void clear();

    // Opens the first decoder that recognises the source. On failure returns
    // null and sets *error (when given) to FileOpen for a file that cannot
    // be read and to Format when no decoder recognises the data.
    std::unique_ptr<Decoder> open(const std::shared_ptr<const Source> &source, Error *error = nullptr) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<Id, DecoderFactory>> m_factories;
    Id m_lastId = 0;
};

} // namespace zqaudio

#endif // ZQAUDIODECODERLIST_H
