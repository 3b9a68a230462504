#pragma once
// The libusb 0.1 calls as free functions with the library's own signatures, served by
// the active Simulator. Tests put them in a call table; the drop-in library exports
// them under the library's names.

#include <usb.h>

namespace ksim::usb {

void init();
int findBusses();
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
char *strerror();

} // namespace ksim::usb
