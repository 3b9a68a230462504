#include "link/Usbbulk.h"
#include "SimBinding.h"
#include "catalogue/Catalogue.h"
#include "link/CommandBlock.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace korvat;
using namespace korvat::test;
using ksim::Decoy;
using ksim::LogEntry;

namespace {

class Transport : public ::testing::Test {
protected:
    ActiveSimulator sim;
    std::vector<std::string> diagnostics;
    std::vector<int> pauses;
    TUsbBulk usb{simulatedUsb(), [this](const std::string &l) { diagnostics.push_back(l); },
                 [this](int ms) { pauses.push_back(ms); }};

    int open() {
        return usb.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                             kProgrammerProduct);
    }
    // Index of the device whose interface was claimed successfully.
    int claimedDevice() const {
        for (const auto &e : sim.log())
            if (e.kind == LogEntry::Claim && e.result == 0)
                return e.device;
        return -1;
    }
    int count(LogEntry::Kind kind, int device) const {
        int n = 0;
        for (const auto &e : sim.log())
            n += e.kind == kind && e.device == device;
        return n;
    }
};

} // namespace

TEST_F(Transport, SetupBlockFromCatalogueRecordAndItsReply) {
    Catalogue cat;
    GridRow row = {"25", "Winbond", "W25Q64", "0xEF4017", "8388608", "256", "0",
                   "0",  "100",     "0",      "0",        "4",       "0"};
    ASSERT_EQ(cat.save({row}, "/dev/null/no").outcome, CatalogueOutcome::CannotCreate);
    const ChipRecord &chip = cat.slot(0);

    ASSERT_EQ(open(), 1);
    CommandBlock block = setupBlock(chip, 3);
    const CommandBlock sent = block;
    EXPECT_EQ(usb.USB_bulk_cmd(reinterpret_cast<char *>(block.data()), 64, 1), 64);
    usb.USB_bulk_close();
    EXPECT_FALSE(usb.isOpen());
    EXPECT_EQ(pauses, std::vector<int>{kReplyPauseMs});

    const auto &log = sim.log();
    std::vector<LogEntry::Kind> kinds;
    for (const auto &e : log)
        kinds.push_back(e.kind);
    EXPECT_EQ(kinds, (std::vector<LogEntry::Kind>{
                         LogEntry::Open, LogEntry::Control, LogEntry::Control, LogEntry::Claim,
                         LogEntry::BulkOut, LogEntry::BulkIn, LogEntry::Release, LogEntry::Close}));
    EXPECT_EQ(log[1].endpoint, 0x0301); // manufacturer string
    EXPECT_EQ(log[2].endpoint, 0x0302); // product string
    EXPECT_EQ(log[4].endpoint, 0x01);
    EXPECT_EQ(log[4].data, std::vector<std::uint8_t>(sent.begin(), sent.end()));
    EXPECT_EQ(log[5].endpoint, 0x81);
    EXPECT_EQ(log[5].result, 64);
    // The programmer kept the chip parameters.
    EXPECT_EQ(sim.programmer().parameters().capacity, 8388608u);
    EXPECT_EQ(sim.programmer().parameters().chipId, 0xEF4017u);
    EXPECT_EQ(sim.programmer().parameters().flashPage, 256);
    EXPECT_EQ(sim.programmer().parameters().speed, 3);
    EXPECT_TRUE(diagnostics.empty());
}

TEST_F(Transport, OpenChoosesTheProgrammersEndpoints) {
    EXPECT_EQ(usb.epIn(), 0x82);
    EXPECT_EQ(usb.epData(), 0x01);
    EXPECT_EQ(usb.epCmd(), 0x02);
    ASSERT_EQ(open(), 1);
    EXPECT_TRUE(usb.isOpen());
    EXPECT_EQ(usb.epIn(), 0x81);
    EXPECT_EQ(usb.epData(), 0x02);
    EXPECT_EQ(usb.epCmd(), 0x01);
    EXPECT_EQ(usb.claimedInterface(), 0);
}

