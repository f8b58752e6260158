#ifndef ZQAUDIOFFMPEG_H
#define ZQAUDIOFFMPEG_H

#include "zqaudiodecoder.h"

namespace zqaudio {

class Source;

// Decoder factory over FFmpeg's libavformat and libavcodec (target
// zqaudioffmpeg): AAC/M4A, WMA, AC-3 and the other formats FFmpeg decodes,
// from a path or from memory. Data that FFmpeg only guesses at (a weak
// probe) or that yields no audio frame is refused.
std::unique_ptr<Decoder> openFfmpegDecoder(const std::shared_ptr<const Source> &source);

} // namespace zqaudio

#endif // ZQAUDIOFFMPEG_H
