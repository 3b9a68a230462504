#include "SimHid.h"

#include "Simulator.h"

namespace ksim::hid {
namespace {

const wchar_t kNoSimulatorText[] = L"No simulator active";

} // namespace

// With no simulator active there are no HID devices and every call fails.
#define KSIM_CALL(expr, otherwise)                                                                 \
    do {                                                                                           \
        Simulator *sim = Simulator::active();                                                      \
        return sim ? sim->hid().expr : otherwise;                                                  \
    } while (0)

int init() {
    KSIM_CALL(init(), 0);
}
int exit() {
    KSIM_CALL(exit(), 0);
}
hid_device_info *enumerate(unsigned short vendorId, unsigned short productId) {
    KSIM_CALL(enumerate(vendorId, productId), nullptr);
}
void freeEnumeration(hid_device_info *devs) {
    HidBus::freeEnumeration(devs); // also after the simulator that made it is gone
}
hid_device *open(unsigned short vendorId, unsigned short productId, const wchar_t *serialNumber) {
    KSIM_CALL(open(vendorId, productId, serialNumber), nullptr);
}
hid_device *openPath(const char *path) {
    KSIM_CALL(openPath(path), nullptr);
}
int write(hid_device *dev, const unsigned char *data, size_t length) {
    KSIM_CALL(write(dev, data, length), -1);
}
int readTimeout(hid_device *dev, unsigned char *data, size_t length, int milliseconds) {
    KSIM_CALL(readTimeout(dev, data, length, milliseconds), -1);
}
int read(hid_device *dev, unsigned char *data, size_t length) {
    KSIM_CALL(read(dev, data, length), -1);
}
int setNonblocking(hid_device *dev, int nonblock) {
    KSIM_CALL(setNonblocking(dev, nonblock), -1);
}
int sendFeatureReport(hid_device *dev, const unsigned char *data, size_t length) {
    KSIM_CALL(sendFeatureReport(dev, data, length), -1);
}
int getFeatureReport(hid_device *dev, unsigned char *data, size_t length) {
    KSIM_CALL(getFeatureReport(dev, data, length), -1);
}
void close(hid_device *dev) {
    if (Simulator *sim = Simulator::active())
        sim->hid().close(dev);
}
int getManufacturerString(hid_device *dev, wchar_t *string, size_t maxlen) {
    KSIM_CALL(getManufacturerString(dev, string, maxlen), -1);
}
int getProductString(hid_device *dev, wchar_t *string, size_t maxlen) {
    KSIM_CALL(getProductString(dev, string, maxlen), -1);
}
int getSerialNumberString(hid_device *dev, wchar_t *string, size_t maxlen) {
    KSIM_CALL(getSerialNumberString(dev, string, maxlen), -1);
}
const wchar_t *error(hid_device *dev) {
    KSIM_CALL(error(dev), kNoSimulatorText);
}

#undef KSIM_CALL

} // namespace ksim::hid
