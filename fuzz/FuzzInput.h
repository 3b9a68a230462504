#pragma once
// What the fuzz targets share: the input written to a file of this process (the
// readers take paths), a message sink that keeps what it was told, and a check that
// stops the run on a finding.

#include "base/MessageSink.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace korvat::fuzz {

// The input as a file; the same name for the whole run of one process.
inline std::string inputFile(const std::uint8_t *data, std::size_t size, const char *suffix) {
    // In memory where the system offers it: the catalogue's save flushes its file.
    static const std::string base =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/korvat-fuzz-" +
        std::to_string(getpid());
    const std::string path = base + suffix;
    // Gone when the run ends (libFuzzer leaves through exit), whatever a target left.
    static std::vector<std::string> made;
    if (made.empty())
        std::atexit([] {
            for (const std::string &p : made)
                std::remove(p.c_str());
        });
    if (std::find(made.begin(), made.end(), path) == made.end())
        made.push_back(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    return path;
}

struct Messages : MessageSink {
    std::vector<std::string> shown;
    void showError(std::string_view text) override { shown.emplace_back(text); }
};

// A property the code under test must keep; a broken one is a finding.
inline void require(bool kept, const char *what) {
    if (!kept) {
        std::fprintf(stderr, "finding: %s\n", what);
        std::abort();
    }
}

} // namespace korvat::fuzz
