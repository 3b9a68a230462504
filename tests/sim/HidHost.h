#pragma once
// A minimal host for the simulator tests: the programmer through the simulated libusb
// calls with raw command blocks, and HID devices through the simulated hidapi calls.

#include "SimHid.h"
#include "SimUsb.h"
#include "Simulator.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ksim::test {

// A simulator made active for the lifetime of a test.
struct ActiveSim : Simulator {
    ActiveSim() { activate(this); }
    ~ActiveSim() { activate(nullptr); }
};

using Block = std::array<std::uint8_t, 64>;

// Scans the USB bus and opens the programmer with its interface claimed; null when it
// is not on the bus.
inline usb_dev_handle *openProgrammer() {
    usb::findBusses();
    usb::findDevices();
    for (usb_bus *bus = usb::getBusses(); bus; bus = bus->next)
        for (struct usb_device *dev = bus->devices; dev; dev = dev->next)
            if (dev->descriptor.idVendor == 0x1FC8 && dev->descriptor.idProduct == 0x300B) {
                usb_dev_handle *h = usb::open(dev);
                if (h && usb::claimInterface(h, 0) == 0)
                    return h;
                if (h)
                    usb::close(h);
            }
    return nullptr;
}

inline void closeProgrammer(usb_dev_handle *h) {
    usb::releaseInterface(h, 0);
    usb::close(h);
}

// One command block with its 64-byte reply.
inline Block exchange(usb_dev_handle *h, std::uint8_t command) {
    Block b{};
    b[1] = command;
    usb::bulkWrite(h, 0x01, reinterpret_cast<const char *>(b.data()), 64, 1000);
    Block reply{};
    usb::bulkRead(h, 0x81, reinterpret_cast<char *>(reply.data()), 64, 1000);
    return reply;
}

// The firmware version CMD_GET_INFO reports, or "" when the programmer is not there.
inline std::string firmwareVersion() {
    usb_dev_handle *h = openProgrammer();
    if (!h)
        return "";
    const Block r = exchange(h, 12);
    closeProgrammer(h);
    std::string version(reinterpret_cast<const char *>(&r[46]), 5);
    return version.substr(0, version.find('\0'));
}

// CMD_ENTER_BOOT: the programmer restarts into its boot loader.
inline bool enterBootLoader() {
    usb_dev_handle *h = openProgrammer();
    if (!h)
        return false;
    exchange(h, 13);
    closeProgrammer(h);
    return true;
}

// One entry of an enumeration, copied out of hidapi's list.
struct Listed {
    std::string path;
    unsigned short vendor, product;
    std::wstring manufacturer, product_;
    int interfaceNumber;
    hid_bus_type bus;
};

inline std::vector<Listed> listHid(unsigned short vendor = 0, unsigned short product = 0) {
    std::vector<Listed> out;
    hid_device_info *devs = hid::enumerate(vendor, product);
    for (const hid_device_info *d = devs; d; d = d->next)
        out.push_back({d->path, d->vendor_id, d->product_id, d->manufacturer_string,
                       d->product_string, d->interface_number, d->bus_type});
    hid::freeEnumeration(devs);
    return out;
}

// Opens the boot loader: the last device with its ids and strings (decoys come first).
inline hid_device *openBootLoader() {
    const auto listed = listHid(0x28E9, 0x028B);
    for (auto it = listed.rbegin(); it != listed.rend(); ++it)
        if (it->manufacturer == L"GigaDevice" && it->product_ == L"GD32 USB IAP in FS Mode")
            return hid::openPath(it->path.c_str());
    return nullptr;
}

// A 64-byte output report: report id 1, the command, then the fields.
inline std::vector<std::uint8_t> report(std::uint8_t command,
                                        const std::vector<std::uint8_t> &fields = {}) {
    std::vector<std::uint8_t> r(64, 0);
    r[0] = 1;
    r[1] = command;
    for (std::size_t i = 0; i < fields.size() && i + 2 < r.size(); ++i)
        r[2 + i] = fields[i];
    return r;
}

inline int send(hid_device *dev, const std::vector<std::uint8_t> &r) {
    return hid::write(dev, r.data(), r.size());
}

// The next input report (empty on a time-out); result gets the call's return value.
inline std::vector<std::uint8_t> receive(hid_device *dev, int *result = nullptr) {
    std::vector<std::uint8_t> in(64, 0);
    const int n = hid::readTimeout(dev, in.data(), in.size(), 100);
    if (result)
        *result = n;
    in.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return in;
}

inline std::uint32_t le32(const std::vector<std::uint8_t> &b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline std::wstring manufacturerOf(hid_device *dev, std::size_t room = 256) {
    std::vector<wchar_t> text(room + 1, L'#');
    if (hid::getManufacturerString(dev, text.data(), room) != 0)
        return L"<failed>";
    return text.data();
}

} // namespace ksim::test
