#include "Usbbulk.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace korvat {
namespace {

constexpr int kStandardDeviceToHost = 0x80;
constexpr int kGetDescriptor = 6;
constexpr int kStringDescriptor = 3;
constexpr int kVendorToDevice = 0x40;

void sleepFor(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

TUsbBulk::TUsbBulk(UsbApi api, Diagnostics diagnostics, Pause pause)
    : m_api(std::move(api)), m_diagnostics(std::move(diagnostics)),
      m_pause(pause ? std::move(pause) : Pause(sleepFor)) {}

void TUsbBulk::diagnose(const char *format, int a, int b) {
    if (!m_diagnostics)
        return;
    char line[512];
    if (std::strstr(format, "%s")) {
        const char *reason = m_api.strerror();
        std::snprintf(line, sizeof line, format, reason ? reason : "");
    } else {
        std::snprintf(line, sizeof line, format, a, b);
    }
    m_diagnostics(line);
}

void TUsbBulk::closeCandidate() {
    m_api.close(m_handle);
    m_handle = nullptr;
}

// The library gives a call's failure as -errno (libusb 0.1 and its compatibility layer
// alike); a device node the user may not open or write gives EACCES or EPERM.
void TUsbBulk::noteRefusal(int result) {
    if (result == -EACCES || result == -EPERM)
        m_refused = true;
}

bool TUsbBulk::openCandidate(struct usb_device *device) {
    errno = 0; // usb_open gives no result code: only errno tells why it failed
    m_handle = m_api.open(device);
    if (m_handle)
        return true;
    noteRefusal(-errno);
    return false;
}

usb_bus *TUsbBulk::scanBus() {
    m_denied.clear();
    m_api.init();
    m_api.findBusses();
    m_api.findDevices();
    return m_api.getBusses();
}

bool TUsbBulk::stringIs(int index, const char *expected, const char *queryFailure) {
    char text[kStringBufferSize];
    if (const int r = usbGetStringAscii(m_handle, index, kStringLanguage, text, sizeof text);
        r < 0) {
        noteRefusal(r);
        diagnose(queryFailure);
        return false;
    }
    return std::strcmp(text, expected) == 0;
}

bool TUsbBulk::tryDevice(struct usb_device *device, const char *manufacturer, const char *product) {
    if (!openCandidate(device)) {
        diagnose("Warning: cannot open USB device: %s\n");
        return false;
    }
    if (!stringIs(device->descriptor.iManufacturer, manufacturer,
                  "warning: cannot query manufacturer for device: %s\n") ||
        !stringIs(device->descriptor.iProduct, product,
                  "warning: cannot query product for device: %s\n")) {
        closeCandidate();
        return false;
    }
    // A device that reports no interface cannot be claimed; it is skipped like one
    // whose claim fails.
    const usb_config_descriptor *config = device->config;
    if (!config || config->bNumInterfaces == 0 || !config->interface ||
        config->interface[0].num_altsetting < 1 || !config->interface[0].altsetting) {
        diagnose("error writing:\n%s\n");
        closeCandidate();
        return false;
    }
    m_claimedInterface = config->interface[0].altsetting[0].bInterfaceNumber;
    if (const int r = m_api.claimInterface(m_handle, m_claimedInterface); r != 0) {
        noteRefusal(r);
        diagnose("error writing:\n%s\n");
        closeCandidate();
        return false;
    }
    if (std::strcmp(product, kProgrammerProduct) == 0) {
        m_epIn = 0x81;
        m_epData = 0x02;
        m_epCmd = 0x01;
    } else {
        m_epIn = 0x82;
        m_epData = 0x01;
        m_epCmd = 0x02;
    }
    return true;
}

int TUsbBulk::prog_open(int vid, const char *manufacturer, int pid, const char *product) {
    m_handle = nullptr;
    for (usb_bus *bus = scanBus(); bus; bus = bus->next) {
        for (struct usb_device *dev = bus->devices; dev; dev = dev->next) {
            if (dev->descriptor.idVendor != vid || dev->descriptor.idProduct != pid)
                continue;
            const std::string location = std::string(bus->dirname) + "/" + dev->filename;
            if (!m_pinned.empty() && location != m_pinned)
                continue;
            m_refused = false;
            if (tryDevice(dev, manufacturer, product)) {
                m_location = location;
                return 1;
            }
            if (m_refused)
                m_denied.push_back(location);
        }
    }
    diagnose("Could not find USB device \"ROVArad\" with vid=0x%x pid=0x%x\n", vid, pid);
    return 0;
}

std::vector<std::string> TUsbBulk::programmerLocations(int vid, const char *manufacturer, int pid,
                                                       const char *product) {
    std::vector<std::string> found;
    if (m_handle)
        return found; // the walk must not disturb an open programmer's handle
    for (usb_bus *bus = scanBus(); bus; bus = bus->next)
        for (struct usb_device *dev = bus->devices; dev; dev = dev->next) {
            if (dev->descriptor.idVendor != vid || dev->descriptor.idProduct != pid)
                continue;
            const std::string location = std::string(bus->dirname) + "/" + dev->filename;
            m_refused = false;
            if (openCandidate(dev)) {
                if (stringIs(dev->descriptor.iManufacturer, manufacturer,
                             "warning: cannot query manufacturer for device: %s\n") &&
                    stringIs(dev->descriptor.iProduct, product,
                             "warning: cannot query product for device: %s\n"))
                    found.push_back(location);
                closeCandidate();
            }
            if (m_refused)
                m_denied.push_back(location);
        }
    return found;
}

int TUsbBulk::transferResult(int result) {
    if (result < 0)
        diagnose("error writing:\n%s\n");
    return result;
}

int TUsbBulk::USB_bulk_cmd(char *buffer, int length, int readBack) {
    int result = kNoDevice;
    if (m_handle)
        result = transferResult(m_api.bulkWrite(m_handle, m_epCmd, buffer, length, kBulkTimeoutMs));
    m_lastCommandWrite = result;
    if (readBack) {
        m_pause(kReplyPauseMs);
        if (m_handle)
            result =
                transferResult(m_api.bulkRead(m_handle, m_epIn, buffer, length, kBulkTimeoutMs));
    }
    return result;
}

int TUsbBulk::USB_bulk_write(char *buffer, int length) {
    if (!m_handle)
        return kNoDevice;
    return transferResult(m_api.bulkWrite(m_handle, m_epData, buffer, length, kBulkTimeoutMs));
}

int TUsbBulk::USB_bulk_read(char *buffer, int length) {
    if (!m_handle)
        return kNoDevice;
    return transferResult(m_api.bulkRead(m_handle, m_epIn, buffer, length, kBulkTimeoutMs));
}

void TUsbBulk::USB_bulk_close() {
    if (!m_handle)
        return;
    if (m_api.releaseInterface(m_handle, m_claimedInterface) < 0)
        diagnose("error writing:\n%s\n");
    m_api.close(m_handle);
    m_handle = nullptr;
    m_location.clear();
}

int TUsbBulk::USB_transmit(unsigned char direction, unsigned char request, unsigned char *setup,
                           unsigned char *buffer, int size) {
    if (!m_handle)
        return -1;
    const int requestType = (direction << 7) | kVendorToDevice;
    const int value = setup[0] + 256 * setup[1];
    const int index = setup[2] + 256 * setup[3];
    const int r = m_api.controlMsg(m_handle, requestType, request, value, index,
                                   reinterpret_cast<char *>(buffer), size, kControlTimeoutMs);
    return r < 0 ? -1 : r;
}

int TUsbBulk::usbGetStringAscii(usb_dev_handle *device, int index, int langid, char *buffer,
                                int bufferLength) {
    unsigned char scratch[kStringBufferSize] = {};
    const int r = m_api.controlMsg(
        device, kStandardDeviceToHost, kGetDescriptor, (kStringDescriptor << 8) + index, langid,
        reinterpret_cast<char *>(scratch), sizeof scratch, kStringTimeoutMs);
    if (r < 0)
        return r;
    if (bufferLength > 0)
        buffer[0] = 0;
    if (scratch[1] != kStringDescriptor)
        return 0;
    int n = r > static_cast<int>(sizeof scratch) ? static_cast<int>(sizeof scratch) : r;
    if (scratch[0] < n)
        n = scratch[0];
    n /= 2;
    int stored = 0;
    for (int i = 1; i < n && stored < bufferLength - 1; ++i)
        buffer[stored++] = scratch[2 * i + 1] ? '?' : static_cast<char>(scratch[2 * i]);
    if (bufferLength > 0)
        buffer[stored] = 0;
    return stored;
}

} // namespace korvat
