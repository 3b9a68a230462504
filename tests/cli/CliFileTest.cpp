// korvat-cli's image files as scripts use them: a read's --range saved at its own
// addresses, standard input and output, --format in place of the extension, --force for
// a file longer than the chip, and messages that name the file, the line and the reason.
#include "CliFixture.h"
#include "buffers/Checksum.h"
#include "buffers/IntelHex.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace korvat;
using namespace korvat::test;

namespace {

class CliFiles : public Cli {
protected:
    // korvat-cli with the catalogue, against a simulated 8 MiB flash that keeps its bytes
    // in chip.bin; for a shell line, which may pipe into it.
    std::string k() {
        return "LD_LIBRARY_PATH=" KORVAT_SIM_DIR " KORVAT_SIM=" +
               file("scenario.txt", "chip 25 EF4017 8M\nkeep chip.bin\n") +
               " " KORVAT_CLI " --catalogue " + catalogue + " ";
    }
    Result run(const std::string &line) { return shell(line + " 2>&1"); }
    std::string chipBytes(std::size_t at, std::size_t n) {
        return slurp(path("chip.bin")).substr(at, n);
    }
    static std::string text(const Bytes &b) { return std::string(b.begin(), b.end()); }
    static std::string crcIn(const Result &r) {
        const auto at = r.out.find("\"crc32\":\"");
        return at == std::string::npos ? r.out : r.out.substr(at + 9, 8);
    }
    static std::string hex8(std::uint32_t crc) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(crc));
        return digits;
    }
    static bool has(const Result &r, const std::string &part) {
        return r.out.find(part) != std::string::npos;
    }
};

} // namespace

// The chip is read whole; only the range is saved: raw as its bytes, Intel HEX and
// S-records at their chip addresses, and the JSON's CRC-32 is that of what was saved.
TEST_F(CliFiles, ReadWithARangeSavesOnlyThatPart) {
    const Bytes image = randomBytes(0x30000, 3);
    ASSERT_EQ(run(k() + "auto " + file("image.bin", text(image)) + " --chip W25Q64FV").code, 0);
    const Result raw =
        run(k() + "--json read " + path("part.bin") + " --chip W25Q64FV --range 100:1FF");
    EXPECT_EQ(raw.code, 0) << raw.out;
    const Bytes part(image.begin() + 0x100, image.begin() + 0x200);
    EXPECT_EQ(slurp(path("part.bin")), text(part));
    EXPECT_EQ(crcIn(raw), hex8(crc32Of(part)));

    ASSERT_EQ(run(k() + "read " + path("part.hex") + " --chip W25Q64FV --range 1FFF0:2000F").code,
              0);
    Bytes loaded(0x40000, 0xFF);
    RecordingSink none;
    EXPECT_EQ(readIntelHex(path("part.hex"), loaded, none), 0x20010u);
    EXPECT_EQ(Bytes(loaded.begin() + 0x1FFF0, loaded.begin() + 0x20010),
              Bytes(image.begin() + 0x1FFF0, image.begin() + 0x20010));
    EXPECT_EQ(std::count(loaded.begin(), loaded.begin() + 0x1FFF0, 0xFF), 0x1FFF0);

    ASSERT_EQ(run(k() + "read " + path("low.s19") + " --chip W25Q64FV --range 100:10F").code, 0);
    EXPECT_EQ(slurp(path("low.s19")).substr(18, 8), "S1130100"); // S1: 16-bit addresses
    ASSERT_EQ(run(k() + "read " + path("high.s19") + " --chip W25Q64FV --range 10000:1000F").code,
              0);
    EXPECT_EQ(slurp(path("high.s19")).substr(18, 10), "S214010000");
    EXPECT_TRUE(has(shell(KORVAT_CLI " read --help"), "(the chip is read whole)"));
}

