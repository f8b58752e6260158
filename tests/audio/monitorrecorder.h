#ifndef MONITORRECORDER_H
#define MONITORRECORDER_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Records the monitor of a sound server's sink as 16-bit stereo at 44.1 kHz
// in 10 ms fragments, on a thread of its own, and remembers when each
// fragment arrived.
class MonitorRecorder
{
public:
    static const int Rate = 44100;
    static const int Channels = 2;

    ~MonitorRecorder();

    // Records "<sink>.monitor" of the server that PULSE_SERVER names.
    // False, with errorString() set, when that is not possible.
    bool start(const std::string &sink);
    // Ends the recording; the samples stay available.
    void stop();

    std::vector<std::int16_t> samples() const;
    // When the fragment holding the frame arrived here.
    std::chrono::steady_clock::time_point frameArrival(size_t frame) const;
    const std::string &errorString() const { return m_error; }

private:
    void run(void *connection);

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::int16_t> m_samples;
    // Frame count after each fragment, and the fragment's arrival.
    std::vector<std::pair<size_t, std::chrono::steady_clock::time_point>> m_arrivals;
    std::string m_error;
};

#endif // MONITORRECORDER_H
