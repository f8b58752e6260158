#ifndef ZQAUDIOSTREAM_P_H
#define ZQAUDIOSTREAM_P_H

#include <pulse/sample.h>

namespace zqaudio {

class Decoder;

// What a stream makes of its decoder's format; internal to the audio core,
// and used by its fuzz target, which reads decoders as a stream does.

// The server's sample format for the decoder's output; false when the
// server cannot play it.
bool streamSampleSpec(const Decoder &decoder, pa_sample_spec &sampleSpec);
// The frames of one chunk that the decoding thread reads at a time.
long streamChunkFrames(const Decoder &decoder);

} // namespace zqaudio

#endif // ZQAUDIOSTREAM_P_H
