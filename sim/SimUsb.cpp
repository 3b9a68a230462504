#include "SimUsb.h"

#include "Simulator.h"

namespace ksim::usb {
namespace {

constexpr int kNoSimulator = -19;
char kNoSimulatorText[] = "No simulator active";

} // namespace

// With no simulator active the bus is empty.
#define KSIM_CALL(expr, otherwise)                                                                 \
    do {                                                                                           \
        Simulator *sim = Simulator::active();                                                      \
        return sim ? sim->expr : otherwise;                                                        \
    } while (0)

void init() {
    if (Simulator *sim = Simulator::active())
        sim->init();
}
int findBusses() {
    KSIM_CALL(findBusses(), 0);
}
int findDevices() {
    KSIM_CALL(findDevices(), 0);
}
usb_bus *getBusses() {
    KSIM_CALL(getBusses(), nullptr);
}
usb_dev_handle *open(struct usb_device *dev) {
    KSIM_CALL(open(dev), nullptr);
}
int close(usb_dev_handle *handle) {
    KSIM_CALL(close(handle), kNoSimulator);
}
int controlMsg(usb_dev_handle *handle, int requestType, int request, int value, int index,
               char *bytes, int size, int timeout) {
    KSIM_CALL(controlMsg(handle, requestType, request, value, index, bytes, size, timeout),
              kNoSimulator);
}
int claimInterface(usb_dev_handle *handle, int interface) {
    KSIM_CALL(claimInterface(handle, interface), kNoSimulator);
}
int releaseInterface(usb_dev_handle *handle, int interface) {
    KSIM_CALL(releaseInterface(handle, interface), kNoSimulator);
}
int bulkWrite(usb_dev_handle *handle, int ep, const char *bytes, int size, int timeout) {
    KSIM_CALL(bulkWrite(handle, ep, bytes, size, timeout), kNoSimulator);
}
int bulkRead(usb_dev_handle *handle, int ep, char *bytes, int size, int timeout) {
    KSIM_CALL(bulkRead(handle, ep, bytes, size, timeout), kNoSimulator);
}
char *strerror() {
    KSIM_CALL(strerror(), kNoSimulatorText);
}

#undef KSIM_CALL

} // namespace ksim::usb
