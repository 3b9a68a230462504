// The hardware information command's core against the simulated programmer and its
// boot loader: the information texts, the restart, the wait and the report exchange.
#include "link/FirmwareUpgrade.h"
#include "SimBinding.h"
#include "base/Prompter.h"
#include "buffers/CodecFixture.h"
#include "link/Connection.h"
#include "link/Hiddrv.h"
#include "link/Usbbulk.h"
#include "ops/RecordingHost.h"

#include <cstring>
#include <thread>

using namespace korvat;
using namespace korvat::test;

namespace {

// The question before the restart, answered from the test.
struct Asker : Prompter {
    std::vector<std::string> questions;
    int defaultNo = 0; // questions whose default answer is No
    bool answer = true;
    bool askYesNo(std::string_view q) override {
        questions.emplace_back(q);
        return answer;
    }
    bool askYesNoDefaultNo(std::string_view q) override {
        ++defaultNo;
        return askYesNo(q);
    }
};

class Upgrade : public FileTest {
protected:
    ActiveSimulator sim;
    RecordingHost host;
    int language = 2;
    TUsbBulk usb{simulatedUsb(), {}, [this](int ms) { host.sleep(ms); }};
    CUsbhid hid{simulatedHid()};
    Connection connection{usb, host, language};
    FirmwareUpgrade upgrade{usb, connection, hid, host, sink, language};
    Asker asker;

    // A firmware file of n bytes, byte i = i * 7 + 3.
    std::string firmware(std::size_t n) {
        std::string bytes(n, '\0');
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<char>(i * 7 + 3);
        return file("new.fwpk", bytes);
    }
    int sentToProgrammer(int code) const {
        int n = 0;
        for (const auto &e : sim.log())
            n += e.kind == ksim::LogEntry::BulkOut && e.data.size() > 1 && e.data[1] == code;
        return n;
    }
};

} // namespace

// The serial number is taken first, then the firmware and hardware versions, each up
// to the zero the previous step left.
TEST(HardwareInfo, TextsAreTakenSerialFirstWithinTheirFields) {
    std::array<std::uint8_t, 65> block{};
    std::memcpy(&block[43], "1.0", 3);
    std::memcpy(&block[46], "1.02", 5);
    std::memcpy(&block[51], "SN0001", 6);
    HardwareInfo info = takeInfo(block);
    EXPECT_EQ(info.hardware, "1.0");
    EXPECT_EQ(info.firmware, "1.02");
    EXPECT_EQ(info.serial, "SN0001");

    std::memcpy(&block[43], "2.02.345ABCDEFGHIJKLM", 21); // every field full, no zero
    block[64] = 0x55; // the 65th byte is never part of the serial number
    info = takeInfo(block);
    EXPECT_EQ(info.serial, "ABCDEFGHIJKLM");
    EXPECT_EQ(info.firmware, "2.345");
    EXPECT_EQ(info.hardware, "2.0");
}

TEST(HidText, UnitsAbove0xFFBecomeQuestionMarks) {
    EXPECT_EQ(hidText(L"GigaDevice"), "GigaDevice");
    EXPECT_EQ(hidText(L"G\u00E9\u4E2Dx"), "G\xE9?x");
    EXPECT_EQ(hidText(L""), "");
    EXPECT_EQ(hidText(nullptr), "");
}

TEST_F(Upgrade, InformationComesFromTheProgrammerOrNotAtAll) {
    sim.programmer().hardwareVersion = "1.0";
    sim.programmer().firmwareVersion = "1.02";
    sim.programmer().serialNumber = "SN0001";
    const auto info = upgrade.readInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->hardware, "1.0");
    EXPECT_EQ(info->firmware, "1.02");
    EXPECT_EQ(info->serial, "SN0001");

    sim.programmer().serialNumber = "ABCDEFGHIJKLM"; // 13 characters fill bytes 51-63
    EXPECT_EQ(upgrade.readInfo()->serial, "ABCDEFGHIJKLM");

    EXPECT_FALSE(upgrade.infoExchangeFailed());

    // Half a reply is no reply, and the caller can tell it from no programmer at all.
    sim.faults.shortAtTransfer = sim.transferCount() + 2;
    EXPECT_FALSE(upgrade.readInfo());
    EXPECT_TRUE(upgrade.infoExchangeFailed());

    sim.unplug();
    EXPECT_FALSE(upgrade.readInfo());
    EXPECT_FALSE(upgrade.infoExchangeFailed());
    EXPECT_TRUE(host.errors.empty());
    EXPECT_TRUE(host.status.empty()); // the connection panel is not touched
}

