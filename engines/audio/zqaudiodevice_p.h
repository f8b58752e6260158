#ifndef ZQAUDIODEVICE_P_H
#define ZQAUDIODEVICE_P_H

#include "zqaudiodevice.h"

#include <pulse/pulseaudio.h>

namespace zqaudio {

// Shared with Stream: the server connection and the event thread whose lock
// guards every call on the connection and on its streams.
struct Device::Private
{
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
};

// RAII for the event thread's lock.
class LoopLocker
{
public:
    explicit LoopLocker(pa_threaded_mainloop *loop) : m_loop(loop) { pa_threaded_mainloop_lock(m_loop); }
    ~LoopLocker() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLocker(const LoopLocker &) = delete;
    LoopLocker &operator=(const LoopLocker &) = delete;

private:
    pa_threaded_mainloop *m_loop;
};

} // namespace zqaudio

#endif // ZQAUDIODEVICE_P_H
