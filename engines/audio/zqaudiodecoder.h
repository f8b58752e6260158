#ifndef ZQAUDIODECODER_H
#define ZQAUDIODECODER_H

#include <cstdint>
#include <functional>
#include <memory>

namespace zqaudio {

class Source;

// One open, decodable sound. Every decoder delivers interleaved signed
// 16-bit native-endian PCM at its own rate and channel count, the channels in
// the WAVE order (left, right, centre, LFE, rear left, rear right, ...);
// resampling and mixing down are left to the sound server.
//
// A decoder is used by one thread at a time (the stream's), never
// concurrently.
class Decoder
{
public:
    virtual ~Decoder() = default;

    virtual int sampleRate() const = 0;
    virtual int channels() const = 0;
    // Reads up to frameCount frames into out (room for frameCount *
    // channels() samples). Returns the frames read, 0 at the end of the
    // sound, or a negative value when the data cannot be decoded further.
    virtual long read(std::int16_t *out, long frameCount) = 0;
    // Goes back to the first frame. False if the decoder cannot.
    virtual bool rewind() = 0;
};

// Tries to open a decoder for a source; returns null when the data is not in
// a format this decoder understands. A decoder keeps the source (and hence a
// copied memory block) alive by holding the shared pointer.
using DecoderFactory = std::function<std::unique_ptr<Decoder>(const std::shared_ptr<const Source> &)>;

} // namespace zqaudio

#endif // ZQAUDIODECODER_H