// The whole upgrade: the question, the restart, the boot loader's load address and page
// size, the page count, 62-byte data reports from image offset 0x3000 with the last one
// padded with 0xFF, the bars, and a log line once the programmer is back with its new
// version.
TEST_F(Upgrade, SendsTheFileFromOffset0x3000AndSaysSo) {
    sim.bootLoader().loadAddress = 0x08004000;
    sim.bootLoader().pageSize = 1024;
    sim.bootLoader().upgradedFirmwareVersion = "1.10";
    const std::size_t length = 200000;
    const std::string path = firmware(length);
    ASSERT_EQ(upgrade.upgrade(path, asker), FirmwareUpgrade::Outcome::Done);

    // Asked once, No by default, before anything went to the programmer.
    EXPECT_EQ(asker.defaultNo, 1);
    EXPECT_EQ(asker.questions,
              Messages{"Upgrade the programmer's firmware with " + path +
                       " (200000 bytes)?\nFirmware now: 1.02\nThe programmer restarts into its "
                       "boot loader and its firmware is replaced. Do not unplug the programmer "
                       "until the upgrade is complete."});
    EXPECT_EQ(sentToProgrammer(13), 1);
    const auto &bl = sim.bootLoader();
    EXPECT_TRUE(bl.started());
    EXPECT_EQ(bl.eraseAddress(), 0x08004000u);
    EXPECT_EQ(bl.erasePages(), 196);
    EXPECT_EQ(bl.firmwareLength(), length);
    const int reports = (length + 61) / 62;
    EXPECT_EQ(bl.dataReports(), reports);
    ASSERT_EQ(bl.firmware().size(), std::size_t(reports) * 62);
    for (std::size_t i = 0; i < bl.firmware().size(); ++i) {
        const std::size_t at = 0x3000 + i; // the file's byte at image offset 0x3000 + i
        const std::uint8_t expected = at < length ? static_cast<std::uint8_t>(at * 7 + 3) : 0xFF;
        ASSERT_EQ(bl.firmware()[i], expected) << "at " << i;
    }
    EXPECT_TRUE(bl.leaveReceived());
    // A boot loader that stops answering is not waited for forever: 5 s for START and
    // GET_ADDRESS, the erase's answer in slices, the first of which brought it.
    std::vector<int> timeouts;
    for (const auto &e : sim.hidLog())
        if (e.kind == ksim::HidLogEntry::Read)
            timeouts.push_back(e.timeout);
    EXPECT_EQ(timeouts, (std::vector<int>{5000, 5000, 500}));
    EXPECT_FALSE(hid.isOpen());
    EXPECT_EQ(sim.hidLog().back().kind, ksim::HidLogEntry::Close);
    // The bars count the one try of the wait for the boot loader, the data, and the one
    // try of the wait for the programmer's return.
    EXPECT_EQ(host.maxima, (std::vector<std::uint32_t>{500, length, 100}));
    EXPECT_EQ(host.progressUpdates, 2 + reports + 2 + 2);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(host.log.front(), "14:03:27 Firmware upgrade complete: 200000 bytes sent to "
                                "address 0x08004000; the programmer is back with firmware 1.10.");
    EXPECT_EQ(upgrade.infoBefore()->firmware, "1.02");
    EXPECT_EQ(upgrade.infoAfter()->firmware, "1.10");
    EXPECT_EQ(upgrade.firmwareLength(), length);
}

