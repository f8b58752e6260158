#ifndef ZQAUDIODEVICE_H
#define ZQAUDIODEVICE_H

#include "zqaudioerror.h"

#include <memory>

namespace zqaudio {

class Stream;

// An open audio output: one connection to the PulseAudio server (PipeWire
// serves it too), found the usual way (PULSE_SERVER, client.conf, the
// session's socket), with its own event thread. The server is never
// spawned. Streams play to the server's default sink.
//
// Destroy every stream of a device before the device itself.
class Device
{
public:
    // Connects and waits until the connection is ready. Returns null, with
    // *error (when given) set to NoServer, when no server can be reached.
    static std::unique_ptr<Device> open(const char *applicationName, Error *error = nullptr);
    ~Device();

    // False once the server has gone away; new streams then fail to play.
    bool isConnected() const;

    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

private:
    Device();
    friend class Stream;
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zqaudio

#endif // ZQAUDIODEVICE_H
