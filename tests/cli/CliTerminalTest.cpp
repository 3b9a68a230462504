// korvat-cli on a person's terminal: standard error on a pseudo-terminal, as a shell
// gives it, where the progress bar is drawn; standard output on a terminal or a pipe.
#include "CliFixture.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>

using namespace korvat;
using namespace korvat::test;

namespace {

// The test's side of a pseudo-terminal; the program opens it by name.
class Terminal {
public:
    Terminal() : m_master(posix_openpt(O_RDWR | O_NOCTTY)) {
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            name = ptsname(m_master);
    }
    ~Terminal() {
        if (m_master >= 0)
            close(m_master);
    }
    // Reads what the program shows until the text holds `wanted` (empty: until the
    // program has closed the terminal), for up to 20 seconds.
    bool readUntil(const std::string &wanted) {
        for (int i = 0; i < 2000; ++i) {
            if (!wanted.empty() && shown.find(wanted) != std::string::npos)
                return true;
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, 10) <= 0)
                continue;
            char chunk[4096];
            const ssize_t n = read(m_master, chunk, sizeof chunk);
            if (n <= 0) // EIO: the program's side is closed
                return wanted.empty();
            shown.append(chunk, static_cast<std::size_t>(n));
        }
        return false;
    }

    std::string name; // /dev/pts/N
    std::string shown;

private:
    int m_master;
};

// What a pipe (a FIFO the test opened for reading, not waiting) holds now.
std::string available(int fd) {
    std::string held;
    char chunk[4096];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
        held.append(chunk, static_cast<std::size_t>(n));
    return held;
}

// Whether the process is blocked writing to a pipe, by what the kernel says it waits in.
bool blockedInWrite(pid_t pid) {
    const auto proc = [&](const char *name) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/" + name);
        return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    };
    return proc("syscall").rfind(std::to_string(SYS_write) + " ", 0) == 0 ||
           proc("wchan").find("pipe_write") != std::string::npos;
}

} // namespace

class CliTerminal : public Cli {
protected:
    std::string run(const std::string &scenario, const std::string &arguments,
                    const std::string &out, const std::string &terminal) {
        return "env LD_LIBRARY_PATH=" KORVAT_SIM_DIR " KORVAT_SIM=" +
               file("scenario.txt", scenario) + " " KORVAT_CLI " --catalogue " + catalogue + " " +
               arguments + " >" + out + " 2>" + terminal;
    }
};

// Ctrl+C clears the bar before the message, so the message stands on its own line, and
// nothing is drawn after it.
TEST_F(CliTerminal, CtrlCClearsTheBarBeforeTheMessage) {
    const std::string image = file("image.bin", std::string(3u << 20, 'x'));
    // With --json no log line comes before the message to clear the bar.
    for (const std::string command : {"write", "--json write", "read"}) {
        SCOPED_TRACE(command);
        Terminal terminal; // each its own: a terminal its program has closed reads as ended
        ASSERT_FALSE(terminal.name.empty());
        const std::string file = command == "read" ? path("r.bin") : image;
        const pid_t child =
            startShell(run("chip 25 EF4017 8M\ntiming realistic\n",
                           command + " " + file + " --chip W25Q64FV", "/dev/null", terminal.name));
        ASSERT_GT(child, 0);
        EXPECT_TRUE(terminal.readUntil(" 1% ")) << terminal.shown; // under way
        kill(child, SIGINT);
        EXPECT_TRUE(terminal.readUntil(""));
        EXPECT_EQ(exitCodeOf(child), 130);
        const std::string &shown = terminal.shown;
        const auto message = shown.find("korvat-cli: interrupted");
        ASSERT_NE(message, std::string::npos) << shown;
        ASSERT_GE(message, 4u);
        EXPECT_EQ(shown.substr(message - 4, 4), "\r\033[K") << shown.substr(message - 80);
        EXPECT_EQ(shown.substr(message), "korvat-cli: interrupted\r\n"); // no bar after it
    }
}

// With standard output piped, each log line is on the pipe before the bar is drawn on
// the terminal, and the bar is not left there at the end; the pipe gets no bar.
TEST_F(CliTerminal, LogLinesComeBeforeTheBar) {
    Terminal terminal;
    ASSERT_FALSE(terminal.name.empty());
    const std::string fifo = path("out.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int out = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(out, 0);
    const pid_t child = startShell(run(
        "chip 25 EF4017 8M\n", "read " + path("r.bin") + " --chip W25Q64FV", fifo, terminal.name));
    ASSERT_GT(child, 0);
    ASSERT_TRUE(terminal.readUntil("] ")) << terminal.shown; // the first bar
    std::string piped = available(out);
    EXPECT_NE(piped.find(" Read Flash ...\n"), std::string::npos) << piped;
    EXPECT_TRUE(terminal.readUntil(""));
    EXPECT_EQ(exitCodeOf(child), 0);
    piped += available(out);
    close(out);
    EXPECT_NE(piped.find(" Read Complete!"), std::string::npos) << piped;
    EXPECT_EQ(piped.find('\033'), std::string::npos) << piped;
    EXPECT_EQ(terminal.shown.find("Read"), std::string::npos); // the log is not on the terminal
    const std::string &shown = terminal.shown;
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ(shown.substr(shown.size() - 4), "\r\033[K"); // the last bar cleared
}

// devices --json interrupted, once while it asks the programmers and once while its
// output waits for a reader that is slow to take it, still prints a whole array.
TEST_F(CliTerminal, InterruptedDevicesPrintAWholeArray) {
    const std::string fifo = path("out.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int out = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(out, 0);
    std::size_t filled = 0; // the pipe made full: the program's write waits
    {
        const int in = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(in, 0);
        const std::string block(4096, '.');
        for (ssize_t n; (n = write(in, block.data(), block.size())) > 0;)
            filled += static_cast<std::size_t>(n);
        for (ssize_t n; (n = write(in, ".", 1)) > 0;)
            filled += 1;
        close(in);
    }
    const std::string log = path("requests.txt");
    const pid_t child = startShell(
        run("chip 25 EF4017 8M\ntiming realistic\ndecoy second-programmer\nlog-file " + log + "\n",
            "--json devices", fifo, path("errors.txt")));
    ASSERT_GT(child, 0);
    EXPECT_TRUE(waitForText(log, "open 0\n"));
    kill(child, SIGINT); // while it asks the programmers
    bool blocked = false;
    for (int i = 0; i < 500 && !(blocked = blockedInWrite(child)); ++i)
        usleep(10000);
    EXPECT_TRUE(blocked);
    kill(child, SIGINT); // while it writes
    usleep(100000);
    std::string piped;
    fcntl(out, F_SETFL, 0); // now wait for the rest, to the end
    char chunk[4096];
    for (ssize_t n; (n = read(out, chunk, sizeof chunk)) > 0;)
        piped.append(chunk, static_cast<std::size_t>(n));
    close(out);
    EXPECT_EQ(exitCodeOf(child), 130);
    ASSERT_GE(piped.size(), filled);
    const std::string array = piped.substr(filled);
    EXPECT_EQ(array.rfind("[\n", 0), 0u) << array;
    EXPECT_TRUE(array.ends_with("\n]\n")) << array;
    EXPECT_NE(slurp(path("errors.txt")).find("interrupted"), std::string::npos);
}