TEST_F(Transport, OtherProductStringGetsTheOtherEndpointSet) {
    ksim::DeviceIdentity identity;
    identity.productName = u"Other";
    identity.interfaceNumber = 2;
    sim.addDevice(identity, true);
    ASSERT_EQ(
        usb.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId, "Other"),
        1);
    EXPECT_EQ(usb.epIn(), 0x82);
    EXPECT_EQ(usb.epData(), 0x01);
    EXPECT_EQ(usb.epCmd(), 0x02);
    EXPECT_EQ(usb.claimedInterface(), 2);
    usb.USB_bulk_close();
    EXPECT_EQ(sim.log().back().kind, LogEntry::Close);
    EXPECT_EQ(sim.log()[sim.log().size() - 2].endpoint, 2); // released what it claimed
}

TEST_F(Transport, NoProgrammerAttached) {
    sim.unplug();
    EXPECT_EQ(open(), 0);
    EXPECT_FALSE(usb.isOpen());
    EXPECT_EQ(usb.epIn(), 0x82);
    EXPECT_TRUE(sim.log().empty());
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0], "Could not find USB device \"ROVArad\" with vid=0x1fc8 pid=0x300b\n");
}

TEST_F(Transport, DecoysAreSkippedAndTheProgrammerBehindThemIsUsed) {
    struct Case {
        Decoy decoy;
        bool opened;      // the transport opened it (and so must close it)
        const char *diag; // the diagnostic it leaves, if any
    };
    const Case cases[] = {
        {Decoy::OtherManufacturer, true, nullptr},
        {Decoy::OtherProduct, true, nullptr},
        {Decoy::WideStrings, true, nullptr},
        {Decoy::NotAStringDescriptor, true, nullptr},
        {Decoy::StringFails, true, "warning: cannot query manufacturer for device: Broken pipe\n"},
        {Decoy::ClaimFails, true, "error writing:\nDevice or resource busy\n"},
        {Decoy::NoInterface, true, "error writing:\n"},
        {Decoy::OpenFails, false, "Warning: cannot open USB device: Input/output error\n"},
        {Decoy::OtherIds, false, nullptr},
    };
    for (const Case &c : cases) {
        ActiveSimulator s;
        std::vector<std::string> diag;
        TUsbBulk t(
            simulatedUsb(), [&](const std::string &l) { diag.push_back(l); }, [](int) {});
        s.addDecoy(c.decoy);
        ASSERT_EQ(t.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                              kProgrammerProduct),
                  1)
            << static_cast<int>(c.decoy);
        // The decoy is device 1, added before the programmer in the walk.
        int opens = 0, closes = 0, claimedBy = -1;
        for (const auto &e : s.log()) {
            opens += e.kind == LogEntry::Open && e.device == 1 && e.result == 0;
            closes += e.kind == LogEntry::Close && e.device == 1;
            if (e.kind == LogEntry::Claim && e.result == 0)
                claimedBy = e.device;
        }
        EXPECT_EQ(claimedBy, 0) << static_cast<int>(c.decoy);
        EXPECT_EQ(opens, c.opened ? 1 : 0) << static_cast<int>(c.decoy);
        EXPECT_EQ(closes, opens) << static_cast<int>(c.decoy);
        if (c.diag) {
            ASSERT_EQ(diag.size(), 1u) << static_cast<int>(c.decoy);
            EXPECT_EQ(diag[0].substr(0, std::strlen(c.diag)), c.diag);
        } else {
            EXPECT_TRUE(diag.empty()) << static_cast<int>(c.decoy);
        }
    }
    ksim::Simulator::activate(&sim);
}

TEST_F(Transport, FirstQualifyingProgrammerInWalkOrderIsUsed) {
    sim.addDecoy(Decoy::SecondProgrammer); // on a later bus
    ksim::DeviceIdentity sameBus;
    sim.addDevice(sameBus, true); // later on the first bus
    ASSERT_EQ(open(), 1);
    EXPECT_EQ(claimedDevice(), 0);
    EXPECT_EQ(count(LogEntry::Open, 1), 0);
    EXPECT_EQ(count(LogEntry::Open, 2), 0);
    usb.USB_bulk_close();

    sim.unplug(); // the first leaves: the one later on the same bus comes before the other bus
    ASSERT_EQ(open(), 1);
    int lastClaim = -1;
    for (const auto &e : sim.log())
        if (e.kind == LogEntry::Claim)
            lastClaim = e.device;
    EXPECT_EQ(lastClaim, 2);
}

