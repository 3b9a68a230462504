#include "Simulator.h"

#include <cstdio>
#include <fstream>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

struct usb_dev_handle {
    ksim::Device *device;
    int claimed; // claimed interface, -1 for none
};

namespace ksim {

class Device {
public:
    Device(const DeviceIdentity &s, int number, bool isProgrammer)
        : identity(s), index(number),
          firmware(isProgrammer ? std::make_unique<Firmware>() : nullptr) {
        std::memset(&dev, 0, sizeof dev);
        std::memset(&config, 0, sizeof config);
        std::memset(&iface, 0, sizeof iface);
        std::memset(&alt, 0, sizeof alt);
        std::memset(endpoints, 0, sizeof endpoints);
        auto &d = dev.descriptor;
        d.bLength = USB_DT_DEVICE_SIZE;
        d.bDescriptorType = USB_DT_DEVICE;
        d.bcdUSB = 0x0200;
        d.bMaxPacketSize0 = 64;
        d.idVendor = identity.vendor;
        d.idProduct = identity.product;
        d.bcdDevice = 0x0100;
        d.iManufacturer = 1;
        d.iProduct = 2;
        d.iSerialNumber = 0;
        d.bNumConfigurations = 1;
        const std::uint8_t eps[3] = {0x01, 0x02, 0x81};
        for (int i = 0; i < 3; ++i) {
            endpoints[i].bLength = USB_DT_ENDPOINT_SIZE;
            endpoints[i].bDescriptorType = USB_DT_ENDPOINT;
            endpoints[i].bEndpointAddress = eps[i];
            endpoints[i].bmAttributes = USB_ENDPOINT_TYPE_BULK;
            endpoints[i].wMaxPacketSize = 64;
        }
        alt.bLength = USB_DT_INTERFACE_SIZE;
        alt.bDescriptorType = USB_DT_INTERFACE;
        alt.bInterfaceNumber = identity.interfaceNumber;
        alt.bNumEndpoints = 3;
        alt.bInterfaceClass = USB_CLASS_VENDOR_SPEC;
        alt.endpoint = endpoints;
        iface.altsetting = &alt;
        iface.num_altsetting = 1;
        config.bLength = USB_DT_CONFIG_SIZE;
        config.bDescriptorType = USB_DT_CONFIG;
        config.bNumInterfaces = identity.noInterface ? 0 : 1;
        config.bConfigurationValue = 1;
        config.interface = identity.noInterface ? nullptr : &iface;
        dev.config = &config;
        std::snprintf(dev.filename, sizeof dev.filename, "%03d", number + 1);
        dev.devnum = static_cast<std::uint8_t>(number + 1);
    }