// A small file: 12388 bytes are 200 reports; the reports' unused bytes carry what the
// block held before (here the erase fields) rather than zeros.
TEST_F(Upgrade, ReportsKeepTheBlocksEarlierBytes) {
    ASSERT_EQ(upgrade.upgrade(firmware(0x3000 + 100), asker), FirmwareUpgrade::Outcome::Done);
    const auto &reports = sim.bootLoader().reports();
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(sim.bootLoader().dataReports(), 200);
    const auto &start = reports[0];
    EXPECT_EQ(start[0], 1);
    EXPECT_EQ(start[1], BL_CMD_START);
    const auto &leave = reports.back();
    EXPECT_EQ(leave[1], BL_CMD_LEAVE);
    EXPECT_EQ(std::vector<std::uint8_t>(leave.begin() + 2, leave.end()),
              std::vector<std::uint8_t>(reports[reports.size() - 2].begin() + 2,
                                        reports[reports.size() - 2].end()));
}

TEST_F(Upgrade, TheBootLoaderIsWaitedForAtMost500Times) {
    sim.bootLoader().appearAfterSearches = 500;
    EXPECT_EQ(upgrade.upgrade(firmware(0x3000 + 1000), asker), FirmwareUpgrade::Outcome::Done);
    // The searches, the pause after ERASE, the reply pauses of CMD_GET_INFO and
    // CMD_ENTER_BOOT, and the first look for the programmer's return with its GET_INFO.
    EXPECT_EQ(host.sleptMs, 500 * 100 + 100 + 50 + 50 + 100 + 50);
}

TEST_F(Upgrade, ABootLoaderLaterThanThe500thSearchIsNotUsed) {
    sim.bootLoader().appearAfterSearches = 501;
    host.clockStep = 1; // a second for each time the window's events are processed
    const double before = host.clock;
    EXPECT_EQ(upgrade.upgrade(firmware(0x3000 + 1000), asker),
              FirmwareUpgrade::Outcome::NoBootLoader);
    EXPECT_EQ(host.sleptMs, 50 + 50 + 500 * 100);
    EXPECT_NEAR(host.clock - before, 50.1 + 500, 1e-6); // the window kept up between tries
    EXPECT_EQ(host.errors, Messages{"The programmer's boot loader did not appear; no firmware "
                                    "was sent."});
    EXPECT_EQ(sim.bootLoader().reports().size(), 0u);
    // The time left of the wait, from the 1.1 s each try took, down to nothing; then cleared.
    ASSERT_EQ(host.transferTexts.size(), 501u);
    EXPECT_EQ(host.transferTexts.front().second, "9:09");
    EXPECT_EQ(host.transferTexts[499].second, "0:00");
    EXPECT_EQ(host.transferTexts.back(), (std::pair<std::string, std::string>{}));
    EXPECT_EQ(host.barsAtErrors, std::vector<bool>{false});
}

// A programmer already in its boot loader is not on the USB bus: nothing is sent to it
// and the boot loader is used.
TEST_F(Upgrade, AProgrammerAlreadyInItsBootLoaderIsUpgraded) {
    sim.bootLoader().showNow();
    EXPECT_EQ(upgrade.upgrade(firmware(0x3000 + 500), asker), FirmwareUpgrade::Outcome::Done);
    EXPECT_EQ(sentToProgrammer(13), 0);
    EXPECT_EQ(sim.bootLoader().dataReports(), 207);
    ASSERT_EQ(asker.questions.size(), 1u);
    EXPECT_NE(asker.questions[0].find("Firmware now: unknown (the programmer did not answer; it "
                                      "may be in its boot loader)\n"),
              std::string::npos);
    EXPECT_FALSE(upgrade.infoBefore());
    EXPECT_EQ(upgrade.infoAfter()->serial, "KV2000001"); // whichever programmer comes back

    // Another programmer on the bus meanwhile is neither restarted nor taken for the one
    // that comes back.
    sim.addDecoy(ksim::Decoy::SecondProgrammer);
    sim.bootLoader().showNow();
    sim.clearLog();
    EXPECT_EQ(upgrade.upgrade(firmware(0x3000 + 500), asker), FirmwareUpgrade::Outcome::Done);
    EXPECT_EQ(sentToProgrammer(13), 0);
    EXPECT_EQ(upgrade.infoAfter()->serial, "KV2000001");
}

