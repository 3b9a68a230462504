#pragma once
// The simulated USB bus: the programmer (and any decoy devices) as the libusb 0.1
// interface shows them, with fault injection, an optional timing model and a log of
// every request the host made. Beside it the HID side, where the programmer's boot
// loader appears after a restart into it. Tests use it in-process; the drop-in library
// wraps it.

#include "BootLoader.h"
#include "Firmware.h"
#include "HidBus.h"

#include <memory>
#include <string>
#include <usb.h>
#include <vector>

namespace ksim {

class Device;

// What the user may do with a device's node (on a real system: its mode, owner and group).
enum class Access {
    Granted,
    Denied,   // opening it fails with EACCES, as with libusb 1.0 under libusb-compat
    ReadOnly, // it opens (libusb 0.1 falls back to reading only), but every request and
              // the claim fail with EPERM, as the kernel refuses them on such a node
};

// USB identity of a simulated device.
struct DeviceIdentity {
    std::uint16_t vendor = 0x1FC8;
    std::uint16_t product = 0x300B;
    std::u16string manufacturer = u"Korvat Electronics";
    std::u16string productName = u"VorADO1";
    std::uint8_t interfaceNumber = 0;
    bool openFails = false;
    bool claimFails = false;
    bool stringFails = false;          // string descriptor requests stall
    bool notAStringDescriptor = false; // the reply to a string request has another type
    bool noInterface = false;          // a configuration without interfaces
    Access access = Access::Granted;
    int bus = 0; // which bus of the walk the device sits on
};

enum class Decoy {
    OtherManufacturer, // same ids, another manufacturer string
    OtherProduct,      // same ids, another product string
    OtherIds,          // another product id
    WideStrings,       // a manufacturer string with a character above 0xFF
    NotAStringDescriptor,
    OpenFails,
    ClaimFails,
    StringFails,
    NoInterface,
    SecondProgrammer, // a second genuine programmer, later in the walk
};

// Faults, counted over bulk transfers from 1; 0 means never.
struct Faults {
    int unplugAtTransfer = 0;  // this and every later transfer fails: the device is gone
    int timeoutAtTransfer = 0; // this transfer times out
    int shortAtTransfer = 0;   // this transfer moves half its bytes
};

struct LogEntry {
    enum Kind { Open, Close, Control, Claim, Release, BulkOut, BulkIn };
    Kind kind;
    int device;   // index of the device in the order it was added
    int endpoint; // bulk endpoint, or the control request's wValue
    std::vector<std::uint8_t> data;
    int result;
    int timeout = 0; // milliseconds the host allowed, for transfers and control requests
    int index = 0;   // the control request's wIndex (the language of a string request)
};

class Simulator {
public:
    Simulator(); // the programmer alone, with an erased 8 MiB 25-series chip (EF4017)
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // The firmware of the n-th genuine programmer (0 = the first one added).
    Firmware &programmer(int n = 0);
    Chip &chip() { return programmer().chip(); }

    int addDevice(const DeviceIdentity &identity, bool isProgrammer);
    void addDecoy(Decoy decoy);

    // What the user may do with every genuine programmer on the bus.
    void setAccess(Access access);

    void unplug(); // the first programmer leaves the bus
    void plug();   // and comes back
    bool programmerPresent() const;
    bool bootLoaderRequested() const { return m_bootRequested; }

    // The programmer's boot loader on the HID side, and HID decoys listed before it.
    BootLoader &bootLoader() { return *m_bootLoaderDevice; }
    const BootLoader &bootLoader() const { return *m_bootLoaderDevice; }
    HidBus &hid() { return *m_hid; }
    void addHidDecoy(HidDecoy decoy) { m_hid->addDecoy(decoy); }
    const std::vector<HidLogEntry> &hidLog() const { return m_hid->log(); }

    Faults faults;
    bool realisticTiming = false;
    bool logData = true; // keep transfer bytes in the log (off for long demo runs)
    // Where the socket chip's contents are kept between programs: written at every close
    // of the programmer, so the next program that loads the scenario finds them.
    std::string keepFile;
    // The socket chip is as the keep file holds it: the next close need not write it.
    void chipKept();
    // Where every request is also written as a line of text, for programs whose log
    // the test cannot reach (the drop-in library's).
    std::string logFile;
    const std::vector<LogEntry> &log() const { return m_log; }
    void clearLog() { m_log.clear(); }
    int transferCount() const { return m_transfers; }

    // The libusb 0.1 calls.
    void init() {}
    int findBusses(); // bus scans: a programmer back from its boot loader shows up here
    int findDevices();
    usb_bus *getBusses();
    usb_dev_handle *open(struct usb_device *dev);
    int close(usb_dev_handle *handle);
    int controlMsg(usb_dev_handle *handle, int requestType, int request, int value, int index,
                   char *bytes, int size, int timeout);
    int claimInterface(usb_dev_handle *handle, int interface);
    int releaseInterface(usb_dev_handle *handle, int interface);
    int bulkWrite(usb_dev_handle *handle, int ep, const char *bytes, int size, int timeout);
    int bulkRead(usb_dev_handle *handle, int ep, char *bytes, int size, int timeout);
    char *strerror() { return m_error.data(); }

    // The simulator the free functions of SimUsb.h talk to.
    static Simulator *active();
    static void activate(Simulator *sim);

private:
    int rebuild();
    void keepChip();
    // Puts the programmer back on the bus once its boot loader has left and the return
    // delay is over, with the upgraded firmware version when an upgrade came through.
    void returnFromBootLoader();
    void powerUp(Device &device);
    Device *firstProgrammer() const;
    Device *deviceOf(usb_dev_handle *handle);
    bool claimedElsewhere(const Device &device, const usb_dev_handle *handle) const;
    std::uint64_t m_keptVersion = 0; // the chip's version the keep file holds
    int fail(int code, const char *text);
    // A request the node's access refuses: EPERM as its result and in errno.
    bool refused(const Device &device, int &result);
    // Counts a bulk transfer and applies the faults; a negative value ends it.
    int startTransfer(Device &device, int timeout);
    void record(LogEntry::Kind kind, const Device &device, int endpoint, const void *data, int size,
                int result, int timeout = 0, int index = 0);
    void pace(int bytes) const;
    int stringDescriptor(const Device &device, int index, char *bytes, int size);

    std::vector<std::unique_ptr<Device>> m_devices;
    std::vector<std::unique_ptr<usb_bus>> m_busses;
    std::vector<std::unique_ptr<usb_dev_handle>> m_handles;
    std::vector<LogEntry> m_log;
    std::string m_error;
    int m_transfers = 0;
    int m_shortOf = 0;
    bool m_bootRequested = false;
    Device *m_restarted = nullptr; // the programmer that restarted into its boot loader
    std::unique_ptr<BootLoader> m_bootLoaderDevice;
    std::unique_ptr<HidBus> m_hid;
};

} // namespace ksim
