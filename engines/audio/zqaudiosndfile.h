#ifndef ZQAUDIOSNDFILE_H
#define ZQAUDIOSNDFILE_H

#include "zqaudiodecoder.h"

namespace zqaudio {

class Source;

// Decoder factory over libsndfile: WAV (integer and float), AIFF, FLAC, Ogg
// Vorbis, Opus and the other formats the installed libsndfile reads, from a
// path or from memory (read in place through libsndfile's virtual I/O). MPEG
// audio that libsndfile recognises is decoded by openMpg123Decoder.
std::unique_ptr<Decoder> openSndfileDecoder(const std::shared_ptr<const Source> &source);

} // namespace zqaudio

#endif // ZQAUDIOSNDFILE_H
