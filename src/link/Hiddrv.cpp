#include "Hiddrv.h"

namespace korvat {
namespace {

// The strings are read into 512 bytes' worth of 16-bit units.
constexpr std::size_t kStringUnits = 256;

} // namespace

std::string hidText(const wchar_t *text) {
    std::string out;
    for (; text && *text; ++text)
        out += static_cast<std::uint32_t>(*text) < 0x100 ? static_cast<char>(*text) : '?';
    return out;
}

CUsbhid::CUsbhid(HidApi api, int readTimeoutMs)
    : m_api(std::move(api)), m_readTimeoutMs(readTimeoutMs) {}

CUsbhid::~CUsbhid() {
    CloseDevice();
}

std::optional<bool> CUsbhid::stringIs(hid_device *device, StringCall call, const char *expected) {
    wchar_t text[kStringUnits] = {};
    if (call(device, text, kStringUnits) != 0)
        return std::nullopt;
    return hidText(text) == expected;
}

int CUsbhid::OpenDevice(int vendorId, const char *manufacturer, int productId,
                        const char *product) {
    CloseDevice();
    m_api.init();
    hid_device_info *const devices = m_api.enumerate(0, 0);
    int code = kHidNoMatch;
    for (const hid_device_info *d = devices; d && !m_handle; d = d->next) {
        hid_device *candidate = m_api.openPath(d->path);
        if (!candidate) {
            code = kHidOpenFailed;
            continue;
        }
        if (d->vendor_id == vendorId && d->product_id == productId) {
            code = kHidNoMatch;
            bool match = !manufacturer || !product;
            if (!match) {
                const auto maker = stringIs(candidate, m_api.getManufacturerString, manufacturer);
                const auto name = maker && *maker
                                      ? stringIs(candidate, m_api.getProductString, product)
                                      : std::optional<bool>(false);
                if (!maker || !name)
                    code = kHidStringFailed;
                match = name.value_or(false);
            }
            if (match) {
                m_handle = candidate;
                continue;
            }
        }
        m_api.close(candidate);
    }
    m_api.freeEnumeration(devices);
    return m_handle ? 0 : code;
}

bool CUsbhid::WriteReport(int kind, const std::uint8_t *buffer, int length) {
    if (!m_handle || length <= 0)
        return false;
    const auto size = static_cast<std::size_t>(length);
    if (kind == kOutputReport)
        return m_api.write(m_handle, buffer, size) == length;
    if (kind == kFeatureReport)
        return m_api.sendFeatureReport(m_handle, buffer, size) == length;
    return false;
}

bool CUsbhid::ReadReport(int kind, std::uint8_t *buffer, int length) {
    return ReadReport(kind, buffer, length, m_readTimeoutMs);
}

bool CUsbhid::ReadReport(int kind, std::uint8_t *buffer, int length, int timeoutMs) {
    if (!m_handle || length <= 0)
        return false;
    const auto size = static_cast<std::size_t>(length);
    if (kind == kInputReport)
        return m_api.readTimeout(m_handle, buffer, size, timeoutMs) > 0;
    if (kind == kFeatureReport)
        return m_api.getFeatureReport(m_handle, buffer, size) > 0;
    return false;
}

CUsbhid::Read CUsbhid::ReadInputReport(std::uint8_t *buffer, int length, int timeoutMs) {
    if (!m_handle || length <= 0)
        return Read::Failed;
    const int got =
        m_api.readTimeout(m_handle, buffer, static_cast<std::size_t>(length), timeoutMs);
    return got > 0 ? Read::Report : got == 0 ? Read::NotYet : Read::Failed;
}

void CUsbhid::CloseDevice() {
    if (m_handle)
        m_api.close(m_handle);
    m_handle = nullptr;
}

} // namespace korvat
