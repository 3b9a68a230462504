#pragma once
// The simulated HID side as hidapi shows it: decoy HID devices and, while it runs, the
// programmer's boot loader, with a log of what the host did with them.

#include <cstdint>
#include <hidapi/hidapi.h>
#include <memory>
#include <string>
#include <vector>

namespace ksim {

class BootLoader;
class Simulator;
struct HidDevice;

// HID devices listed before the boot loader, so the host meets them first.
enum class HidDecoy {
    OpenFails,          // the boot loader's ids; opening it fails
    StringFails,        // the boot loader's ids; reading its strings fails
    ProductStringFails, // the boot loader's ids and maker; reading its product string fails
    OtherIds,           // another product id
    OtherManufacturer,  // the boot loader's ids, another manufacturer string
    WideStrings,        // the boot loader's ids, a manufacturer string with a unit above 0xFF
};

struct HidLogEntry {
    enum Kind { Enumerate, Open, Close, Write, Read, SendFeature, GetFeature, String };
    Kind kind;
    // 0 the boot loader, decoys from 1 in the order they were added; -1 for an
    // enumeration or a path that names no device.
    int device;
    std::vector<std::uint8_t> data; // bytes written or read (when the log keeps data)
    // The call's result; for an enumeration the number of devices listed.
    int result;
    int timeout = 0; // milliseconds the host allowed a read
};

class HidBus {
public:
    HidBus(Simulator &sim, BootLoader &bootLoader);
    ~HidBus();
    HidBus(const HidBus &) = delete;
    HidBus &operator=(const HidBus &) = delete;

    void addDecoy(HidDecoy decoy);
    const std::vector<HidLogEntry> &log() const { return m_log; }
    void clearLog() { m_log.clear(); }
    int openHandles() const { return static_cast<int>(m_handles.size()); }

    // The hidapi calls.
    int init() { return 0; }
    int exit() { return 0; }
    hid_device_info *enumerate(unsigned short vendorId, unsigned short productId);
    // Plain heap memory, so a list can be freed whichever simulator made it.
    static void freeEnumeration(hid_device_info *devs);
    hid_device *open(unsigned short vendorId, unsigned short productId,
                     const wchar_t *serialNumber);
    hid_device *openPath(const char *path);
    int write(hid_device *dev, const unsigned char *data, size_t length);
    int readTimeout(hid_device *dev, unsigned char *data, size_t length, int milliseconds);
    int read(hid_device *dev, unsigned char *data, size_t length);
    int setNonblocking(hid_device *dev, int nonblock);
    int sendFeatureReport(hid_device *dev, const unsigned char *data, size_t length);
    int getFeatureReport(hid_device *dev, unsigned char *data, size_t length);
    void close(hid_device *dev);
    int getManufacturerString(hid_device *dev, wchar_t *string, size_t maxlen);
    int getProductString(hid_device *dev, wchar_t *string, size_t maxlen);
    int getSerialNumberString(hid_device *dev, wchar_t *string, size_t maxlen);
    const wchar_t *error(hid_device *dev);

private:
    // The devices on the bus now, in enumeration order.
    std::vector<HidDevice *> listed() const;
    bool present(const HidDevice &device) const;
    // The device behind an open handle, or null (with the error set) for a handle this
    // bus never gave out or has closed.
    HidDevice *deviceOf(hid_device *dev);
    // False when the handle's device has left the bus (the boot loader after LEAVE, or
    // a handle from one of its earlier appearances).
    bool reachable(const hid_device &handle) const;
    int fail(hid_device *dev, const std::wstring &text);
    int string(hid_device *dev, const std::wstring *text, wchar_t *out, size_t maxlen);
    void record(HidLogEntry::Kind kind, int device, const void *data, int size, int result,
                int timeout = 0);

    Simulator &m_sim;
    BootLoader &m_bootLoader;
    std::vector<std::unique_ptr<HidDevice>> m_devices; // the boot loader first
    std::vector<std::unique_ptr<hid_device>> m_handles;
    std::vector<HidLogEntry> m_log;
    std::wstring m_error = L"Success";
};

} // namespace ksim
