// The programmer's boot loader on the simulated HID side: its appearance after a restart,
// the report exchange of an upgrade, the programmer's return, faults and HID decoys.
#include "HidHost.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace ksim::test;
namespace hid = ksim::hid;
namespace usb = ksim::usb;
using ksim::BootLoader;
using ksim::HidLogEntry;

namespace {

constexpr std::uint8_t kStart = 0x01, kErase = 0x02, kData = 0x03, kLeave = 0x04,
                       kGetAddress = 0x05;

std::vector<std::uint8_t> dataReport(std::uint8_t first) {
    std::vector<std::uint8_t> fields(62);
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = static_cast<std::uint8_t>(first + i);
    return report(kData, fields);
}

int count(const std::vector<HidLogEntry> &log, HidLogEntry::Kind kind, int device) {
    int n = 0;
    for (const auto &e : log)
        n += e.kind == kind && e.device == device;
    return n;
}

} // namespace

TEST(BootLoader, AbsentWhileTheProgrammerRunsItsFirmware) {
    ActiveSim sim;
    EXPECT_TRUE(listHid().empty());
    EXPECT_EQ(sim.bootLoader().state(), BootLoader::State::Off);
    EXPECT_EQ(firmwareVersion(), "1.02");
}

TEST(BootLoader, UpgradeExchangeEndsWithTheProgrammerBackAndUpgraded) {
    ActiveSim sim;
    sim.bootLoader().upgradedFirmwareVersion = "1.10";
    ASSERT_TRUE(enterBootLoader());
    EXPECT_TRUE(sim.bootLoaderRequested());
    EXPECT_EQ(openProgrammer(), nullptr); // off the USB bus

    hid_device_info *devs = hid::enumerate(0, 0); // the first search finds it
    ASSERT_NE(devs, nullptr);
    EXPECT_EQ(devs->next, nullptr);
    EXPECT_EQ(devs->vendor_id, 0x28E9);
    EXPECT_EQ(devs->product_id, 0x028B);
    EXPECT_STREQ(devs->manufacturer_string, L"GigaDevice");
    EXPECT_STREQ(devs->product_string, L"GD32 USB IAP in FS Mode");
    EXPECT_EQ(devs->interface_number, 0);
    EXPECT_EQ(devs->bus_type, HID_API_BUS_USB);
    hid_device *dev = hid::openPath(devs->path);
    hid::freeEnumeration(devs);
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(manufacturerOf(dev), L"GigaDevice");
    wchar_t product[64];
    EXPECT_EQ(hid::getProductString(dev, product, 64), 0);
    EXPECT_STREQ(product, L"GD32 USB IAP in FS Mode");

    EXPECT_EQ(send(dev, report(kStart)), 64);
    auto in = receive(dev);
    ASSERT_EQ(in.size(), 64u);
    EXPECT_EQ(in[0], 1);
    EXPECT_TRUE(receive(dev).empty()); // one reply per command
    EXPECT_TRUE(sim.bootLoader().started());

    EXPECT_EQ(send(dev, report(kGetAddress)), 64);
    in = receive(dev);
    ASSERT_EQ(in.size(), 64u);
    EXPECT_EQ(in[0], 1);
    EXPECT_EQ(le32(in, 1), 0x08003000u);
    EXPECT_EQ(in[5] | (in[6] << 8), 1024);

    // 0x103 pages travel as their low 8 bits; 130 bytes of firmware in three reports.
    EXPECT_EQ(send(dev, report(kErase, {0x00, 0x30, 0x00, 0x08, 0x03, 130, 0, 0, 0})), 64);
    EXPECT_EQ(receive(dev).size(), 64u);
    EXPECT_EQ(sim.bootLoader().eraseAddress(), 0x08003000u);
    EXPECT_EQ(sim.bootLoader().erasePages(), 3);
    EXPECT_EQ(sim.bootLoader().firmwareLength(), 130u);

    for (std::uint8_t first : {0, 62, 124})
        EXPECT_EQ(send(dev, dataReport(first)), 64);
    EXPECT_TRUE(receive(dev).empty()); // DATA has no reply
    EXPECT_EQ(sim.bootLoader().dataReports(), 3);
    ASSERT_EQ(sim.bootLoader().firmware().size(), 186u);
    for (std::size_t i = 0; i < 186; ++i)
        ASSERT_EQ(sim.bootLoader().firmware()[i], static_cast<std::uint8_t>(i)) << i;

    EXPECT_EQ(send(dev, report(kLeave)), 64);
    int result = 0;
    receive(dev, &result);
    EXPECT_EQ(result, -1); // the device has left
    EXPECT_EQ(send(dev, report(kStart)), -1);
    EXPECT_STREQ(hid::error(dev), L"Device disconnected");
    EXPECT_TRUE(sim.bootLoader().leaveReceived());
    EXPECT_TRUE(listHid().empty());
    hid::close(dev);
    EXPECT_EQ(sim.hid().openHandles(), 0);
    EXPECT_EQ(count(sim.hidLog(), HidLogEntry::Open, 0), 1);
    EXPECT_EQ(count(sim.hidLog(), HidLogEntry::Close, 0), 1);
    EXPECT_EQ(sim.hidLog().back().kind, HidLogEntry::Close);

    EXPECT_EQ(firmwareVersion(), "1.10"); // back at the next USB bus scan
    EXPECT_TRUE(sim.programmerPresent());
    EXPECT_FALSE(sim.bootLoaderRequested());
    EXPECT_EQ(sim.bootLoader().reports().size(), 7u);
    for (const auto &r : sim.bootLoader().reports())
        EXPECT_EQ(r.size(), 64u);
    EXPECT_EQ(sim.bootLoader().reports()[3], dataReport(0));
}

