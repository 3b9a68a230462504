#pragma once
// Lets a test that would wait for ever on a named pipe fail instead of hanging.

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace korvat::test {

// While alive, opens the named pipes every 2 s for a moment, so that a reader that waits
// in open() or read() on one of them is let go (it reads an empty file) and the test
// fails instead of hanging.
struct PipeUnblocker {
    std::vector<std::string> pipes;
    std::atomic<bool> stop{false};
    std::thread thread;
    explicit PipeUnblocker(std::vector<std::string> paths) : pipes(std::move(paths)) {
        thread = std::thread([this] {
            for (int tick = 1; !stop; ++tick) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                if (tick % 100 != 0)
                    continue;
                for (const std::string &p : pipes)
                    if (const int fd = ::open(p.c_str(), O_RDWR | O_NONBLOCK); fd >= 0)
                        ::close(fd);
            }
        });
    }
    ~PipeUnblocker() {
        stop = true;
        thread.join();
    }
};

} // namespace korvat::test