// The file is loaded and checked before the programmer is restarted.
TEST_F(Upgrade, AFileThatCannotBeSentIsRefusedBeforeTheRestart) {
    EXPECT_EQ(upgrade.upgrade(file("empty.fwpk", ""), asker), FirmwareUpgrade::Outcome::Refused);
    EXPECT_EQ(host.errors, Messages{"The firmware file is empty; the programmer was not "
                                    "restarted."});
    // The loader's own message, and no second one.
    EXPECT_EQ(upgrade.upgrade(path("absent.fwpk"), asker), FirmwareUpgrade::Outcome::Refused);
    EXPECT_EQ(sink.messages, Messages{"Can't open File"});
    EXPECT_EQ(host.errors.size(), 1u);
    // The data start at offset 0x3000: a file no longer than that holds no firmware.
    EXPECT_EQ(upgrade.upgrade(firmware(0x3000), asker), FirmwareUpgrade::Outcome::Refused);
    EXPECT_EQ(host.errors.back(),
              "The firmware file holds only 12288 bytes: the firmware sent starts at offset "
              "0x3000 (12288) of the file, so the file must be longer than that. The "
              "programmer was not restarted.");
    // 0x3000 + 16715 reports of 62 bytes passes 1 MiB; one report fewer fits.
    const std::size_t fits = (0x100000 - 0x3000) / 62 * 62;
    EXPECT_EQ(upgrade.upgrade(firmware(fits + 1), asker), FirmwareUpgrade::Outcome::Refused);
    EXPECT_NE(host.errors.back().find("too long"), std::string::npos);
    // More pages than the erase's one byte counts, at the boot loader's 1 KiB pages.
    EXPECT_EQ(upgrade.upgrade(firmware(fits), asker), FirmwareUpgrade::Outcome::Refused);
    EXPECT_EQ(upgrade.upgrade(firmware(255 * 1024 + 1), asker), FirmwareUpgrade::Outcome::Refused);
    EXPECT_EQ(host.errors.back(), "The firmware file needs 256 pages of 1024 bytes; the boot "
                                  "loader takes at most 255. The programmer was not restarted.");
    EXPECT_EQ(host.errors.size(), 5u);
    EXPECT_TRUE(asker.questions.empty());
    EXPECT_EQ(sentToProgrammer(13), 0);
    EXPECT_EQ(sim.bootLoader().searches(), 0);

    // No to the question: nothing sent, nothing more shown.
    asker.answer = false;
    EXPECT_EQ(upgrade.upgrade(firmware(255 * 1024), asker), FirmwareUpgrade::Outcome::Declined);
    EXPECT_EQ(asker.defaultNo, 1);
    EXPECT_EQ(sentToProgrammer(13), 0);
    EXPECT_EQ(sim.bootLoader().searches(), 1); // one look for an upgrade left unfinished
    EXPECT_EQ(host.errors.size(), 5u);
    asker.answer = true;
    EXPECT_EQ(upgrade.upgrade(firmware(0x3000 + 1), asker), FirmwareUpgrade::Outcome::Done);
    EXPECT_EQ(upgrade.upgrade(firmware(255 * 1024), asker), FirmwareUpgrade::Outcome::Done);
    EXPECT_EQ(sim.bootLoader().erasePages(), 255);
}

