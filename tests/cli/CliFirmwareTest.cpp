// korvat-cli firmware end to end: the built program against the drop-in simulator's
// programmer and boot loader, as a production line's script runs it.
#include "CliFixture.h"

#include <gtest/gtest.h>

using namespace korvat;
using namespace korvat::test;

namespace {

class CliFirmware : public Cli {
protected:
    std::string requests() const { return path("requests.txt"); }
    // The scenario with every request logged to requests.txt, started afresh.
    Result upgrade(const std::string &scenario, const std::string &arguments) {
        std::filesystem::remove(requests());
        return onSimulator("info 1.0 1.02 KV2000001\nlog-file requests.txt\n" + scenario,
                           arguments);
    }
    std::string firmware(std::size_t bytes) { return file("new.fwpk", std::string(bytes, '\x5A')); }
    // How many request lines begin with the text.
    int requested(const std::string &line) const {
        const std::string log = slurp(requests());
        int n = 0;
        for (std::size_t at = 0; (at = log.find(line, at)) != std::string::npos; ++at)
            n += at == 0 || log[at - 1] == '\n';
        return n;
    }
};

} // namespace

// The upgrade through the boot loader, and the programmer back with its new firmware:
// found again by its serial number at the new place the bus gave it, beside another.
TEST_F(CliFirmware, UpgradesAndReportsTheNewVersion) {
    const std::string fw = firmware(0x3000 + 5000);
    const std::string back = "upgraded-firmware 1.10\ndecoy second-programmer\n";
    const Result json = upgrade(back, "--json firmware " + fw + " --yes --device KV2000001");
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(json.out, "{\"command\":\"firmware\",\"file\":\"" + fw +
                            "\",\"result\":\"ok\",\"outcome\":\"done\",\"exitCode\":0,"
                            "\"bytes\":17288,\"before\":{\"serial\":\"KV2000001\",\"hardware\":"
                            "\"1.0\",\"firmware\":\"1.02\"},\"after\":{\"serial\":\"KV2000001\","
                            "\"hardware\":\"1.0\",\"firmware\":\"1.10\"},\"errors\":[]}\n");
    EXPECT_EQ(requested("out 1 cmd 13"), 1);
    EXPECT_EQ(requested("hid write 0 cmd 2 pages 17\n"), 1);
    EXPECT_EQ(requested("hid write 0 cmd 3"), (17288 + 61) / 62);
    EXPECT_EQ(requested("hid write 0 cmd 4"), 1);
    EXPECT_EQ(requested("hid read 0 timeout 5000 result 64"), 2); // START, GET_ADDRESS
    EXPECT_EQ(requested("hid read 0 timeout 500 result 64"), 1);  // the erase's first slice

    const Result text = upgrade(back, "firmware " + fw + " --yes --device KV2000001");
    EXPECT_EQ(text.code, 0);
    EXPECT_NE(text.out.find("Firmware upgrade complete: 17288 bytes sent to address "
                            "0x08003000; the programmer is back with firmware 1.10."),
              std::string::npos)
        << text.out;
    // A programmer still in its boot loader is upgraded without a restart.
    const Result stuck = upgrade("boot-loader present\n", "--json -q firmware " + fw + " --yes");
    EXPECT_EQ(stuck.code, 0);
    EXPECT_NE(stuck.out.find("\"outcome\":\"done\",\"exitCode\":0,\"bytes\":17288,\"before\":null,"
                             "\"after\":{\"serial\":\"KV2000001\""),
              std::string::npos)
        << stuck.out;
    EXPECT_EQ(requested("out 1 cmd 13"), 0);
}

// Nothing reaches the programmer without --yes, or with a file that cannot be sent.
TEST_F(CliFirmware, RefusedBeforeTheRestart) {
    const Result unconfirmed = upgrade("", "--json firmware " + firmware(0x3000 + 5000));
    EXPECT_EQ(unconfirmed.code, 1);
    EXPECT_EQ(unconfirmed.out,
              "{\"command\":\"firmware\",\"result\":\"refused\",\"exitCode\":1,\"errors\":[\""
              "firmware restarts the programmer and replaces its firmware; --yes confirms "
              "it\"]}\n");
    EXPECT_EQ(requested("out 1 cmd"), 0);

    const Result shortFile = upgrade("", "--json firmware " + firmware(0x3000) + " --yes");
    EXPECT_EQ(shortFile.code, 4);
    EXPECT_NE(shortFile.out.find("The firmware file holds only 12288 bytes"), std::string::npos)
        << shortFile.out;
    const Result manyPages = upgrade("", "--json firmware " + firmware(255 * 1024 + 1) + " --yes");
    EXPECT_EQ(manyPages.code, 4);
    EXPECT_NE(manyPages.out.find("\"result\":\"refused\",\"outcome\":\"refused\",\"exitCode\":4,"
                                 "\"bytes\":0,\"before\":null,\"after\":null,\"errors\":[\"The "
                                 "firmware file needs 256 pages of 1024 bytes"),
              std::string::npos)
        << manyPages.out;
    EXPECT_EQ(requested("out 1 cmd 13"), 0);
    EXPECT_EQ(requested("hid"), 0);
    EXPECT_EQ(upgrade("", "firmware " + path("absent.fwpk") + " --yes").code, 4);
}

// A boot loader that stops answering after the erase, and one whose programmer never
// comes back: failures with their own exit codes, never a completion.
TEST_F(CliFirmware, FailuresAfterTheRestart) {
    const std::string fw = firmware(0x3000 + 5000);
    // The erase's answer is awaited 5 s + 100 ms for each of the 17 pages, in slices.
    const Result silent =
        upgrade("boot-loader silent-after 2\n", "--json firmware " + fw + " --yes");
    EXPECT_EQ(silent.code, 5);
    EXPECT_NE(silent.out.find("\"result\":\"failed\",\"outcome\":\"failed\",\"exitCode\":5"),
              std::string::npos);
    EXPECT_NE(silent.out.find("no answer to BL_CMD_ERASE"), std::string::npos);
    EXPECT_EQ(requested("hid read 0 timeout 500 result 0"), 13);
    EXPECT_EQ(requested("hid read 0 timeout 200 result 0"), 1);

    // LEAVE taken and not acted on: about 10 s of looking for the programmer.
    const Result gone = upgrade("boot-loader silent-after " + std::to_string(3 + 279) + "\n",
                                "--json firmware " + fw + " --yes");
    EXPECT_EQ(gone.code, 2);
    EXPECT_NE(gone.out.find("\"outcome\":\"not-back\",\"exitCode\":2,\"bytes\":17288,"
                            "\"before\":{\"serial\":\"KV2000001\""),
              std::string::npos);
    EXPECT_NE(gone.out.find("The firmware was sent, but the programmer did not come back. "
                            "Unplug the programmer and plug it in again."),
              std::string::npos)
        << gone.out;
    EXPECT_NE(gone.out.find("\"after\":null"), std::string::npos);
}
