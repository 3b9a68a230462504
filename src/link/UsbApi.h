#pragma once
// The twelve libusb 0.1 calls the transport uses, as a table of function pointers, so
// the real library can be bound at run time and a simulator can stand in for it.

#include <memory>
#include <usb.h>

namespace korvat {

struct UsbApi {
    void (*init)();
    int (*findBusses)();
    int (*findDevices)();
    usb_bus *(*getBusses)();
    usb_dev_handle *(*open)(struct usb_device *);
    int (*close)(usb_dev_handle *);
    int (*controlMsg)(usb_dev_handle *, int requestType, int request, int value, int index,
                      char *bytes, int size, int timeout);
    int (*claimInterface)(usb_dev_handle *, int);
    int (*releaseInterface)(usb_dev_handle *, int);
    int (*bulkWrite)(usb_dev_handle *, int ep, const char *bytes, int size, int timeout);
    int (*bulkRead)(usb_dev_handle *, int ep, char *bytes, int size, int timeout);
    char *(*strerror)();

    std::shared_ptr<void> library; // keeps the loaded library while a table uses it

    // Every call failing as with no library: integer calls -2, pointers none.
    static UsbApi unavailable();
    // Binds the calls from the named library; a missing library or symbol leaves that
    // call failing as in unavailable().
    static UsbApi load(const char *libraryName = "libusb-0.1.so.4");
};

} // namespace korvat