TEST_F(Upgrade, PageSizeZeroEndsAfterLeave) {
    sim.bootLoader().pageSize = 0;
    EXPECT_EQ(upgrade.upgrade(firmware(0x3000 + 1000), asker), FirmwareUpgrade::Outcome::Failed);
    EXPECT_TRUE(sim.bootLoader().leaveReceived());
    EXPECT_EQ(sim.bootLoader().eraseCount(), 0);
    EXPECT_EQ(sim.bootLoader().dataReports(), 0);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_NE(host.errors[0].find("page size of 0"), std::string::npos);
    EXPECT_EQ(host.log.front(), "14:03:27 " + host.errors[0]);
    EXPECT_FALSE(hid.isOpen());

    // When even that LEAVE does not go, the box says so instead.
    sim.bootLoader().failWriteAt = 3;
    EXPECT_EQ(upgrade.upgrade(firmware(0x3000 + 1000), asker), FirmwareUpgrade::Outcome::Failed);
    EXPECT_EQ(host.errors.back(), "Firmware upgrade failed: the BL_CMD_LEAVE report could not "
                                  "be written; 0 bytes were sent.");
    EXPECT_FALSE(hid.isOpen());

    // Smaller pages than the check before the restart counted in: too many of them for
    // the erase's one byte, so nothing is erased.
    sim.bootLoader().failWriteAt = 0;
    sim.bootLoader().pageSize = 512;
    EXPECT_EQ(upgrade.upgrade(firmware(255 * 1024), asker), FirmwareUpgrade::Outcome::Failed);
    EXPECT_EQ(host.errors.back(), "The boot loader's pages are 512 bytes: the firmware needs 510 "
                                  "of them, more than the 255 it takes. The upgrade was stopped "
                                  "and the programmer restarts on its old firmware.");
    EXPECT_TRUE(sim.bootLoader().leaveReceived());
    EXPECT_EQ(sim.bootLoader().eraseCount(), 0);
    EXPECT_EQ(sim.bootLoader().dataReports(), 0);
}

// Every failed report ends the upgrade with the step and the bytes sent, in the box and
// the log; no completion line.
TEST_F(Upgrade, AFailedReportEndsTheUpgradeNamingTheStep) {
    const struct {
        int failWrite, failRead, silentAfter;
        const char *message;
    } cases[] = {
        {1, 0, 0,
         "Firmware upgrade failed: the BL_CMD_START report could not be written; 0 "
         "bytes were sent."},
        {0, 2, 0, "Firmware upgrade failed: no answer to BL_CMD_GET_ADDRESS; 0 bytes were sent."},
        {0, 0, 2, "Firmware upgrade failed: no answer to BL_CMD_ERASE; 0 bytes were sent."},
        // Writes 1 to 3 are START, GET_ADDRESS and ERASE: write 13 is the 10th data report.
        {13, 0, 0,
         "Firmware upgrade failed: the BL_CMD_DATA report could not be written; 558 "
         "bytes were sent."},
        // 13288 bytes are 215 data reports: write 219 is LEAVE.
        {219, 0, 0,
         "Firmware upgrade failed: the BL_CMD_LEAVE report could not be written; 13288 "
         "bytes were sent."},
    };
    for (const auto &c : cases) {
        ActiveSimulator fresh;
        RecordingHost h;
        TUsbBulk u{simulatedUsb(), {}, [&](int ms) { h.sleep(ms); }};
        CUsbhid d{simulatedHid()};
        Connection link{u, h, language};
        FirmwareUpgrade up{u, link, d, h, sink, language};
        fresh.bootLoader().failWriteAt = c.failWrite;
        fresh.bootLoader().failReadAt = c.failRead;
        fresh.bootLoader().silentAfter = c.silentAfter;
        EXPECT_EQ(up.upgrade(firmware(0x3000 + 1000), asker), FirmwareUpgrade::Outcome::Failed)
            << c.message;
        EXPECT_EQ(h.errors, Messages{c.message});
        EXPECT_EQ(h.log, Messages{"14:03:27 " + std::string(c.message)});
        EXPECT_FALSE(d.isOpen());
        EXPECT_EQ(h.progressValue, 0u);
    }
}