TEST(BootLoader, LoadAddressAndPageSizeAsConfigured) {
    for (std::uint16_t page : {std::uint16_t(0), std::uint16_t(0x0800)}) {
        ActiveSim sim;
        sim.bootLoader().loadAddress = 0x0800A000;
        sim.bootLoader().pageSize = page;
        sim.bootLoader().showNow();
        hid_device *dev = openBootLoader();
        ASSERT_NE(dev, nullptr);
        send(dev, report(kGetAddress));
        const auto in = receive(dev);
        ASSERT_EQ(in.size(), 64u);
        EXPECT_EQ(le32(in, 1), 0x0800A000u);
        EXPECT_EQ(in[5] | (in[6] << 8), page);
        hid::close(dev);
    }
}

TEST(BootLoader, VersionStaysWithoutFirmwareData) {
    {
        ActiveSim sim; // LEAVE without DATA
        sim.bootLoader().upgradedFirmwareVersion = "1.10";
        sim.bootLoader().showNow();
        EXPECT_FALSE(sim.programmerPresent());
        hid_device *dev = openBootLoader();
        send(dev, report(kStart));
        send(dev, report(kLeave));
        hid::close(dev);
        EXPECT_EQ(firmwareVersion(), "1.02");
    }
    {
        ActiveSim sim; // DATA, but no version for after an upgrade
        sim.bootLoader().showNow();
        hid_device *dev = openBootLoader();
        send(dev, dataReport(0));
        send(dev, report(kLeave));
        hid::close(dev);
        EXPECT_EQ(firmwareVersion(), "1.02");
    }
}

