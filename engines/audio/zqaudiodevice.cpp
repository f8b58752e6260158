#include "zqaudiodevice.h"

#include "zqaudiodevice_p.h"

namespace zqaudio {

namespace {

void signalLoop(pa_context *, void *loop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop *>(loop), 0);
}

} // namespace

Device::Device() : d(new Private) {}

Device::~Device()
{
    if (!d->loop)
        return;
    if (d->context) {
        LoopLocker lock(d->loop);
        pa_context_set_state_callback(d->context, nullptr, nullptr);
        pa_context_disconnect(d->context);
        pa_context_unref(d->context);
    }
    pa_threaded_mainloop_stop(d->loop);
    pa_threaded_mainloop_free(d->loop);
}

std::unique_ptr<Device> Device::open(const char *applicationName, Error *error)
{
    std::unique_ptr<Device> device(new Device);
    Private *d = device->d.get();
    const auto fail = [error](Error reason) {
        if (error)
            *error = reason;
        return nullptr;
    };
    d->loop = pa_threaded_mainloop_new();
    if (!d->loop)
        return fail(Error::Memory);
    d->context = pa_context_new(pa_threaded_mainloop_get_api(d->loop), applicationName);
    if (!d->context)
        return fail(Error::Memory);
    pa_context_set_state_callback(d->context, signalLoop, d->loop);
    if (pa_threaded_mainloop_start(d->loop) < 0)
        return fail(Error::Memory);

    LoopLocker lock(d->loop);
    // Never spawn a server: a missing one is the caller's to report.
    if (pa_context_connect(d->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return fail(Error::NoServer);
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(d->context);
        if (state == PA_CONTEXT_READY)
            break;
        if (!PA_CONTEXT_IS_GOOD(state))
            return fail(Error::NoServer);
        pa_threaded_mainloop_wait(d->loop);
    }
    if (error)
        *error = Error::None;
    return device;
}

bool Device::isConnected() const
{
    LoopLocker lock(d->loop);
    return pa_context_get_state(d->context) == PA_CONTEXT_READY;
}

} // namespace zqaudio
