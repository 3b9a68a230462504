#pragma once
// The hidapi calls the HID transport uses, as a table of function pointers, so the real
// library can be bound at run time and the simulated boot loader can stand in for it.

#include <cstddef>
#include <hidapi/hidapi.h>
#include <memory>

namespace korvat {

struct HidApi {
    int (*init)();
    hid_device_info *(*enumerate)(unsigned short vendorId, unsigned short productId);
    void (*freeEnumeration)(hid_device_info *devices);
    hid_device *(*openPath)(const char *path);
    int (*write)(hid_device *device, const unsigned char *data, std::size_t length);
    int (*readTimeout)(hid_device *device, unsigned char *data, std::size_t length,
                       int milliseconds);
    int (*sendFeatureReport)(hid_device *device, const unsigned char *data, std::size_t length);
    int (*getFeatureReport)(hid_device *device, unsigned char *data, std::size_t length);
    void (*close)(hid_device *device);
    int (*getManufacturerString)(hid_device *device, wchar_t *text, std::size_t units);
    int (*getProductString)(hid_device *device, wchar_t *text, std::size_t units);

    std::shared_ptr<void> library; // keeps the loaded library while a table uses it

    // Every call failing as with no device: no device listed, none opened, -1.
    static HidApi unavailable();
    // Binds the calls from the named library; a missing library or call leaves that
    // call failing as in unavailable(), so the boot loader is simply never found.
    static HidApi load(const char *libraryName = "libhidapi-hidraw.so.0");
};

} // namespace korvat