    DeviceIdentity identity;
    int index;
    std::unique_ptr<Firmware> firmware;
    bool present = true;
    struct usb_device dev;
    usb_config_descriptor config;
    usb_interface iface;
    usb_interface_descriptor alt;
    usb_endpoint_descriptor endpoints[3];
};

namespace {

Simulator *g_active = nullptr;

constexpr int kNoDevice = -19;    // -ENODEV
constexpr int kTimedOut = -110;   // -ETIMEDOUT
constexpr int kInvalid = -22;     // -EINVAL
constexpr int kStall = -32;       // -EPIPE
constexpr int kBusy = -16;        // -EBUSY
constexpr int kNoAccess = -13;    // -EACCES
constexpr int kNotPermitted = -1; // -EPERM
constexpr int kIoError = -5;      // -EIO

constexpr std::uint8_t kCommandEp = 0x01;
constexpr std::uint8_t kDataEp = 0x02;
constexpr std::uint8_t kReplyEp = 0x81;

} // namespace

Simulator::Simulator()
    : m_error("No error"), m_bootLoaderDevice(std::make_unique<BootLoader>(*this)),
      m_hid(std::make_unique<HidBus>(*this, *m_bootLoaderDevice)) {
    addDevice(DeviceIdentity{}, true);
    rebuild();
}

Simulator::~Simulator() {
    if (g_active == this)
        g_active = nullptr;
}

Simulator *Simulator::active() {
    return g_active;
}
void Simulator::activate(Simulator *sim) {
    g_active = sim;
}

Firmware &Simulator::programmer(int n) {
    for (auto &d : m_devices)
        if (d->firmware && n-- == 0)
            return *d->firmware;
    return *m_devices.front()->firmware;
}

int Simulator::addDevice(const DeviceIdentity &identity, bool isProgrammer) {
    const int number = static_cast<int>(m_devices.size());
    m_devices.push_back(std::make_unique<Device>(identity, number, isProgrammer));
    rebuild();
    return number;
}

void Simulator::addDecoy(Decoy decoy) {
    DeviceIdentity s;
    switch (decoy) {
    case Decoy::OtherManufacturer:
        s.manufacturer = u"Another Maker";
        break;
    case Decoy::OtherProduct:
        s.productName = u"VorADO2";
        break;
    case Decoy::OtherIds:
        s.product = 0x300C;
        break;
    case Decoy::WideStrings:
        s.manufacturer = u"Korvat Electroni\u010Ds";
        break;
    case Decoy::NotAStringDescriptor:
        s.notAStringDescriptor = true;
        break;
    case Decoy::OpenFails:
        s.openFails = true;
        break;
    case Decoy::ClaimFails:
        s.claimFails = true;
        break;
    case Decoy::StringFails:
        s.stringFails = true;
        break;
    case Decoy::NoInterface:
        s.noInterface = true;
        break;
    case Decoy::SecondProgrammer:
        s.bus = 1;
        addDevice(s, true);
        programmer(1).serialNumber = "KV2000002";
        return;
    }
    // Decoys sit before the first programmer in the walk, so the host meets them first.
    const int number = static_cast<int>(m_devices.size());
    auto device = std::make_unique<Device>(s, number, false);
    auto before = std::find_if(m_devices.begin(), m_devices.end(),
                               [](const auto &d) { return d->firmware != nullptr; });
    m_devices.insert(before, std::move(device));
    rebuild();
}

Device *Simulator::firstProgrammer() const {
    for (const auto &d : m_devices)
        if (d->firmware)
            return d.get();
    return nullptr;
}

void Simulator::setAccess(Access access) {
    for (auto &d : m_devices)
        if (d->firmware)
            d->identity.access = access;
}

bool Simulator::refused(const Device &device, int &result) {
    if (device.identity.access != Access::ReadOnly)
        return false;
    result = fail(kNotPermitted, "Operation not permitted");
    errno = EPERM;
    return true;
}

void Simulator::unplug() {
    firstProgrammer()->present = false;
}

void Simulator::plug() {
    powerUp(*firstProgrammer());
}

void Simulator::powerUp(Device &device) {
    m_bootRequested = false;
    m_restarted = nullptr;
    m_bootLoaderDevice->stop();
    device.present = true;
    device.firmware->powerOn();
}

void Simulator::returnFromBootLoader() {
    BootLoader &boot = *m_bootLoaderDevice;
    if (!boot.programmerReturnDue())
        return;
    Device &device = m_restarted ? *m_restarted : *firstProgrammer();
    const bool upgraded = !boot.upgradedFirmwareVersion.empty() && boot.dataReports() > 0;
    // A device that comes back on a USB bus is enumerated afresh, with the next free
    // device number: whoever kept its old place on the bus no longer finds it there.
    int highest = 0;
    for (const auto &d : m_devices)
        highest = std::max(highest, int(d->dev.devnum));
    device.dev.devnum = static_cast<std::uint8_t>(highest + 1);
    std::snprintf(device.dev.filename, sizeof device.dev.filename, "%03d", highest + 1);
    powerUp(device);
    if (upgraded)
        device.firmware->firmwareVersion = boot.upgradedFirmwareVersion;
}

bool Simulator::programmerPresent() const {
    return firstProgrammer()->present;
}

int Simulator::rebuild() {
    int busCount = 1;
    for (const auto &d : m_devices)
        busCount = std::max(busCount, d->identity.bus + 1);
    while (static_cast<int>(m_busses.size()) < busCount) {
        auto bus = std::make_unique<usb_bus>();
        std::memset(bus.get(), 0, sizeof(usb_bus));
        std::snprintf(bus->dirname, sizeof bus->dirname, "%03zu", m_busses.size() + 1);
        bus->location = static_cast<std::uint32_t>(m_busses.size() + 1);
        m_busses.push_back(std::move(bus));
    }
    std::vector<struct usb_device *> tails(m_busses.size(), nullptr);
    for (std::size_t b = 0; b < m_busses.size(); ++b) {
        m_busses[b]->devices = nullptr;
        m_busses[b]->next = b + 1 < m_busses.size() ? m_busses[b + 1].get() : nullptr;
        m_busses[b]->prev = b > 0 ? m_busses[b - 1].get() : nullptr;
    }
    int present = 0;
    for (auto &d : m_devices) {
        struct usb_device &dev = d->dev;
        dev.next = dev.prev = nullptr;
        if (!d->present)
            continue;
        const auto b = static_cast<std::size_t>(d->identity.bus);
        dev.bus = m_busses[b].get();
        if (tails[b]) {
            tails[b]->next = &dev;
            dev.prev = tails[b];
        } else {
            m_busses[b]->devices = &dev;
        }
        tails[b] = &dev;
        ++present;
    }
    return present;
}

int Simulator::findBusses() {
    returnFromBootLoader();
    rebuild();
    return static_cast<int>(m_busses.size());
}

int Simulator::findDevices() {
    returnFromBootLoader();
    return rebuild();
}

usb_bus *Simulator::getBusses() {
    return m_busses.empty() ? nullptr : m_busses.front().get();
}

int Simulator::fail(int code, const char *text) {
    m_error = text;
    return code;
}

Device *Simulator::deviceOf(usb_dev_handle *handle) {
    for (const auto &h : m_handles)
        if (h.get() == handle)
            return handle->device;
    return nullptr;
}

void Simulator::record(LogEntry::Kind kind, const Device &device, int endpoint, const void *data,
                       int size, int result, int timeout, int index) {
    LogEntry e{kind, device.index, endpoint, {}, result, timeout, index};
    if (logData && data && size > 0) {
        const auto *p = static_cast<const std::uint8_t *>(data);
        e.data.assign(p, p + size);
    }
    m_log.push_back(std::move(e));
    if (!logFile.empty()) {
        // One line per request: what, which endpoint, and a command block's code.
        static const char *const kNames[] = {"open",    "close", "control", "claim",
                                             "release", "out",   "in"};
        const auto *p = static_cast<const std::uint8_t *>(data);
        std::ofstream out(logFile, std::ios::app);
        out << kNames[kind] << ' ' << endpoint;
        if (kind == LogEntry::BulkOut && endpoint == 0x01 && p && size > 1)
            out << " cmd " << int(p[1]);
        out << '\n';
    }
}

usb_dev_handle *Simulator::open(struct usb_device *dev) {
    auto it = std::find_if(m_devices.begin(), m_devices.end(),
                           [dev](const auto &d) { return &d->dev == dev; });
    if (it == m_devices.end() || !(*it)->present) {
        fail(kNoDevice, "No such device");
        return nullptr;
    }
    Device &device = **it;
    if (device.identity.openFails) {
        fail(kIoError, "Input/output error");
        record(LogEntry::Open, device, 0, nullptr, 0, kIoError);
        return nullptr;
    }
    if (device.identity.access == Access::Denied) {
        fail(kNoAccess, "Permission denied");
        errno = EACCES; // usb_open returns no code: errno says why
        record(LogEntry::Open, device, 0, nullptr, 0, kNoAccess);
        return nullptr;
    }
    m_handles.push_back(std::unique_ptr<usb_dev_handle>(new usb_dev_handle{&device, -1}));
    record(LogEntry::Open, device, 0, nullptr, 0, 0);
    return m_handles.back().get();
}

int Simulator::close(usb_dev_handle *handle) {
    auto it = std::find_if(m_handles.begin(), m_handles.end(),
                           [handle](const auto &h) { return h.get() == handle; });
    if (it == m_handles.end())
        return fail(kInvalid, "Invalid argument");
    record(LogEntry::Close, *handle->device, 0, nullptr, 0, 0);
    m_handles.erase(it);
    if (!keepFile.empty() && std::as_const(chip()).version() != m_keptVersion)
        keepChip();
    return 0;
}

void Simulator::keepChip() {
    const std::string staged = keepFile + ".new";
    std::ofstream out(staged, std::ios::binary | std::ios::trunc);
    const auto &memory = std::as_const(chip()).memory();
    out.write(reinterpret_cast<const char *>(memory.data()),
              static_cast<std::streamsize>(memory.size()));
    out.close();
    if (out && std::rename(staged.c_str(), keepFile.c_str()) == 0)
        chipKept();
}

void Simulator::chipKept() {
    m_keptVersion = std::as_const(chip()).version();
}

int Simulator::stringDescriptor(const Device &device, int index, char *bytes, int size) {
    std::u16string text;
    if (index == 0)
        text = u"\u0409"; // the language list: US English
    else if (index == device.dev.descriptor.iManufacturer)
        text = device.identity.manufacturer;
    else if (index == device.dev.descriptor.iProduct)
        text = device.identity.productName;
    else
        return fail(kStall, "Broken pipe");
    std::uint8_t d[256] = {};
    const std::size_t units = std::min<std::size_t>(text.size(), 126);
    d[0] = static_cast<std::uint8_t>(2 + 2 * units);
    d[1] = device.identity.notAStringDescriptor ? USB_DT_DEVICE : USB_DT_STRING;
    for (std::size_t i = 0; i < units; ++i) {
        d[2 + 2 * i] = static_cast<std::uint8_t>(text[i]);
        d[3 + 2 * i] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    const int n = std::min<int>(size, d[0]);
    std::memcpy(bytes, d, static_cast<std::size_t>(n));
    return n;
}

int Simulator::controlMsg(usb_dev_handle *handle, int requestType, int request, int value,
                          int index, char *bytes, int size, int timeout) {
    Device *device = deviceOf(handle);
    if (!device)
        return fail(kInvalid, "Invalid argument");
    int result = 0;
    if (!device->present)
        result = fail(kNoDevice, "No such device");
    else if (refused(*device, result))
        ; // the node is open for reading only
    else if (requestType == USB_ENDPOINT_IN && request == USB_REQ_GET_DESCRIPTOR &&
             (value >> 8) == USB_DT_STRING)
        result = device->identity.stringFails
                     ? fail(kStall, "Broken pipe")
                     : stringDescriptor(*device, value & 0xFF, bytes, size);
    else if ((requestType & USB_TYPE_VENDOR) == 0)
        result = fail(kStall, "Broken pipe");
    record(LogEntry::Control, *device, value, bytes, result > 0 ? result : 0, result, timeout,
           index);
    return result;
}

// Another handle holds the device's interface: the kernel lets one claim it at a time.
bool Simulator::claimedElsewhere(const Device &device, const usb_dev_handle *handle) const {
    return std::any_of(m_handles.begin(), m_handles.end(), [&](const auto &h) {
        return h.get() != handle && h->device == &device && h->claimed >= 0;
    });
}

int Simulator::claimInterface(usb_dev_handle *handle, int interface) {
    Device *device = deviceOf(handle);
    if (!device)
        return fail(kInvalid, "Invalid argument");
    int result = 0;
    if (!device->present)
        result = fail(kNoDevice, "No such device");
    else if (refused(*device, result))
        ; // the node is open for reading only
    else if (device->identity.claimFails || claimedElsewhere(*device, handle))
        result = fail(kBusy, "Device or resource busy");
    else if (device->identity.noInterface || interface != device->identity.interfaceNumber)
        result = fail(kInvalid, "Invalid argument");
    else
        handle->claimed = interface;
    record(LogEntry::Claim, *device, interface, nullptr, 0, result);
    return result;
}

int Simulator::releaseInterface(usb_dev_handle *handle, int interface) {
    Device *device = deviceOf(handle);
    if (!device)
        return fail(kInvalid, "Invalid argument");
    int result = 0;
    if (handle->claimed != interface)
        result = fail(kInvalid, "Invalid argument");
    else
        handle->claimed = -1;
    record(LogEntry::Release, *device, interface, nullptr, 0, result);
    return result;
}

void Simulator::pace(int bytes) const {
    if (realisticTiming) // full-speed bulk: about 1 MB/s and a little per transfer
        std::this_thread::sleep_for(std::chrono::microseconds(125 + bytes));
}

int Simulator::startTransfer(Device &device, int timeout) {
    ++m_transfers;
    m_shortOf = 0;
    if (faults.unplugAtTransfer > 0 && m_transfers >= faults.unplugAtTransfer && device.firmware)
        device.present = false;
    if (!device.present)
        return fail(kNoDevice, "No such device");
    if (m_transfers == faults.timeoutAtTransfer) {
        if (realisticTiming)
            std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
        return fail(kTimedOut, "Connection timed out");
    }
    if (m_transfers == faults.shortAtTransfer)
        m_shortOf = 1;
    return 0;
}

int Simulator::bulkWrite(usb_dev_handle *handle, int ep, const char *bytes, int size, int timeout) {
    Device *device = deviceOf(handle);
    if (!device)
        return fail(kInvalid, "Invalid argument");
    int result = startTransfer(*device, timeout);
    if (result == 0) {
        const int n = m_shortOf ? size / 2 : size;
        const auto *p = reinterpret_cast<const std::uint8_t *>(bytes);
        if (handle->claimed < 0 || !device->firmware)
            result = fail(kInvalid, "Invalid argument");
        else if (ep == kCommandEp)
            device->firmware->command({p, static_cast<std::size_t>(n)}), result = n;
        else if (ep == kDataEp)
            result = device->firmware->data({p, static_cast<std::size_t>(n)});
        else
            result = fail(kInvalid, "Invalid argument");
        pace(n);
    }
    record(LogEntry::BulkOut, *device, ep, bytes, result > 0 ? result : 0, result, timeout);
    return result;
}

int Simulator::bulkRead(usb_dev_handle *handle, int ep, char *bytes, int size, int timeout) {
    Device *device = deviceOf(handle);
    if (!device)
        return fail(kInvalid, "Invalid argument");
    int result = startTransfer(*device, timeout);
    if (result == 0) {
        const int n = m_shortOf ? size / 2 : size;
        if (handle->claimed < 0 || !device->firmware || ep != kReplyEp) {
            result = fail(kInvalid, "Invalid argument");
        } else {
            auto *p = reinterpret_cast<std::uint8_t *>(bytes);
            const auto got = device->firmware->read({p, static_cast<std::size_t>(n)});
            if (!got) {
                if (realisticTiming)
                    std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
                result = fail(kTimedOut, "Connection timed out");
            } else {
                result = *got;
                pace(result);
            }
            // After the reply to the restart request the programmer leaves the bus and
            // its boot loader takes its place.
            if (device->firmware->bootRequested()) {
                device->present = false;
                m_bootRequested = true;
                m_restarted = device;
                m_bootLoaderDevice->restart();
            }
        }
    }
    record(LogEntry::BulkIn, *device, ep, bytes, result > 0 ? result : 0, result, timeout);
    return result;
}

} // namespace ksim
