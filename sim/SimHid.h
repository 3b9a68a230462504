#pragma once
// The hidapi calls as free functions with the library's own signatures, served by the
// active Simulator's HID side (the boot loader and any HID decoys). Tests put them in a
// call table; the drop-in library exports them under the library's names.

#include <cstddef>
#include <hidapi/hidapi.h>

namespace ksim::hid {

int init();
int exit();
hid_device_info *enumerate(unsigned short vendorId, unsigned short productId);
void freeEnumeration(hid_device_info *devs);
hid_device *open(unsigned short vendorId, unsigned short productId, const wchar_t *serialNumber);
hid_device *openPath(const char *path);
int write(hid_device *dev, const unsigned char *data, size_t length);
int readTimeout(hid_device *dev, unsigned char *data, size_t length, int milliseconds);
int read(hid_device *dev, unsigned char *data, size_t length);
int setNonblocking(hid_device *dev, int nonblock);
int sendFeatureReport(hid_device *dev, const unsigned char *data, size_t length);
int getFeatureReport(hid_device *dev, unsigned char *data, size_t length);
void close(hid_device *dev);
int getManufacturerString(hid_device *dev, wchar_t *string, size_t maxlen);
int getProductString(hid_device *dev, wchar_t *string, size_t maxlen);
int getSerialNumberString(hid_device *dev, wchar_t *string, size_t maxlen);
const wchar_t *error(hid_device *dev);

} // namespace ksim::hid
