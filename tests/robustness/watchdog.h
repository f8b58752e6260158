#ifndef WATCHDOG_H
#define WATCHDOG_H

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

// Ends the test program with a message naming the call when that call has
// not returned within its time. A hang would otherwise stall the suite until
// ctest kills it, without a word about where.
class Watchdog
{
public:
    Watchdog(std::string what, std::chrono::seconds limit)
        : m_thread([this, what = std::move(what), limit] {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (!m_returned.wait_for(lock, limit, [this] { return m_done; })) {
                  std::fprintf(stderr, "FAIL: %s did not return within %lld s\n", what.c_str(),
                               static_cast<long long>(limit.count()));
                  std::fflush(stderr);
                  std::abort();
              }
          })
    {
    }

    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_returned.notify_one();
        m_thread.join();
    }

    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_returned;
    bool m_done = false;
    std::thread m_thread;
};

#endif // WATCHDOG_H
