// The hardware information command's core against the simulated programmer and its
// boot loader: the information texts, the restart, the wait and the report exchange.
#include "link/FirmwareUpgrade.h"
#include "SimBinding.h"
#include "buffers/CodecFixture.h"
#include "link/Hiddrv.h"
#include "link/Usbbulk.h"
#include "ops/RecordingHost.h"

#include <cstring>

using namespace korvat;
using namespace korvat::test;

namespace {

class Upgrade : public FileTest {
protected:
    ActiveSimulator sim;
    RecordingHost host;
    int language = 2;
    TUsbBulk usb{simulatedUsb(), {}, [this](int ms) { host.sleep(ms); }};
    CUsbhid hid{simulatedHid()};
    FirmwareUpgrade upgrade{usb, hid, host, sink, language};

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

// The whole upgrade: the restart, the boot loader's load address and page size, the
// page count's low 8 bits, 62-byte data reports from image offset 0x3000 with the last
// one padded with 0xFF, the bars, and a log line; the programmer comes back with the
// new version.
TEST_F(Upgrade, SendsTheFileFromOffset0x3000AndSaysSo) {
    sim.bootLoader().loadAddress = 0x08004000;
    sim.bootLoader().pageSize = 1024;
    sim.bootLoader().upgradedFirmwareVersion = "1.10";
    const std::size_t length = 300000;
    const std::string path = firmware(length);
    ASSERT_EQ(upgrade.upgrade(path), FirmwareUpgrade::Outcome::Done);

    EXPECT_EQ(sentToProgrammer(13), 1);
    const auto &bl = sim.bootLoader();
    EXPECT_TRUE(bl.started());
    EXPECT_EQ(bl.eraseAddress(), 0x08004000u);
    EXPECT_EQ(bl.erasePages(), 293 & 0xFF); // 293 pages travel as 37
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
    int reads = 0;
    for (const auto &e : sim.hidLog())
        if (e.kind == ksim::HidLogEntry::Read) {
            ++reads;
            EXPECT_EQ(e.timeout,
                      5000); // a boot loader that stops answering is not waited for forever
        }
    EXPECT_EQ(reads, 3);
    EXPECT_FALSE(hid.isOpen());
    EXPECT_EQ(sim.hidLog().back().kind, ksim::HidLogEntry::Close);
    EXPECT_EQ(host.progressMaximum, length);
    EXPECT_EQ(host.progressValue, 0u);
    EXPECT_EQ(host.progressUpdates, reports + 2);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(host.log.front(),
              "14:03:27 Firmware upgrade complete: 300000 bytes sent to address 0x08004000.");
    EXPECT_EQ(upgrade.readInfo()->firmware, "1.10");
}

// A small file: 12388 bytes are 200 reports; the reports' unused bytes carry what the
// block held before (here the erase fields) rather than zeros.
TEST_F(Upgrade, ReportsKeepTheBlocksEarlierBytes) {
    ASSERT_EQ(upgrade.upgrade(firmware(0x3000 + 100)), FirmwareUpgrade::Outcome::Done);
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
    EXPECT_EQ(upgrade.upgrade(firmware(1000)), FirmwareUpgrade::Outcome::Done);
    // The searches, the pause after ERASE, and the reply pause of CMD_ENTER_BOOT.
    EXPECT_EQ(host.sleptMs, 500 * 100 + 100 + 50);
}

TEST_F(Upgrade, ABootLoaderLaterThanThe500thSearchIsNotUsed) {
    sim.bootLoader().appearAfterSearches = 501;
    host.clockStep = 1; // a second for each time the window's events are processed
    const double before = host.clock;
    EXPECT_EQ(upgrade.upgrade(firmware(1000)), FirmwareUpgrade::Outcome::NoBootLoader);
    EXPECT_EQ(host.sleptMs, 50 + 500 * 100);
    EXPECT_NEAR(host.clock - before, 50.05 + 500, 1e-6); // the window kept up between tries
    EXPECT_EQ(host.errors, Messages{"The programmer's boot loader did not appear; no firmware "
                                    "was sent."});
    EXPECT_EQ(sim.bootLoader().reports().size(), 0u);
}

// A programmer already in its boot loader is not on the USB bus: nothing is sent to it
// and the boot loader is used.
TEST_F(Upgrade, AProgrammerAlreadyInItsBootLoaderIsUpgraded) {
    sim.bootLoader().showNow();
    EXPECT_EQ(upgrade.upgrade(firmware(500)), FirmwareUpgrade::Outcome::Done);
    EXPECT_EQ(sentToProgrammer(13), 0);
    EXPECT_EQ(sim.bootLoader().dataReports(), 9);
}

// The file is loaded and checked before the programmer is restarted.
TEST_F(Upgrade, AFileThatCannotBeSentIsRefusedBeforeTheRestart) {
    EXPECT_EQ(upgrade.upgrade(file("empty.fwpk", "")), FirmwareUpgrade::Outcome::Refused);
    EXPECT_EQ(host.errors, Messages{"The firmware file is empty; the programmer was not "
                                    "restarted."});
    // The loader's own message, and no second one.
    EXPECT_EQ(upgrade.upgrade(path("absent.fwpk")), FirmwareUpgrade::Outcome::Refused);
    EXPECT_EQ(sink.messages, Messages{"Can't open File"});
    EXPECT_EQ(host.errors.size(), 1u);
    // 0x3000 + 16715 reports of 62 bytes passes 1 MiB; one report fewer fits.
    const std::size_t fits = (0x100000 - 0x3000) / 62 * 62;
    EXPECT_EQ(upgrade.upgrade(firmware(fits + 1)), FirmwareUpgrade::Outcome::Refused);
    EXPECT_NE(host.errors.back().find("too long"), std::string::npos);
    EXPECT_EQ(sentToProgrammer(13), 0);
    EXPECT_EQ(sim.bootLoader().searches(), 0);
    EXPECT_EQ(upgrade.upgrade(firmware(fits)), FirmwareUpgrade::Outcome::Done);
}

TEST_F(Upgrade, PageSizeZeroEndsAfterLeave) {
    sim.bootLoader().pageSize = 0;
    EXPECT_EQ(upgrade.upgrade(firmware(1000)), FirmwareUpgrade::Outcome::Failed);
    EXPECT_TRUE(sim.bootLoader().leaveReceived());
    EXPECT_EQ(sim.bootLoader().eraseCount(), 0);
    EXPECT_EQ(sim.bootLoader().dataReports(), 0);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_NE(host.errors[0].find("page size of 0"), std::string::npos);
    EXPECT_EQ(host.log.front(), "14:03:27 " + host.errors[0]);
    EXPECT_FALSE(hid.isOpen());

    // When even that LEAVE does not go, the box says so instead.
    sim.bootLoader().failWriteAt = 3;
    EXPECT_EQ(upgrade.upgrade(firmware(1000)), FirmwareUpgrade::Outcome::Failed);
    EXPECT_EQ(host.errors.back(), "Firmware upgrade failed: the BL_CMD_LEAVE report could not "
                                  "be written; 0 bytes were sent.");
    EXPECT_FALSE(hid.isOpen());
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
        {21, 0, 0,
         "Firmware upgrade failed: the BL_CMD_LEAVE report could not be written; 1000 "
         "bytes were sent."},
    };
    for (const auto &c : cases) {
        ActiveSimulator fresh;
        RecordingHost h;
        TUsbBulk u{simulatedUsb(), {}, [&](int ms) { h.sleep(ms); }};
        CUsbhid d{simulatedHid()};
        FirmwareUpgrade up{u, d, h, sink, language};
        fresh.bootLoader().failWriteAt = c.failWrite;
        fresh.bootLoader().failReadAt = c.failRead;
        fresh.bootLoader().silentAfter = c.silentAfter;
        EXPECT_EQ(up.upgrade(firmware(1000)), FirmwareUpgrade::Outcome::Failed) << c.message;
        EXPECT_EQ(h.errors, Messages{c.message});
        EXPECT_EQ(h.log, Messages{"14:03:27 " + std::string(c.message)});
        EXPECT_FALSE(d.isOpen());
        EXPECT_EQ(h.progressValue, 0u);
    }
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
