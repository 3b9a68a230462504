#pragma once
// korvat-cli run as a script runs it: the built program against the drop-in simulator,
// its standard output and exit code collected.
#include "buffers/CodecFixture.h"
#include "catalogue/Catalogue.h"

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace korvat::test {

struct Result {
    int code;
    std::string out;
};

// Runs a shell command line and collects its standard output and exit code.
inline Result shell(const std::string &command) {
    FILE *pipe = popen(command.c_str(), "r");
    Result run{-1, {}};
    if (!pipe)
        return run;
    std::array<char, 4096> chunk{};
    while (const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        run.out.append(chunk.data(), n);
    const int status = pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Runs korvat-cli with the arguments (shell words); standard error is not collected
// unless asked for with 2>&1.
inline Result cli(const std::string &arguments, const std::string &environment = "") {
    return shell(environment + KORVAT_CLI + " " + arguments);
}

class Cli : public FileTest {
protected:
    std::string catalogue;
    // Runs a chip command against the drop-in simulator with the scenario lines.
    Result onSimulator(const std::string &scenario, const std::string &arguments) {
        const std::string scenarioFile = file("scenario.txt", scenario);
        return cli("--catalogue " + catalogue + " " + arguments + " 2>/dev/null",
                   "LD_LIBRARY_PATH=" KORVAT_SIM_DIR " KORVAT_SIM=" + scenarioFile + " ");
    }
    void SetUp() override {
        FileTest::SetUp();
        catalogue = path("chips.Dat");
        auto row = [](std::string maker, std::string model, std::string id, std::string voltage) {
            // A delay of 2 keeps the wait for a chip that never stops erasing short.
            return GridRow{"25_SPI_FLASH", maker, model, id, "8388608", "256", "0", "0", "2",
                           voltage,        "0",   "0",   "0"};
        };
        Catalogue cat;
        ASSERT_EQ(cat.save({row("Winbond", "W25Q64FV", "0xEF4017", "0"),
                            row("Winbond", "W25Q64JW", "0xEF6017", "1"),
                            row("GigaDevice", "GD25Q64", "0xC84017", "0")},
                           catalogue)
                      .outcome,
                  CatalogueOutcome::Written);
    }
};

inline Bytes toBytes(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

// Starts a shell command line in the background.
inline pid_t startShell(const std::string &command) {
    const pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    return child;
}

// The exit code of a program started with startShell; one still running after a minute
// is killed (-1), so a program that waits for ever fails its test instead of hanging it.
inline int exitCodeOf(pid_t child) {
    int status = 0;
    for (int i = 0; i < 6000; ++i) {
        if (waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return -1;
}

// Waits up to five seconds for a file to hold the text.
inline bool waitForText(const std::string &file, const std::string &text) {
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(file, std::ios::binary);
        const std::string held{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        if (held.find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

} // namespace korvat::test
