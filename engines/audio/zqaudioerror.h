#ifndef ZQAUDIOERROR_H
#define ZQAUDIOERROR_H

namespace zqaudio {

// Why an operation of the audio core failed. Each engine facade maps these
// onto its own, documented error codes.
enum class Error {
    None,
    NoServer,   // no sound server could be reached (Device::open)
    FileOpen,   // the file does not exist or cannot be read
    NotAFile,   // the path names a directory, FIFO or device, not a file
    Format,     // no decoder in the list recognises the data
    Output,     // the sound server refused the output stream or went away
    Memory      // out of memory
};

} // namespace zqaudio

#endif // ZQAUDIOERROR_H
