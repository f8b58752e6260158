#include "zqaudioerror.h"

namespace zqaudio {

const char *errorText(Error error)
{
    switch (error) {
    case Error::None:
        return "no error";
    case Error::NoServer:
        return "no sound server can be reached";
    case Error::FileOpen:
        return "the file cannot be opened";
    case Error::Format:
        return "the data is in no supported format";
    case Error::Output:
        return "the sound server refused the output stream";
    case Error::Memory:
        return "out of memory";
    }
    return "unknown error";
}

} // namespace zqaudio
