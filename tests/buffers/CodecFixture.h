#pragma once
// Shared set-up of the buffer-file tests: a scratch folder, a message recorder and a
// scripted prompter.

#include "PipeUnblocker.h"
#include "base/Prompter.h"
#include "base/MessageSink.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace korvat::test {

struct RecordingSink : MessageSink {
    std::vector<std::string> messages;
    void showError(std::string_view text) override { messages.emplace_back(text); }
};

struct ScriptedPrompter : Prompter {
    bool answer = true;
    std::vector<std::string> asked;
    bool askYesNo(std::string_view question) override {
        asked.emplace_back(question);
        return answer;
    }
};

using Bytes = std::vector<std::uint8_t>;
using Messages = std::vector<std::string>;

inline Bytes randomBytes(std::size_t n, unsigned seed = 1) {
    std::mt19937 gen(seed);
    Bytes b(n);
    for (auto &x : b)
        x = static_cast<std::uint8_t>(gen());
    return b;
}

class FileTest : public ::testing::Test {
protected:
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("korvat-files-" + std::to_string(getpid()) + "-" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    RecordingSink sink;

    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string file(const std::string &name, const std::string &contents) const {
        const std::string p = (dir / name).string();
        std::ofstream(p, std::ios::binary) << contents;
        return p;
    }
    std::string path(const std::string &name) const { return (dir / name).string(); }
    static std::string slurp(const std::string &p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(dir), {}));
    }
};

// While alive, files this process writes cannot grow past a few KiB: a write past that
// fails as on a full disk.
struct FileSizeLimit {
    rlimit old{};
    explicit FileSizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lim = old;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
};

} // namespace korvat::test