// The erase's answer is awaited 5 s and 100 ms per page, in half-second slices with the
// window's events between them; the other answers 5 s.
TEST_F(Upgrade, TheEraseAnswerIsAwaitedByThePageCount) {
    for (const std::uint32_t pages : {13u, 255u}) {
        ActiveSimulator fresh;
        RecordingHost h;
        TUsbBulk u{simulatedUsb(), {}, [&](int ms) { h.sleep(ms); }};
        CUsbhid d{simulatedHid()};
        Connection link{u, h, language};
        FirmwareUpgrade up{u, link, d, h, sink, language};
        fresh.bootLoader().silentAfter = 2; // START and GET_ADDRESS answered, ERASE not
        h.clockStep = 1;
        EXPECT_EQ(up.upgrade(firmware(pages * 1024 - 100), asker),
                  FirmwareUpgrade::Outcome::Failed);
        EXPECT_EQ(fresh.bootLoader().erasePages(), 0); // taken, never acted on
        int waited = 0, slices = 0, before = 0;
        bool erased = false;
        for (const auto &e : fresh.hidLog()) {
            if (e.kind == ksim::HidLogEntry::Write && e.data.size() > 6 &&
                e.data[1] == BL_CMD_ERASE) {
                erased = true;
                EXPECT_EQ(e.data[6], pages);
            }
            if (e.kind != ksim::HidLogEntry::Read)
                continue;
            if (!erased) {
                EXPECT_EQ(e.timeout, 5000);
                ++before;
                continue;
            }
            EXPECT_LE(e.timeout, 500);
            waited += e.timeout;
            ++slices;
        }
        EXPECT_EQ(before, 2);
        EXPECT_EQ(waited, 5000 + 100 * static_cast<int>(pages)) << pages;
        EXPECT_EQ(waited, eraseAnswerWaitMs(pages));
        EXPECT_EQ(slices, (waited + 499) / 500);
        // Events between the slices (one pump a second on this clock), besides the
        // boot-loader search's one.
        EXPECT_GE(h.clock - 100.0 - h.sleptMs / 1000.0, slices - 1 + 1 - 1e-6);
        EXPECT_EQ(h.errors, Messages{"Firmware upgrade failed: no answer to BL_CMD_ERASE; 0 bytes "
                                     "were sent."});
    }
}

// Everything sent, and the programmer does not come back: about 10 s of looking, the
// window live throughout, then a box that says what to do; no completion line.
TEST_F(Upgrade, AProgrammerThatDoesNotComeBackIsReported) {
    const std::size_t length = 0x3000 + 1000;
    sim.bootLoader().silentAfter = 3 + (length + 61) / 62; // LEAVE is taken, not acted on
    host.clockStep = 0.001;
    EXPECT_EQ(upgrade.upgrade(firmware(length), asker), FirmwareUpgrade::Outcome::NotBack);
    EXPECT_TRUE(sim.bootLoader().present());
    const std::string message =
        "The firmware was sent, but the programmer did not come back. Unplug the programmer "
        "and plug it in again. If it still does not come back, run the firmware upgrade again: "
        "it finds a programmer that is still in its boot loader.";
    EXPECT_EQ(host.errors, Messages{message});
    EXPECT_EQ(host.barsAtErrors, std::vector<bool>{false}); // no full bar beside the box
    EXPECT_EQ(host.log, Messages{"14:03:27 " + message});
    // GET_INFO, the restart, one boot-loader search, the erase pause, 100 looks 100 ms apart.
    EXPECT_EQ(host.sleptMs, 50 + 50 + 100 + 100 + 100 * 100);
    EXPECT_TRUE(upgrade.infoBefore());
    EXPECT_FALSE(upgrade.infoAfter());
    EXPECT_GE(host.clock - 100.0 - host.sleptMs / 1000.0, 100 * 0.001 - 1e-9); // events pumped

    // In its boot loader still: the next upgrade finds it there and ends well.
    sim.bootLoader().silentAfter = 0;
    sim.bootLoader().upgradedFirmwareVersion = "1.10";
    EXPECT_EQ(upgrade.upgrade(firmware(length), asker), FirmwareUpgrade::Outcome::Done);
    EXPECT_EQ(upgrade.infoAfter()->firmware, "1.10");
}

