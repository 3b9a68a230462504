// korvat-cli on a line: programmers held by other programs, Ctrl+C in and between batch
// passes, serial numbers at their limits, and refusals that must say why.
#include "CliFixture.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace korvat;
using namespace korvat::test;

// A programmer another program holds is listed as such and counts as attached: a second
// process without --device must not take whichever programmer is free.
TEST_F(Cli, ProgrammersHeldElsewhereCountAsAttached) {
    const std::string held = "chip 25 EF4017 8M\ninfo 1.0 1.02 KV2000001\ndecoy claim-fails\n";
    const Result devices = onSimulator(held, "devices");
    EXPECT_EQ(devices.code, 0);
    EXPECT_EQ(devices.out, "?\tin use by another program\tat 001/002\n"
                           "KV2000001\thardware 1.0\tfirmware 1.02\tat 001/001\n");
    EXPECT_EQ(onSimulator(held, "erase --chip W25Q64FV").code, 2);
    EXPECT_EQ(onSimulator(held, "erase --chip W25Q64FV --device KV2000001").code, 0);
}

// A programmer the user may not open (no access to its device node, or reading only) is
// listed as such, and the commands exit 2 naming what gives access.
TEST_F(Cli, ProgrammerWithoutPermissionSaysWhatGivesAccess) {
    for (const std::string access : {"denied", "read-only"}) {
        const std::string env = "LD_LIBRARY_PATH=" KORVAT_SIM_DIR " KORVAT_SIM=" +
                                file("scenario.txt", "chip 25 EF4017 8M\naccess " + access) + " ";
        EXPECT_EQ(cli("devices 2>/dev/null", env).out, "?\tno permission\tat 001/001\n");
        EXPECT_NE(cli("--json devices 2>/dev/null", env)
                      .out.find("{\"serial\":null,\"location\":\"001/001\",\"noPermission\":true}"),
                  std::string::npos);
        for (const std::string command : {"erase --chip W25Q64FV", "detect", "devices"}) {
            const Result run = cli("--catalogue " + catalogue + " " + command + " 2>&1", env);
            EXPECT_EQ(run.code, 2) << command;
            for (const char *named :
                 {"cannot be opened: no permission", "70-korvat.rules", "plugdev"})
                EXPECT_NE(run.out.find(named), std::string::npos) << command << ": " << run.out;
        }
    }
}

// Ctrl+C between passes ends a run as its count would, with its summary and the exit
// code of its passes; in a pass it closes the bracket, records the pass as interrupted
// and exits with 130.
TEST_F(Cli, CtrlCEndsABatchRun) {
    const std::string image = file("image.bin", std::string(3u << 20, 'x'));
    const std::string log = path("requests.txt");
    auto start = [&](const std::string &scenario, const std::string &record) {
        return startShell(
            "env LD_LIBRARY_PATH=" KORVAT_SIM_DIR " KORVAT_SIM=" + file("scenario.txt", scenario) +
            " " KORVAT_CLI " -q --json --catalogue " + catalogue + " batch " + image +
            " --chip W25Q64FV --record " + record + " >" + path("out.json") + " 2>/dev/null");
    };
    const pid_t idle = start("chip none\nlog-file " + log + "\n", path("idle.csv"));
    EXPECT_TRUE(waitForText(log, "cmd 9\n")); // watching the socket
    kill(idle, SIGINT);
    EXPECT_EQ(exitCodeOf(idle), 0);
    EXPECT_NE(slurp(path("out.json")).find("\"result\":\"ok\",\"exitCode\":0,\"passes\":0,"),
              std::string::npos)
        << slurp(path("out.json"));

    std::filesystem::remove(log);
    const pid_t busy =
        start("chip 25 EF4017 8M\ntiming realistic\nlog-file " + log + "\n", path("busy.csv"));
    EXPECT_TRUE(waitForText(log, "out 1 cmd 10\n")); // the pass waits for the erase
    kill(busy, SIGINT);
    EXPECT_EQ(exitCodeOf(busy), 130);
    const std::string requests = slurp(log);
    EXPECT_EQ(requests.substr(requests.rfind("out 1 cmd 8\n")),
              "out 1 cmd 8\nrelease 0\nclose 0\n");
    const std::string record = slurp(path("busy.csv"));
    EXPECT_NE(record.find(",FAIL,interrupted,"), std::string::npos) << record;
    EXPECT_NE(slurp(path("out.json"))
                  .find("\"result\":\"interrupted\",\"exitCode\":130,"
                        "\"passes\":1,\"passed\":0,\"failed\":1,"),
              std::string::npos)
        << slurp(path("out.json"));
}

