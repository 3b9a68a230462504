#pragma once
// TUsbBulk: the USB bulk transport to the programmer. It finds the programmer by its
// USB identity, claims its interface, and moves 64-byte command blocks and bulk data
// streams. It shows nothing: every outcome is a result value, and link diagnostics go
// to a callback.

#include "UsbApi.h"

#include <functional>
#include <string>
#include <vector>

namespace korvat {

// The programmer's USB identity.
constexpr int kProgrammerVendorId = 0x1FC8;
constexpr int kProgrammerProductId = 0x300B;
constexpr const char *kProgrammerManufacturer = "Korvat Electronics";
constexpr const char *kProgrammerProduct = "VorADO1";

constexpr int kBulkTimeoutMs = 5000;
constexpr int kReplyPauseMs = 50;
constexpr int kStringTimeoutMs = 1000;
constexpr int kControlTimeoutMs = 7000;
constexpr int kStringLanguage = 0x0409;
constexpr int kStringBufferSize = 256;

// Result of a transfer call made with no device open.
constexpr int kNoDevice = -19;

class TUsbBulk {
public:
    using Diagnostics = std::function<void(const std::string &line)>;
    using Pause = std::function<void(int milliseconds)>;

    // pause defaults to a real sleep; tests pass a recorder.
    explicit TUsbBulk(UsbApi api, Diagnostics diagnostics = {}, Pause pause = {});

    int prog_open(int vid, const char *manufacturer, int pid, const char *product);
    // Where every device that passes the walk's identity check (ids and both strings)
    // sits on the bus, those other programs hold included: nothing is claimed.
    std::vector<std::string> programmerLocations(int vid, const char *manufacturer, int pid,
                                                 const char *product);
    // Where the open programmer sits on the bus ("BUS/DEVICE" as the walk names them);
    // empty when none is open.
    const std::string &location() const { return m_location; }
    // Takes only the programmer at this location, so a process keeps talking to the same
    // programmer while others claim theirs and the walk's order of free programmers
    // shifts. Empty: the walk takes the first it can claim, as the window does.
    void pinLocation(std::string location) { m_pinned = std::move(location); }
    const std::string &pinnedLocation() const { return m_pinned; }
    // Where the last walk (prog_open or programmerLocations) met a device with the ids
    // that the user may not open: opening, reading its strings or claiming it was refused
    // for lack of permission (EACCES, EPERM). Such a device may well be the programmer.
    const std::vector<std::string> &deniedLocations() const { return m_denied; }
    int USB_bulk_cmd(char *buffer, int length, int readBack);
    int USB_bulk_write(char *buffer, int length);
    int USB_bulk_read(char *buffer, int length);
    void USB_bulk_close();
    int USB_transmit(unsigned char direction, unsigned char request, unsigned char *setup,
                     unsigned char *buffer, int size);
    int usbGetStringAscii(usb_dev_handle *device, int index, int langid, char *buffer,
                          int bufferLength);

    // The write result of the last USB_bulk_cmd, which returns the read's when it reads.
    int lastCommandWrite() const { return m_lastCommandWrite; }

    bool isOpen() const { return m_handle != nullptr; }
    int epIn() const { return m_epIn; }
    int epData() const { return m_epData; }
    int epCmd() const { return m_epCmd; }
    int claimedInterface() const { return m_claimedInterface; }

private:
    void diagnose(const char *format, int a = 0, int b = 0);
    void closeCandidate();
    // Reads string descriptor index of the candidate and compares it exactly.
    bool stringIs(int index, const char *expected, const char *queryFailure);
    bool tryDevice(struct usb_device *device, const char *manufacturer, const char *product);
    // Opens the candidate; a refusal for lack of permission is noted for the walk.
    bool openCandidate(struct usb_device *device);
    // Notes a failed call's result when it says the user may not use the device.
    void noteRefusal(int result);
    // Starts a walk: the library's view of the bus at this moment.
    usb_bus *scanBus();
    int transferResult(int result);

    UsbApi m_api;
    Diagnostics m_diagnostics;
    Pause m_pause;
    usb_dev_handle *m_handle = nullptr;
    std::string m_pinned;
    std::string m_location;
    std::vector<std::string> m_denied;
    bool m_refused = false; // the candidate being tried refused us for lack of permission
    int m_epIn = 0x82;
    int m_epData = 0x01;
    int m_epCmd = 0x02;
    int m_claimedInterface = 0;
    int m_lastCommandWrite = kNoDevice;
};

} // namespace korvat
