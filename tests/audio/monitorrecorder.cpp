#include "monitorrecorder.h"

#include <pulse/error.h>
#include <pulse/simple.h>
#include <pulse/timeval.h>

#include <algorithm>

MonitorRecorder::~MonitorRecorder()
{
    stop();
}

bool MonitorRecorder::start(const std::string &sink)
{
    stop();
    m_samples.clear();
    m_arrivals.clear();
    const pa_sample_spec sampleSpec = {PA_SAMPLE_S16NE, Rate, Channels};
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(-1);
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(pa_usec_to_bytes(10 * PA_USEC_PER_MSEC, &sampleSpec));
    int error = 0;
    const std::string device = sink + ".monitor";
    pa_simple *connection = pa_simple_new(nullptr, "monitor recorder", PA_STREAM_RECORD, device.c_str(),
                                          "monitor", &sampleSpec, nullptr, &attr, &error);
    if (!connection) {
        m_error = std::string("cannot record ") + device + ": " + pa_strerror(error);
        return false;
    }
    m_stop = false;
    m_thread = std::thread(&MonitorRecorder::run, this, connection);
    return true;
}

void MonitorRecorder::run(void *connection)
{
    auto *simple = static_cast<pa_simple *>(connection);
    std::vector<std::int16_t> fragment(Rate / 100 * Channels);
    while (!m_stop) {
        int error = 0;
        if (pa_simple_read(simple, fragment.data(), fragment.size() * sizeof(std::int16_t), &error) < 0)
            break;
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_samples.insert(m_samples.end(), fragment.begin(), fragment.end());
        m_arrivals.emplace_back(m_samples.size() / Channels, now);
    }
    pa_simple_free(simple);
}

void MonitorRecorder::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<std::int16_t> MonitorRecorder::samples() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_samples;
}

std::chrono::steady_clock::time_point MonitorRecorder::frameArrival(size_t frame) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto arrival = std::lower_bound(m_arrivals.begin(), m_arrivals.end(), frame + 1,
                                          [](const auto &entry, size_t value) { return entry.first < value; });
    return arrival == m_arrivals.end() ? std::chrono::steady_clock::time_point() : arrival->second;
}
