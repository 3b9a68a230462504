// The core's own run-time binding of libusb 0.1, run by CTest with the simulator's
// drop-in library first on the library path: it must find the simulated programmer by
// the real library's name and talk to it.
#include "link/UsbApi.h"
#include "link/Usbbulk.h"

#include <gtest/gtest.h>

using namespace korvat;

TEST(DropInBinding, CoreFindsTheSimulatedProgrammerThroughTheDropIn) {
    TUsbBulk usb(UsbApi::load(), {}, [](int) {});
    ASSERT_EQ(usb.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                            kProgrammerProduct),
              1);
    char block[64] = {0, 12};
    EXPECT_EQ(usb.USB_bulk_cmd(block, 64, 1), 64);
    EXPECT_STREQ(block + 51, "KV2000001");
    usb.USB_bulk_close();
}
