#ifndef ZQAUDIOMPG123_H
#define ZQAUDIOMPG123_H

#include "zqaudiodecoder.h"

namespace zqaudio {

class Source;

// Decoder factory over libmpg123 for MPEG audio (layers I to III), from a
// path or from memory. It reads to the real end of the stream, whatever a
// Xing/Info header says or lacks, and drops the encoder's delay and padding
// where a LAME header gives them.
//
// libmpg123 finds frames in almost any bytes, so it does not judge whether
// data is MPEG audio: callers hand it only data already recognised as such
// (openSndfileDecoder does).
std::unique_ptr<Decoder> openMpg123Decoder(const std::shared_ptr<const Source> &source);

} // namespace zqaudio

#endif // ZQAUDIOMPG123_H