// The last chip of a counted run may take the last number that fits; numbers are read
// as decimal even with a leading zero.
TEST_F(Cli, SerialNumbersAtTheirLimits) {
    const std::string image = file("image.bin", std::string(0x100, 'x'));
    const std::string chip = "chip 25 EF4017 8M\nkeep chip.bin\n";
    EXPECT_EQ(onSimulator(chip, "batch " + image + " --chip W25Q64FV --count 1 --record " +
                                    path("r.csv") +
                                    " --serial-at 010 --serial-bytes 1 --serial-start 0255")
                  .code,
              0);
    const std::string kept = slurp(path("chip.bin"));
    ASSERT_GE(kept.size(), 11u);
    EXPECT_EQ(kept[10], '\xFF'); // at 10, not 8
    EXPECT_EQ(kept[8], 'x');
    const std::string record = slurp(path("r.csv"));
    const std::string beforeRun = record.substr(0, record.rfind(',')); // the run comes last
    EXPECT_EQ(beforeRun.substr(beforeRun.rfind(',') + 1), "255");
    for (const char *wrong : {"--serial-step 0", "--serial-start -1", "--serial-start 0x",
                              "--serial-start 18446744073709551616"})
        EXPECT_EQ(
            onSimulator(chip, "batch " + image + " --chip W25Q64FV --serial-at 0 " + wrong).code, 1)
            << wrong;
}

// Refusals say why, in quiet mode and in the JSON object too.
TEST_F(Cli, RefusalsSayWhy) {
    const std::string chip = "chip 25 EF4017 8M\n";
    const std::string big = file("big.bin", std::string((8u << 20) + 1, 'x'));
    const Result tooLong = onSimulator(chip, "-q --json write " + big + " --chip W25Q64FV");
    EXPECT_EQ(tooLong.code, 4);
    EXPECT_NE(
        tooLong.out.find("\"errors\":[\"" + big + ": File length is larger than chip capacity."),
        std::string::npos)
        << tooLong.out;
    const std::string image = file("image.bin", "abc");
    EXPECT_EQ(onSimulator(chip, "write " + image + " --chip W25Q64FV --range 5000000:5000FFF").code,
              1);
    const Result batch = onSimulator(chip, "--json batch " + image + " --chip NOPE");
    EXPECT_EQ(batch.code, 3);
    EXPECT_EQ(batch.out, "{\"command\":\"batch\",\"result\":\"refused\",\"exitCode\":3,"
                         "\"errors\":[\"unknown chip NOPE\"]}\n");
}

// SIGTERM and SIGHUP end a command as Ctrl+C does: a batch pass is closed on the
// programmer (CMD_END, then the close), recorded as interrupted, and the exit code is
// 130. A hang-up the program was started to ignore (nohup) leaves a run going; SIGTERM
// between passes then ends it as its count would.
TEST_F(Cli, TermAndHangUpEndLikeCtrlC) {
    const std::string image = file("image.bin", std::string(3u << 20, 'x'));
    const std::string log = path("requests.txt");
    const std::string out = path("out.json");
    auto start = [&](const std::string &scenario, const std::string &arguments,
                     const std::string &launcher = "") {
        std::filesystem::remove(log);
        return startShell(launcher + "env LD_LIBRARY_PATH=" KORVAT_SIM_DIR " KORVAT_SIM=" +
                          file("scenario.txt", scenario + "log-file " + log + "\n") +
                          " " KORVAT_CLI " -q --json --catalogue " + catalogue + " " + arguments +
                          " >" + out + " 2>/dev/null");
    };
    auto closedAfter = [&](const std::string &command) {
        const std::string requests = slurp(log);
        const auto end = requests.rfind("out 1 cmd 8\n");
        return end != std::string::npos && end > requests.find(command) &&
               requests.substr(end) == "out 1 cmd 8\nrelease 0\nclose 0\n";
    };
    const std::string chip = "chip 25 EF4017 8M\ntiming realistic\n";
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const std::string record = path("record" + std::to_string(signal) + ".csv");
        const pid_t batch = start(chip, "batch " + image + " --chip W25Q64FV --record " + record);
        EXPECT_TRUE(waitForText(log, "out 1 cmd 10\n")); // the pass waits for the erase
        kill(batch, signal);
        EXPECT_EQ(exitCodeOf(batch), 130);
        EXPECT_TRUE(closedAfter("out 1 cmd 10\n")) << slurp(log);
        EXPECT_NE(slurp(record).find(",interrupted,"), std::string::npos) << slurp(record);
        // The seconds the pass ran before it was stopped are kept.
        EXPECT_EQ(slurp(record).find(",interrupted,,,0.000,"), std::string::npos) << slurp(record);
        EXPECT_NE(slurp(out).find("\"result\":\"interrupted\",\"exitCode\":130,\"passes\":1,"),
                  std::string::npos)
            << slurp(out);
    }

    const pid_t kept =
        start("chip none\n", "batch " + image + " --chip W25Q64FV --record " + path("nohup.csv"),
              "nohup ");
    EXPECT_TRUE(waitForText(log, "cmd 9\n")); // watching the socket
    kill(kept, SIGHUP);
    usleep(300000);
    int status = 0;
    EXPECT_EQ(waitpid(kept, &status, WNOHANG), 0); // still running
    kill(kept, SIGTERM);
    EXPECT_EQ(exitCodeOf(kept), 0);
    EXPECT_NE(slurp(out).find("\"result\":\"ok\",\"exitCode\":0,\"passes\":0,"), std::string::npos)
        << slurp(out);
}