// The bus gives the programmer a new place when it comes back, some time after LEAVE; a
// transport pinned to its old place follows it there, and another programmer on the bus
// is not taken for it.
TEST_F(Upgrade, TheSameProgrammerIsFoundAtItsNewPlace) {
    struct RealWaits : RecordingHost {
        void sleep(int ms) override {
            RecordingHost::sleep(ms);
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
    } waits;
    TUsbBulk u{simulatedUsb(), {}, [&](int ms) { waits.sleep(ms); }};
    Connection link{u, waits, language};
    FirmwareUpgrade up{u, link, hid, waits, sink, language};
    sim.addDecoy(ksim::Decoy::SecondProgrammer); // KV2000002, always there
    sim.bootLoader().returnDelayMs = 300;
    sim.bootLoader().upgradedFirmwareVersion = "1.10";
    const auto places = u.programmerLocations(kProgrammerVendorId, kProgrammerManufacturer,
                                              kProgrammerProductId, kProgrammerProduct);
    ASSERT_EQ(places.size(), 2u);
    u.pinLocation(places[0]);
    ASSERT_EQ(up.upgrade(firmware(0x3000 + 100), asker), FirmwareUpgrade::Outcome::Done);
    EXPECT_EQ(up.infoBefore()->serial, "KV2000001");
    EXPECT_EQ(up.infoAfter()->serial, "KV2000001");
    EXPECT_EQ(up.infoAfter()->firmware, "1.10");
    EXPECT_NE(u.pinnedLocation(), places[0]);
    EXPECT_EQ(up.readInfo()->serial, "KV2000001");
    EXPECT_GE(waits.sleptMs, 50 + 50 + 100 + 100 + 300);
    EXPECT_EQ(sim.programmer(1).firmwareVersion, "1.02");
}

// The device walk: the last failure seen decides the code; strings are compared after
// the 8-bit conversion.
TEST_F(Upgrade, OpenDeviceCodesAndStrings) {
    auto open = [&] {
        return hid.OpenDevice(kBootLoaderVendorId, kBootLoaderManufacturer, kBootLoaderProductId,
                              kBootLoaderProduct);
    };
    EXPECT_EQ(open(), kHidNoMatch); // nothing on the HID bus
    sim.addHidDecoy(ksim::HidDecoy::OtherIds);
    EXPECT_EQ(open(), kHidNoMatch);
    sim.addHidDecoy(ksim::HidDecoy::OpenFails);
    EXPECT_EQ(open(), kHidOpenFailed);
    sim.addHidDecoy(ksim::HidDecoy::StringFails);
    EXPECT_EQ(open(), kHidStringFailed);
    sim.addHidDecoy(ksim::HidDecoy::OtherIds);
    EXPECT_EQ(open(), kHidStringFailed); // other ids are no failure: the last one counts
    sim.addHidDecoy(ksim::HidDecoy::OtherManufacturer);
    EXPECT_EQ(open(), kHidNoMatch);
    sim.addHidDecoy(ksim::HidDecoy::ProductStringFails);
    EXPECT_EQ(open(), kHidStringFailed);
    sim.addHidDecoy(ksim::HidDecoy::WideStrings); // "GigaDevice?" after the conversion
    EXPECT_EQ(open(), kHidNoMatch);               // matching ids, the strings differ
    EXPECT_FALSE(hid.isOpen());
    EXPECT_EQ(sim.hid().openHandles(), 0); // every device looked at was closed again
    // The ids alone when a text is null: the first device with those ids that opens.
    sim.hid().clearLog();
    EXPECT_EQ(hid.OpenDevice(kBootLoaderVendorId, nullptr, kBootLoaderProductId, nullptr), 0);
    EXPECT_EQ(sim.hid().openHandles(), 1);
    // Decoy 2 (open fails) is passed over; decoy 3 (string fails) has the ids and opens.
    int kept = -1;
    for (const auto &e : sim.hidLog())
        if (e.kind == ksim::HidLogEntry::Open && e.result == 0)
            kept = e.device;
    EXPECT_EQ(kept, 3);
    hid.CloseDevice();

    sim.bootLoader().showNow();
    EXPECT_EQ(open(), 0);
    EXPECT_TRUE(hid.isOpen());
    std::uint8_t report[64] = {1, BL_CMD_START};
    EXPECT_FALSE(hid.WriteReport(kInputReport, report, 64));
    EXPECT_TRUE(hid.WriteReport(kOutputReport, report, 64));
    EXPECT_FALSE(hid.ReadReport(kOutputReport, report, 64));
    EXPECT_TRUE(hid.ReadReport(kInputReport, report, 64));
    EXPECT_FALSE(hid.ReadReport(kInputReport, report, 64)); // nothing more comes
    hid.CloseDevice();
    EXPECT_FALSE(hid.WriteReport(kOutputReport, report, 64));
    EXPECT_EQ(sim.hid().openHandles(), 0);
}
