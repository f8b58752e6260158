#ifndef ZQAUDIOSTREAM_H
#define ZQAUDIOSTREAM_H

#include "zqaudioerror.h"

#include <memory>

namespace zqaudio {

class Decoder;
class DecoderList;
class Device;
class Source;

// One sound on a device. While it plays, a thread of its own decodes small
// chunks (about 20 ms) and feeds them to a server stream whose buffer holds
// 50 to 100 ms, so play() returns at once whatever the sound's length and
// memory stays bounded.
//
// All members are called from one thread at a time (the facade's caller);
// the decoding thread is internal.
class Stream
{
public:
    Stream(Device &device, std::unique_ptr<Decoder> decoder);
    // Stops the sound; does not block for long.
    ~Stream();

    // Opens a decoder for source from the list and wraps it in a stream.
    // Returns null with *error set (FileOpen, Format) when no decoder fits.
    static std::unique_ptr<Stream> create(Device &device, const DecoderList &decoders,
                                          const std::shared_ptr<const Source> &source,
                                          Error *error = nullptr);

    // Starts playing. A stream that is playing goes on (restart false) or
    // starts over (restart true); a stopped stream resumes where it stopped
    // (restart false) or starts over; a stream that has played out starts
    // over. Returns false with *error set to Output when the server refuses
    // the output stream.
    bool play(bool restart, Error *error = nullptr);
    // Silences the sound at once and ends the decoding thread; the position
    // is kept for a later play(false). Returns within a chunk's decoding time.
    void stop();
    // True from play() until the sound has played out, stop() was called or
    // the server went away.
    bool isPlaying() const;

    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zqaudio

#endif // ZQAUDIOSTREAM_H
