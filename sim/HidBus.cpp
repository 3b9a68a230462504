#include "HidBus.h"

#include "BootLoader.h"
#include "Simulator.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <thread>

namespace ksim {

struct HidDevice {
    int number; // 0 the boot loader, decoys from 1
    bool bootLoader = false;
    unsigned short vendor = BootLoader::kVendorId;
    unsigned short product = BootLoader::kProductId;
    std::wstring manufacturer = BootLoader::kManufacturer;
    std::wstring productName = BootLoader::kProduct;
    bool openFails = false;
    bool stringFails = false;        // both strings fail
    bool productStringFails = false; // the manufacturer string reads, the product's fails

    std::string path() const { return "/dev/hidraw" + std::to_string(number); }
};

} // namespace ksim

// hidapi leaves its device handle opaque; this is the simulator's.
struct hid_device_ {
    ksim::HidDevice *device;
    int appearance; // the boot loader's appearance it was opened on
    bool nonblocking = false;
    std::wstring error = L"Success";
};

namespace ksim {
namespace {

wchar_t *copyWide(const std::wstring &text) {
    auto *out = static_cast<wchar_t *>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    std::wmemcpy(out, text.c_str(), text.size() + 1);
    return out;
}

std::wstring widen(const std::string &text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace

HidBus::HidBus(Simulator &sim, BootLoader &bootLoader) : m_sim(sim), m_bootLoader(bootLoader) {
    auto device = std::make_unique<HidDevice>();
    device->number = 0;
    device->bootLoader = true;
    m_devices.push_back(std::move(device));
}

HidBus::~HidBus() = default;

void HidBus::addDecoy(HidDecoy decoy) {
    auto device = std::make_unique<HidDevice>();
    device->number = static_cast<int>(m_devices.size());
    switch (decoy) {
    case HidDecoy::OpenFails:
        device->openFails = true;
        break;
    case HidDecoy::StringFails:
        device->stringFails = true;
        break;
    case HidDecoy::ProductStringFails:
        device->productStringFails = true;
        break;
    case HidDecoy::OtherIds:
        device->product = BootLoader::kProductId + 1;
        break;
    case HidDecoy::OtherManufacturer:
        device->manufacturer = L"Another Maker";
        break;
    case HidDecoy::WideStrings:
        device->manufacturer = std::wstring(BootLoader::kManufacturer) + L"\u4E2D";
        break;
    }
    m_devices.push_back(std::move(device));
}

bool HidBus::present(const HidDevice &device) const {
    return !device.bootLoader || m_bootLoader.present();
}

std::vector<HidDevice *> HidBus::listed() const {
    std::vector<HidDevice *> out;
    for (std::size_t i = 1; i < m_devices.size(); ++i)
        out.push_back(m_devices[i].get());
    if (present(*m_devices.front()))
        out.push_back(m_devices.front().get());
    return out;
}

void HidBus::record(HidLogEntry::Kind kind, int device, const void *data, int size, int result,
                    int timeout) {
    HidLogEntry e{kind, device, {}, result, timeout};
    if (m_sim.logData && data && size > 0) {
        const auto *p = static_cast<const std::uint8_t *>(data);
        e.data.assign(p, p + size);
    }
    m_log.push_back(std::move(e));
    if (!m_sim.logFile.empty()) {
        // One line per call, as the USB side writes its own: "hid write 0 cmd 2 pages 13",
        // "hid read 0 timeout 500 result 64".
        static const char *const kNames[] = {"enumerate", "open",         "close",       "write",
                                             "read",      "send-feature", "get-feature", "string"};
        const auto *p = static_cast<const std::uint8_t *>(data);
        std::ofstream out(m_sim.logFile, std::ios::app);
        out << "hid " << kNames[kind] << ' ' << device;
        if (kind == HidLogEntry::Write && p && size > 6) {
            out << " cmd " << int(p[1]);
            if (p[1] == kBootErase)
                out << " pages " << int(p[6]);
        }
        if (kind == HidLogEntry::Read)
            out << " timeout " << timeout << " result " << result;
        out << '\n';
    }
}

hid_device_info *HidBus::enumerate(unsigned short vendorId, unsigned short productId) {
    m_bootLoader.search();
    hid_device_info *head = nullptr;
    hid_device_info **tail = &head;
    int count = 0;
    for (const HidDevice *d : listed()) {
        if ((vendorId && vendorId != d->vendor) || (productId && productId != d->product))
            continue;
        auto *info = static_cast<hid_device_info *>(std::calloc(1, sizeof(hid_device_info)));
        info->path = strdup(d->path().c_str());
        info->vendor_id = d->vendor;
        info->product_id = d->product;
        info->serial_number = copyWide(L"");
        info->release_number = 0x0100;
        info->manufacturer_string = copyWide(d->manufacturer);
        info->product_string = copyWide(d->productName);
        info->usage_page = 0xFF00; // vendor-defined
        info->usage = 0x0001;
        info->interface_number = 0;
        info->bus_type = HID_API_BUS_USB;
        *tail = info;
        tail = &info->next;
        ++count;
    }
    m_error = head ? L"Success" : L"No HID devices with requested VID/PID found in the system.";
    record(HidLogEntry::Enumerate, -1, nullptr, 0, count);
    return head;
}

void HidBus::freeEnumeration(hid_device_info *devs) {
    while (devs) {
        hid_device_info *next = devs->next;
        std::free(devs->path);
        std::free(devs->serial_number);
        std::free(devs->manufacturer_string);
        std::free(devs->product_string);
        std::free(devs);
        devs = next;
    }
}

hid_device *HidBus::open(unsigned short vendorId, unsigned short productId,
                         const wchar_t *serialNumber) {
    hid_device_info *devs = enumerate(vendorId, productId);
    std::string path;
    for (const hid_device_info *d = devs; d && path.empty(); d = d->next)
        if (!serialNumber || std::wcscmp(serialNumber, d->serial_number) == 0)
            path = d->path;
    freeEnumeration(devs);
    if (path.empty()) {
        m_error = L"Device with requested VID/PID/(SerialNumber) not found";
        return nullptr;
    }
    return openPath(path.c_str());
}

hid_device *HidBus::openPath(const char *path) {
    HidDevice *device = nullptr;
    for (HidDevice *d : listed())
        if (path && d->path() == path)
            device = d;
    if (!device) {
        m_error = L"No such device";
        record(HidLogEntry::Open, -1, path, path ? static_cast<int>(std::strlen(path)) : 0, -1);
        return nullptr;
    }
    if (device->openFails) {
        m_error = L"Permission denied";
        record(HidLogEntry::Open, device->number, nullptr, 0, -1);
        return nullptr;
    }
    if (device->bootLoader)
        m_bootLoader.opened();
    m_handles.push_back(
        std::unique_ptr<hid_device>(new hid_device{device, m_bootLoader.appearance()}));
    m_error = L"Success";
    record(HidLogEntry::Open, device->number, nullptr, 0, 0);
    return m_handles.back().get();
}

HidDevice *HidBus::deviceOf(hid_device *dev) {
    for (const auto &h : m_handles)
        if (h.get() == dev)
            return dev->device;
    m_error = L"Invalid device handle";
    return nullptr;
}

bool HidBus::reachable(const hid_device &handle) const {
    return !handle.device->bootLoader ||
           (m_bootLoader.present() && handle.appearance == m_bootLoader.appearance());
}

int HidBus::fail(hid_device *dev, const std::wstring &text) {
    dev->error = text;
    return -1;
}

int HidBus::write(hid_device *dev, const unsigned char *data, size_t length) {
    HidDevice *d = deviceOf(dev);
    if (!d)
        return -1;
    int result = static_cast<int>(length);
    if (!reachable(*dev))
        result = fail(dev, L"Device disconnected");
    else if (!data)
        result = fail(dev, L"No data");
    else if (d->bootLoader && (result = m_bootLoader.write({data, length})) < 0)
        fail(dev, widen(m_bootLoader.lastError()));
    if (result >= 0)
        dev->error = L"Success";
    record(HidLogEntry::Write, d->number, data, data ? static_cast<int>(length) : 0, result);
    return result;
}

int HidBus::readTimeout(hid_device *dev, unsigned char *data, size_t length, int milliseconds) {
    HidDevice *d = deviceOf(dev);
    if (!d)
        return -1;
    int result = 0; // a decoy never sends anything
    if (!reachable(*dev))
        result = fail(dev, L"Device disconnected");
    else if (!data)
        result = fail(dev, L"No buffer");
    else if (d->bootLoader && (result = m_bootLoader.read({data, length})) < 0)
        fail(dev, widen(m_bootLoader.lastError()));
    if (result >= 0)
        dev->error = L"Success";
    // Nothing arrived: a realistic host waits out its time-out; an endless wait cannot
    // end in a simulator that only acts when called, so it comes back at once.
    if (result == 0 && m_sim.realisticTiming && milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    record(HidLogEntry::Read, d->number, data, std::max(result, 0), result, milliseconds);
    return result;
}

int HidBus::read(hid_device *dev, unsigned char *data, size_t length) {
    if (!deviceOf(dev))
        return -1;
    return readTimeout(dev, data, length, dev->nonblocking ? 0 : -1);
}

int HidBus::setNonblocking(hid_device *dev, int nonblock) {
    if (!deviceOf(dev))
        return -1;
    dev->nonblocking = nonblock != 0;
    return 0;
}

int HidBus::sendFeatureReport(hid_device *dev, const unsigned char *data, size_t length) {
    HidDevice *d = deviceOf(dev);
    if (!d)
        return -1;
    const int result =
        fail(dev, reachable(*dev) ? L"The device has no feature reports" : L"Device disconnected");
    record(HidLogEntry::SendFeature, d->number, data, data ? static_cast<int>(length) : 0, result);
    return result;
}

int HidBus::getFeatureReport(hid_device *dev, unsigned char *, size_t) {
    HidDevice *d = deviceOf(dev);
    if (!d)
        return -1;
    const int result =
        fail(dev, reachable(*dev) ? L"The device has no feature reports" : L"Device disconnected");
    record(HidLogEntry::GetFeature, d->number, nullptr, 0, result);
    return result;
}

void HidBus::close(hid_device *dev) {
    auto it = std::find_if(m_handles.begin(), m_handles.end(),
                           [dev](const auto &h) { return h.get() == dev; });
    if (it == m_handles.end())
        return;
    record(HidLogEntry::Close, dev->device->number, nullptr, 0, 0);
    m_handles.erase(it);
}

int HidBus::string(hid_device *dev, const std::wstring *text, wchar_t *out, size_t maxlen) {
    HidDevice *d = deviceOf(dev);
    if (!d)
        return -1;
    int result = 0;
    if (!reachable(*dev))
        result = fail(dev, L"Device disconnected");
    else if (!out || maxlen == 0)
        result = fail(dev, L"No room for the string");
    else if (d->stringFails || (d->productStringFails && text == &d->productName))
        result = fail(dev, L"String request failed");
    if (result == 0) {
        const std::size_t units = std::min(text->size(), maxlen - 1);
        std::wmemcpy(out, text->c_str(), units);
        out[units] = L'\0';
        dev->error = L"Success";
    }
    record(HidLogEntry::String, d->number, nullptr, 0, result);
    return result;
}

int HidBus::getManufacturerString(hid_device *dev, wchar_t *string, size_t maxlen) {
    const HidDevice *d = deviceOf(dev);
    return d ? this->string(dev, &d->manufacturer, string, maxlen) : -1;
}

int HidBus::getProductString(hid_device *dev, wchar_t *string, size_t maxlen) {
    const HidDevice *d = deviceOf(dev);
    return d ? this->string(dev, &d->productName, string, maxlen) : -1;
}

int HidBus::getSerialNumberString(hid_device *dev, wchar_t *string, size_t maxlen) {
    static const std::wstring kNone; // the boot loader has no serial number
    return deviceOf(dev) ? this->string(dev, &kNone, string, maxlen) : -1;
}

const wchar_t *HidBus::error(hid_device *dev) {
    if (!dev)
        return m_error.c_str();
    for (const auto &h : m_handles)
        if (h.get() == dev)
            return dev->error.c_str();
    return m_error.c_str();
}

} // namespace ksim
