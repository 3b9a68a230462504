#pragma once
// CUsbhid: the HID transport to the programmer's boot loader. It finds a HID device by
// its ids and strings, and writes and reads whole reports (byte 0 the report id).

#include "HidApi.h"

#include <cstdint>
#include <optional>
#include <string>

namespace korvat {

// Report kinds.
constexpr int kInputReport = 1;
constexpr int kOutputReport = 2;
constexpr int kFeatureReport = 3;

// Results of OpenDevice other than 0 (open): the last failure of the search.
constexpr int kHidOpenFailed = 1;   // a device could not be opened
constexpr int kHidNoMatch = 2;      // no device matched (the ids of one did)
constexpr int kHidStringFailed = 5; // a matching device's string could not be read

// A HID string as 8-bit text: each unit below 0x100 is that byte, any other "?"; the
// text ends at the first zero unit.
std::string hidText(const wchar_t *text);

class CUsbhid {
public:
    // readTimeoutMs: how long an input report is waited for.
    explicit CUsbhid(HidApi api, int readTimeoutMs = 5000);
    ~CUsbhid();
    CUsbhid(const CUsbhid &) = delete;
    CUsbhid &operator=(const CUsbhid &) = delete;

    // Walks the present HID devices and keeps the first whose ids and strings match
    // (the ids alone when a text is null). 0 when one is open, else the last failure.
    int OpenDevice(int vendorId, const char *manufacturer, int productId, const char *product);
    // Kind 2 writes an output report, kind 3 a feature report; false for another kind,
    // with no device open, or when not all bytes went.
    bool WriteReport(int kind, const std::uint8_t *buffer, int length);
    // Kind 1 reads an input report (false when none came within the time-out), kind 3
    // gets a feature report; false for another kind or with no device open.
    bool ReadReport(int kind, std::uint8_t *buffer, int length);
    // The same with the input report awaited timeoutMs instead of the transport's own.
    bool ReadReport(int kind, std::uint8_t *buffer, int length, int timeoutMs);
    // An input report awaited timeoutMs, telling a report that has not come yet from a
    // read that failed (a device gone or in error), which no further wait mends.
    enum class Read { Report, NotYet, Failed };
    Read ReadInputReport(std::uint8_t *buffer, int length, int timeoutMs);
    void CloseDevice();

    bool isOpen() const { return m_handle != nullptr; }

private:
    // Reads one of the device's strings and compares it exactly; nothing when the read
    // failed.
    using StringCall = int (*)(hid_device *, wchar_t *, std::size_t);
    std::optional<bool> stringIs(hid_device *device, StringCall call, const char *expected);

    HidApi m_api;
    int m_readTimeoutMs;
    hid_device *m_handle = nullptr;
};

} // namespace korvat