// Back on the USB bus after the delay, enumerated afresh with the next device number.
TEST(BootLoader, ProgrammerReturnsAfterTheDelay) {
    ActiveSim sim;
    const auto place = [] {
        usb::findBusses();
        usb::findDevices();
        const struct usb_device *dev = usb::getBusses()->devices;
        return dev ? std::string(dev->filename) + " " + std::to_string(dev->devnum) : "";
    };
    EXPECT_EQ(place(), "001 1");
    sim.bootLoader().returnDelayMs = 150;
    sim.bootLoader().showNow();
    hid_device *dev = openBootLoader();
    send(dev, report(kLeave));
    hid::close(dev);
    EXPECT_EQ(firmwareVersion(), ""); // still restarting
    EXPECT_TRUE(listHid().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(firmwareVersion(), "1.02");
    EXPECT_EQ(place(), "002 2");
}

TEST(BootLoader, AppearsAtTheConfiguredSearch) {
    ActiveSim sim;
    sim.bootLoader().appearAfterSearches = 3;
    ASSERT_TRUE(enterBootLoader());
    EXPECT_TRUE(listHid(0x28E9, 0x028B).empty());
    EXPECT_EQ(hid::open(0x28E9, 0x028B, nullptr), nullptr); // enumerates too
    EXPECT_EQ(sim.bootLoader().searches(), 2);
    const auto third = listHid();
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(sim.bootLoader().searches(), 3);
    hid_device *dev = hid::open(0x28E9, 0x028B, nullptr);
    EXPECT_NE(dev, nullptr);
    EXPECT_EQ(sim.bootLoader().searches(), 4);
    hid::close(dev);
}

TEST(BootLoader, NeverAppearsWhenSetToZero) {
    ActiveSim sim;
    sim.bootLoader().appearAfterSearches = 0;
    ASSERT_TRUE(enterBootLoader());
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(listHid().empty()) << i;
    EXPECT_EQ(sim.bootLoader().searches(), 20);
    EXPECT_EQ(sim.bootLoader().state(), BootLoader::State::Waiting);
    EXPECT_EQ(firmwareVersion(), "");
}

TEST(BootLoader, FailedWriteLeavesNoTrace) {
    ActiveSim sim;
    sim.bootLoader().failWriteAt = 2;
    sim.bootLoader().showNow();
    hid_device *dev = openBootLoader();
    EXPECT_EQ(send(dev, report(kStart)), 64);
    EXPECT_EQ(send(dev, report(kGetAddress)), -1);
    EXPECT_STREQ(hid::error(dev), L"report write failed");
    EXPECT_EQ(sim.bootLoader().reports().size(), 1u);
    EXPECT_EQ(send(dev, report(kGetAddress)), 64);
    EXPECT_EQ(receive(dev).size(), 64u);
    EXPECT_EQ(le32(receive(dev), 1), 0x08003000u);
    hid::close(dev);
}

TEST(BootLoader, FailedReadKeepsTheQueuedReport) {
    ActiveSim sim;
    sim.bootLoader().failReadAt = 1;
    sim.bootLoader().showNow();
    hid_device *dev = openBootLoader();
    send(dev, report(kStart));
    int result = 0;
    receive(dev, &result);
    EXPECT_EQ(result, -1);
    EXPECT_STREQ(hid::error(dev), L"report read failed");
    EXPECT_EQ(receive(dev).size(), 64u);
    // Left unread, it is gone for the next handle.
    send(dev, report(kStart));
    hid::close(dev);
    dev = openBootLoader();
    EXPECT_EQ(sim.bootLoader().queued(), 0u);
    hid::close(dev);
}

TEST(BootLoader, SilentAfterSomeReports) {
    ActiveSim sim;
    sim.bootLoader().silentAfter = 2;
    sim.bootLoader().upgradedFirmwareVersion = "1.10";
    sim.bootLoader().showNow();
    hid_device *dev = openBootLoader();
    send(dev, report(kStart));
    EXPECT_EQ(receive(dev).size(), 64u);
    send(dev, report(kGetAddress));
    EXPECT_EQ(receive(dev).size(), 64u);
    EXPECT_EQ(send(dev, report(kErase, {0, 0x30, 0, 8, 1, 62, 0, 0, 0})), 64);
    int result = -1;
    EXPECT_TRUE(receive(dev, &result).empty());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(sim.bootLoader().eraseCount(), 0); // taken, not acted on
    send(dev, dataReport(0));
    send(dev, report(kLeave));
    EXPECT_EQ(sim.bootLoader().reports().size(), 5u);
    EXPECT_TRUE(sim.bootLoader().present()); // a hung boot loader stays
    hid::close(dev);
    EXPECT_EQ(firmwareVersion(), "");
}

TEST(BootLoader, ReadsWithNothingQueuedReturnAtOnce) {
    ActiveSim sim;
    sim.bootLoader().showNow();
    hid_device *dev = openBootLoader();
    unsigned char in[64];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(hid::readTimeout(dev, in, 64, 2000), 0);
    EXPECT_EQ(hid::readTimeout(dev, in, 64, -1), 0);
    EXPECT_EQ(hid::read(dev, in, 64), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(sim.hidLog().back().timeout, -1);
    hid::close(dev);
}

TEST(BootLoader, RefusesReportsOfAnotherShape) {
    ActiveSim sim;
    sim.bootLoader().showNow();
    hid_device *dev = openBootLoader();
    auto longer = report(kStart);
    longer.push_back(0);
    EXPECT_EQ(send(dev, longer), -1);
    auto otherId = report(kStart);
    otherId[0] = 2;
    EXPECT_EQ(send(dev, otherId), -1);
    EXPECT_TRUE(sim.bootLoader().reports().empty());
    EXPECT_EQ(hid::sendFeatureReport(dev, otherId.data(), 64), -1);
    unsigned char feature[64] = {1};
    EXPECT_EQ(hid::getFeatureReport(dev, feature, 64), -1);
    hid::close(dev);
}

TEST(BootLoader, HandleOfAnEarlierAppearanceIsStale) {
    ActiveSim sim;
    sim.bootLoader().showNow();
    hid_device *old = openBootLoader();
    send(old, report(kLeave));
    EXPECT_EQ(firmwareVersion(), "1.02");
    ASSERT_TRUE(enterBootLoader());
    hid_device *dev = openBootLoader();
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(send(old, report(kStart)), -1);
    EXPECT_EQ(send(dev, report(kStart)), 64);
    hid::close(old);
    hid::close(dev);
    EXPECT_EQ(count(sim.hidLog(), HidLogEntry::Close, 0), 2);
}

TEST(BootLoader, StringsAreCutToTheRoomGiven) {
    ActiveSim sim;
    sim.bootLoader().showNow();
    hid_device *dev = openBootLoader();
    EXPECT_EQ(manufacturerOf(dev, 5), L"Giga");
    EXPECT_EQ(manufacturerOf(dev, 1), L"");
    wchar_t none[1];
    EXPECT_EQ(hid::getManufacturerString(dev, none, 0), -1);
    hid::close(dev);
}

TEST(BootLoader, NoSimulatorNoDevices) {
    ksim::Simulator::activate(nullptr);
    EXPECT_EQ(hid::enumerate(0, 0), nullptr);
    EXPECT_EQ(hid::openPath("/dev/hidraw0"), nullptr);
    EXPECT_NE(hid::error(nullptr), nullptr);
    hid::freeEnumeration(nullptr);
}

TEST(HidDecoys, ListedBeforeTheBootLoaderAndBehaveAsNamed) {
    ActiveSim sim;
    for (auto d : {ksim::HidDecoy::OpenFails, ksim::HidDecoy::StringFails, ksim::HidDecoy::OtherIds,
                   ksim::HidDecoy::OtherManufacturer, ksim::HidDecoy::WideStrings})
        sim.addHidDecoy(d);
    EXPECT_EQ(listHid().size(), 5u); // the decoys are there while the programmer runs
    sim.bootLoader().showNow();
    const auto all = listHid();
    ASSERT_EQ(all.size(), 6u);
    for (std::size_t i : {0, 1, 3, 4, 5}) {
        EXPECT_EQ(all[i].vendor, 0x28E9) << i;
        EXPECT_EQ(all[i].product, 0x028B) << i;
    }
    EXPECT_EQ(all[2].product, 0x028C);
    EXPECT_EQ(all[3].manufacturer, L"Another Maker");
    EXPECT_EQ(all[4].manufacturer.substr(0, 10), L"GigaDevice");
    EXPECT_GT(static_cast<unsigned>(all[4].manufacturer.back()), 0xFFu);
    EXPECT_EQ(all[5].manufacturer, L"GigaDevice");
    EXPECT_EQ(listHid(0x28E9, 0x028B).size(), 5u); // without the other ids

    EXPECT_EQ(hid::openPath(all[0].path.c_str()), nullptr);
    EXPECT_STREQ(hid::error(nullptr), L"Permission denied");
    hid_device *stringFails = hid::openPath(all[1].path.c_str());
    ASSERT_NE(stringFails, nullptr);
    EXPECT_EQ(manufacturerOf(stringFails), L"<failed>");
    hid::close(stringFails);
    hid_device *wide = hid::openPath(all[4].path.c_str());
    EXPECT_EQ(manufacturerOf(wide), all[4].manufacturer);
    EXPECT_EQ(send(wide, report(kStart)), 64); // a decoy takes reports and never answers
    EXPECT_TRUE(receive(wide).empty());
    hid::close(wide);
    EXPECT_TRUE(sim.bootLoader().reports().empty());

    const auto &log = sim.hidLog();
    EXPECT_EQ(count(log, HidLogEntry::Open, 1), 1); // the failed open
    EXPECT_EQ(count(log, HidLogEntry::Close, 1), 0);
    EXPECT_EQ(count(log, HidLogEntry::Close, 2), 1);
    EXPECT_EQ(count(log, HidLogEntry::Write, 5), 1);
}