TEST_F(Transport, StringDescriptorConversion) {
    sim.addDecoy(Decoy::WideStrings);
    sim.addDecoy(Decoy::NotAStringDescriptor);
    usb_bus *bus = (ksim::usb::findDevices(), ksim::usb::getBusses());
    struct usb_device *wide = bus->devices;
    struct usb_device *notString = wide->next;
    ASSERT_NE(notString, nullptr);

    char text[256];
    usb_dev_handle *h = ksim::usb::open(wide);
    EXPECT_EQ(usb.usbGetStringAscii(h, 1, kStringLanguage, text, sizeof text), 18);
    EXPECT_STREQ(text, "Korvat Electroni?s");
    EXPECT_EQ(usb.usbGetStringAscii(h, 1, kStringLanguage, text, 7), 6); // room for 6 and the zero
    EXPECT_STREQ(text, "Korvat");
    EXPECT_EQ(usb.usbGetStringAscii(h, 9, kStringLanguage, text, sizeof text), -32);
    ksim::usb::close(h);

    h = ksim::usb::open(notString);
    std::strcpy(text, "stale");
    EXPECT_EQ(usb.usbGetStringAscii(h, 1, kStringLanguage, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    ksim::usb::close(h);
}

TEST_F(Transport, NothingOpenMovesNothing) {
    char block[64] = {};
    EXPECT_EQ(usb.USB_bulk_cmd(block, 64, 0), kNoDevice);
    EXPECT_TRUE(pauses.empty());
    EXPECT_EQ(usb.USB_bulk_cmd(block, 64, 1), kNoDevice);
    EXPECT_EQ(pauses, std::vector<int>{kReplyPauseMs}); // the pause happens all the same
    EXPECT_EQ(usb.USB_bulk_write(block, 64), kNoDevice);
    EXPECT_EQ(usb.USB_bulk_read(block, 64), kNoDevice);
    unsigned char setup[4] = {};
    EXPECT_EQ(usb.USB_transmit(1, 1, setup, reinterpret_cast<unsigned char *>(block), 8), -1);
    usb.USB_bulk_close();
    EXPECT_TRUE(sim.log().empty());

    ASSERT_EQ(open(), 1);
    usb.USB_bulk_close();
    const auto before = sim.log().size();
    EXPECT_EQ(usb.USB_bulk_write(block, 64), kNoDevice);
    EXPECT_EQ(usb.USB_bulk_read(block, 64), kNoDevice);
    EXPECT_EQ(sim.log().size(), before);
}

TEST_F(Transport, CommandWithoutReplyIsOneTransferAndNoPause) {
    ASSERT_EQ(open(), 1);
    CommandBlock b = endBlock();
    EXPECT_EQ(usb.USB_bulk_cmd(reinterpret_cast<char *>(b.data()), 64, 0), 64);
    EXPECT_TRUE(pauses.empty());
    EXPECT_EQ(bulkOnly(sim.log()).size(), 1u);
}

TEST_F(Transport, ReplyReplacesTheCommandInTheCallersBuffer) {
    sim.programmer().serialNumber = "SN0001";
    ASSERT_EQ(open(), 1);
    CommandBlock b = getInfoBlock();
    ASSERT_EQ(usb.USB_bulk_cmd(reinterpret_cast<char *>(b.data()), 64, 1), 64);
    EXPECT_EQ(b[1], 0);
    EXPECT_STREQ(reinterpret_cast<const char *>(&b[51]), "SN0001");
}

TEST_F(Transport, FailedTransferIsReportedAndTheReadStillFollows) {
    ASSERT_EQ(open(), 1);
    sim.faults.timeoutAtTransfer = sim.transferCount() + 1;
    CommandBlock b = getInfoBlock();
    const int r = usb.USB_bulk_cmd(reinterpret_cast<char *>(b.data()), 64, 1);
    EXPECT_EQ(r, -110); // the read found no reply: the command never arrived
    const auto bulk = bulkOnly(sim.log());
    ASSERT_EQ(bulk.size(), 2u);
    EXPECT_EQ(bulk[0].result, -110);
    EXPECT_EQ(bulk[1].kind, LogEntry::BulkIn);
    ASSERT_EQ(diagnostics.size(), 2u);
    EXPECT_EQ(diagnostics[0], "error writing:\nConnection timed out\n");
}

TEST_F(Transport, VendorRequestGoesThroughTheControlPipe) {
    ASSERT_EQ(open(), 1);
    unsigned char setup[4] = {0x34, 0x12, 0x01, 0x00};
    unsigned char buffer[8] = {};
    EXPECT_EQ(usb.USB_transmit(1, 0x22, setup, buffer, 0), 0);
    EXPECT_EQ(sim.log().back().kind, LogEntry::Control);
    EXPECT_EQ(sim.log().back().endpoint, 0x1234);
}

// Every transfer and request carries its fixed time-out, and every string request asks
// for US English, as the simulator's log sees them.
TEST_F(Transport, TimeOutsAndStringLanguageAsTheDeviceSeesThem) {
    ASSERT_EQ(open(), 1);
    CommandBlock b = getInfoBlock();
    usb.USB_bulk_cmd(reinterpret_cast<char *>(b.data()), 64, 1);
    char data[64] = {};
    usb.USB_bulk_write(data, 64);
    usb.USB_bulk_read(data, 64);
    unsigned char setup[4] = {};
    usb.USB_transmit(0, 0x22, setup, reinterpret_cast<unsigned char *>(data), 0);
    usb.USB_bulk_close();

    int strings = 0, bulk = 0, vendor = 0;
    for (const auto &e : sim.log()) {
        if (e.kind == LogEntry::Control && (e.endpoint >> 8) == 3) {
            ++strings;
            EXPECT_EQ(e.timeout, 1000);
            EXPECT_EQ(e.index, 0x0409);
        } else if (e.kind == LogEntry::Control) {
            ++vendor;
            EXPECT_EQ(e.timeout, 7000);
        } else if (e.kind == LogEntry::BulkOut || e.kind == LogEntry::BulkIn) {
            ++bulk;
            EXPECT_EQ(e.timeout, 5000);
        }
    }
    EXPECT_EQ(strings, 2); // manufacturer and product
    EXPECT_EQ(vendor, 1);
    EXPECT_EQ(bulk, 4);
}

// Every programmer on the bus is found, one that another program holds included, and
// nothing is left claimed; a pinned location keeps to its own programmer and never
// takes another in its place.
TEST_F(Transport, LocationsOfEveryProgrammerAndAPinnedOne) {
    sim.addDecoy(Decoy::SecondProgrammer);
    sim.addDecoy(Decoy::OtherProduct);
    TUsbBulk other{simulatedUsb(), {}, [](int) {}};
    ASSERT_EQ(other.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                              kProgrammerProduct),
              1);
    const std::string first = other.location();
    sim.clearLog();
    const auto all = usb.programmerLocations(kProgrammerVendorId, kProgrammerManufacturer,
                                             kProgrammerProductId, kProgrammerProduct);
    ASSERT_EQ(all.size(), 2u); // the held one too; not the other product
    EXPECT_EQ(all.front(), first);
    EXPECT_EQ(count(LogEntry::Claim, 0) + count(LogEntry::Claim, 1), 0);
    EXPECT_FALSE(usb.isOpen());
    const std::string second = all.back();

    usb.pinLocation(second); // the first is busy; the pin finds the second
    ASSERT_EQ(open(), 1);
    EXPECT_EQ(usb.location(), second);
    usb.USB_bulk_close();
    EXPECT_TRUE(usb.location().empty());

    other.USB_bulk_close();
    TUsbBulk holder{simulatedUsb(), {}, [](int) {}};
    holder.pinLocation(second);
    ASSERT_EQ(holder.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                               kProgrammerProduct),
              1);
    EXPECT_EQ(open(), 0); // its own is held: nothing, not the free first programmer
    EXPECT_FALSE(usb.isOpen());
    usb.pinLocation({});
    ASSERT_EQ(open(), 1); // unpinned, the walk takes the free one
    EXPECT_EQ(usb.location(), first);
    usb.USB_bulk_close();
    holder.USB_bulk_close();
}