// "-" reads the image from standard input (with --format) and writes the read image to
// standard output, the log then on standard error; --json would share standard output.
TEST_F(CliFiles, StandardInputAndOutput) {
    const Bytes image = randomBytes(0x1000, 4);
    ASSERT_EQ(cli("convert " + file("image.bin", text(image)) + " " + path("image.hex")).code, 0);
    const std::string feed = "cat " + path("image.hex") + " | ";
    const Result unsaid = run(feed + k() + "write - --chip W25Q64FV");
    EXPECT_EQ(unsaid.code, 1);
    EXPECT_TRUE(has(unsaid, "an image on standard input (-) needs --format raw, ihex or srec"));
    const Result written = run(feed + k() + "auto - --format ihex --chip W25Q64FV");
    EXPECT_EQ(written.code, 0) << written.out;
    EXPECT_TRUE(has(written, "standard input")) << written.out;
    EXPECT_FALSE(has(written, "/proc/"));
    EXPECT_EQ(chipBytes(0, image.size()), text(image));

    const Result out =
        shell(k() + "read - --chip W25Q64FV > " + path("out.bin") + " 2>" + path("log.txt"));
    EXPECT_EQ(out.code, 0);
    EXPECT_EQ(slurp(path("out.bin")), slurp(path("chip.bin"))); // nothing but the image
    EXPECT_NE(slurp(path("log.txt")).find("Read Complete!"), std::string::npos);
    const Result srec = shell(k() + "read - --chip W25Q64FV --format srec --range 0:F 2>/dev/null");
    EXPECT_EQ(srec.out.substr(0, 26), "S00600004844521B\r\nS1130000");
    const Result json = run(k() + "--json read - --chip W25Q64FV");
    EXPECT_EQ(json.code, 1);
    EXPECT_TRUE(has(json, "--json prints its result on standard output"));

    const Result broken = run("printf ':0400000001020304F2\\n:04000400010203FF00\\n' | " + k() +
                              "write - --format ihex --chip W25Q64FV");
    EXPECT_EQ(broken.code, 4);
    EXPECT_TRUE(has(broken, "korvat-cli: standard input: line 2: Checksum Error type 0"));
    EXPECT_EQ(run(k() + "write - --format raw --chip W25Q64FV < /dev/null").code, 4);
    const Result flood =
        run("head -c 67108865 /dev/zero | " + k() + "write - --format raw --chip W25Q64FV");
    EXPECT_EQ(flood.code, 4);
    EXPECT_TRUE(has(flood, "standard input: more than 64 MiB, more than the buffer holds"));
    // A reader that goes away fails the save; the program is not killed by SIGPIPE.
    shell("(" + k() + "read - --chip W25Q64FV 2>" + path("err.txt") + "; echo $? >" +
          path("code.txt") + ") | head -c 10 >/dev/null");
    EXPECT_EQ(slurp(path("code.txt")), "4\n");
    EXPECT_NE(slurp(path("err.txt")).find("standard output: Error writing file: Broken pipe"),
              std::string::npos);
    // convert and batch take "-" as well.
    const Result converted =
        shell(feed + KORVAT_CLI " convert - - --in-format ihex --out-format srec 2>/dev/null");
    EXPECT_EQ(converted.code, 0);
    EXPECT_EQ(converted.out.substr(0, 18), "S00600004844521B\r\n");
    const Result batch =
        run(feed + k() + "batch - --format ihex --chip W25Q64FV --count 1 --record " +
            path("record.csv"));
    EXPECT_EQ(batch.code, 0) << batch.out;
}

