#include "link/UsbApi.h"
#include "SimBinding.h"
#include "link/Usbbulk.h"

#include <gtest/gtest.h>

using namespace korvat;

TEST(UsbApi, MissingLibraryFailsEveryCall) {
    const UsbApi api = UsbApi::load("libkorvat-no-such-library.so.4");
    EXPECT_EQ(api.library, nullptr);
    api.init();
    EXPECT_EQ(api.findBusses(), -2);
    EXPECT_EQ(api.findDevices(), -2);
    EXPECT_EQ(api.getBusses(), nullptr);
    EXPECT_EQ(api.open(nullptr), nullptr);
    EXPECT_EQ(api.claimInterface(nullptr, 0), -2);
    EXPECT_EQ(api.bulkWrite(nullptr, 1, nullptr, 0, 0), -2);
    EXPECT_EQ(api.bulkRead(nullptr, 1, nullptr, 0, 0), -2);
    EXPECT_EQ(api.controlMsg(nullptr, 0, 0, 0, 0, nullptr, 0, 0), -2);
    EXPECT_NE(api.strerror(), nullptr);
}

TEST(UsbApi, MissingLibraryBehavesLikeAnAbsentProgrammer) {
    std::vector<std::string> diag;
    std::vector<int> pauses;
    TUsbBulk usb(
        UsbApi::load("libkorvat-no-such-library.so.4"),
        [&](const std::string &l) { diag.push_back(l); }, [&](int ms) { pauses.push_back(ms); });
    EXPECT_EQ(usb.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                            kProgrammerProduct),
              0);
    EXPECT_FALSE(usb.isOpen());
    ASSERT_EQ(diag.size(), 1u);
    EXPECT_EQ(diag[0].rfind("Could not find USB device", 0), 0u);
    char block[64] = {};
    EXPECT_EQ(usb.USB_bulk_cmd(block, 64, 1), kNoDevice);
    EXPECT_EQ(pauses.size(), 1u);
}