// --format names the file's format whatever its extension says, for every command.
TEST_F(CliFiles, FormatOverridesTheExtension) {
    const std::string hex = ":04010000CAFEBABEBB\n:00000001FF\n";
    const std::string dat = file("image.dat", hex);
    ASSERT_EQ(run(k() + "auto " + dat + " --chip W25Q64FV").code, 0); // raw by its name
    EXPECT_EQ(chipBytes(0, hex.size()), hex);
    ASSERT_EQ(run(k() + "auto " + dat + " --format ihex --chip W25Q64FV").code, 0);
    EXPECT_EQ(chipBytes(0, 4), "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(chipBytes(0x100, 4), "\xCA\xFE\xBA\xBE");
    EXPECT_EQ(run(k() + "verify " + dat + " --format ihex --chip W25Q64FV").code, 0);
    ASSERT_EQ(
        run(k() + "read " + path("back.txt") + " --format ihex --range 100:103 --chip W25Q64FV")
            .code,
        0);
    EXPECT_EQ(slurp(path("back.txt")), ":04010000CAFEBABEBB\r\n:00000001FF\r\n");
    ASSERT_EQ(
        cli("convert " + dat + " " + path("out.bin") + " --in-format ihex --out-format srec").code,
        0);
    EXPECT_EQ(slurp(path("out.bin")), "S00600004844521B\r\nS1070100CAFEBABEB7\r\nS9030000FC\r\n");
    EXPECT_EQ(cli("convert " + dat + " " + path("x.bin") + " --in-format hex 2>/dev/null").code, 1);
}

// A failed load or save names the file, the line and the system's reason after the
// window's text; a file longer than the chip is refused unless --force cuts it to the chip.
TEST_F(CliFiles, MessagesNameTheFileTheLineAndTheReason) {
    const Result missing = run(k() + "--json write " + path("missing.bin") + " --chip W25Q64FV");
    EXPECT_EQ(missing.code, 4);
    const std::string named = path("missing.bin") + ": Can't open File: No such file or directory";
    EXPECT_TRUE(has(missing, "korvat-cli: " + named)) << missing.out;
    EXPECT_TRUE(has(missing, "\"errors\":[\"" + named + "\"]")) << missing.out; // the JSON too
    const std::string bad =
        file("bad.hex", ":0400000001020304F2\n:0400040001020304EE\n:04000800010203FF00\n");
    EXPECT_TRUE(has(run(k() + "verify " + bad + " --chip W25Q64FV"),
                    "korvat-cli: " + bad + ": line 3: Checksum Error type 0"));
    const std::string srec = file("bad.s19", "S00600004844521B\nS1070000010203XX00\n");
    EXPECT_TRUE(has(run(k() + "write " + srec + " --chip W25Q64FV"),
                    srec + ": line 2: Illegal Char in File"));
    const Result unsaved = run(k() + "read " + path("none/out.hex") + " --chip W25Q64FV");
    EXPECT_EQ(unsaved.code, 4);
    EXPECT_TRUE(
        has(unsaved, path("none/out.hex") + ": Error writing file: No such file or directory"))
        << unsaved.out;
    // Nor does a read replace a pipe with a file of its name, --force or not.
    const std::string fifo = path("image.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const Result piped = run(k() + "read " + fifo + " --force --range 0:F --chip W25Q64FV");
    EXPECT_EQ(piped.code, 4);
    EXPECT_TRUE(has(piped, fifo)) << piped.out;
    struct stat st {};
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    const Bytes big = randomBytes((8u << 20) + 16, 6);
    const std::string longer = file("big.bin", text(big));
    const Result refused = run(k() + "write " + longer + " --chip W25Q64FV");
    EXPECT_EQ(refused.code, 4);
    EXPECT_TRUE(
        has(refused, "File length is larger than chip capacity. --force cuts the file to the chip"))
        << refused.out;
    const Result cut = run(k() + "auto " + longer + " --force --chip W25Q64FV");
    EXPECT_EQ(cut.code, 0) << cut.out;
    EXPECT_TRUE(has(cut, "longer than the chip; cut at the chip's end (--force)"));
    EXPECT_EQ(slurp(path("chip.bin")), text(big).substr(0, 8u << 20));
    EXPECT_EQ(run(k() + "verify " + longer + " --force --chip W25Q64FV").code, 0);
    EXPECT_EQ(run(k() + "verify " + longer + " --chip W25Q64FV").code, 4);
}

// Ctrl+C while standard input brings nothing ends the wait for it, and the command.
TEST_F(CliFiles, CtrlCEndsTheWaitForStandardInput) {
    int feed[2];
    ASSERT_EQ(pipe(feed), 0);
    const std::string command = k() + "write - --format raw --chip W25Q64FV 2>/dev/null";
    const pid_t child = fork();
    if (child == 0) {
        dup2(feed[0], STDIN_FILENO);
        close(feed[1]);
        execl("/bin/sh", "sh", "-c", ("exec env " + command).c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(feed[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(child, SIGINT);
    EXPECT_EQ(exitCodeOf(child), 130); // not still waiting (killed after a minute: -1)
    close(feed[1]);
    EXPECT_EQ(slurp(path("chip.bin")).find_first_not_of('\xFF'), std::string::npos);
}
