// The drop-in libusb-0.1.so.4: the libusb 0.1 calls and the hidapi calls under their
// own names, served by one simulator that takes its scenario from the file named by
// KORVAT_SIM and sets itself up again whenever that file changes, so chips can be
// swapped while a program runs. Without the variable (or file) it presents the
// programmer with its default chip. The build also names the file
// libhidapi-hidraw.so.0; the dynamic loader maps one file once whatever name it is
// opened by, so the programmer and its boot loader share one simulator.

#include "Scenario.h"
#include "SimHid.h"
#include "SimUsb.h"
#include "Simulator.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace {

std::unique_ptr<ksim::Simulator> g_sim;
std::string g_loadedPath;
struct timespec g_loadedTime {};
off_t g_loadedSize = -1;

bool sameStamp(const struct stat &st) {
    return st.st_mtim.tv_sec == g_loadedTime.tv_sec && st.st_mtim.tv_nsec == g_loadedTime.tv_nsec &&
           st.st_size == g_loadedSize;
}

// Sets the simulator up again when the scenario file appeared, changed or went away.
void refresh() {
    const char *env = std::getenv("KORVAT_SIM");
    const std::string path = env ? env : "";
    struct stat st {};
    const bool exists = !path.empty() && stat(path.c_str(), &st) == 0;
    if (g_sim && path == g_loadedPath && (exists ? sameStamp(st) : g_loadedSize < 0))
        return;

    auto sim = std::make_unique<ksim::Simulator>();
    sim->logData = false; // nobody reads the log here; keep memory flat on long runs
    if (exists) {
        const std::string problem = ksim::applyScenarioFile(*sim, path);
        if (!problem.empty())
            std::fprintf(stderr, "korvat-sim: %s: %s\n", path.c_str(), problem.c_str());
        g_loadedTime = st.st_mtim;
        g_loadedSize = st.st_size;
    } else {
        g_loadedSize = -1;
    }
    g_loadedPath = path;
    g_sim = std::move(sim);
    ksim::Simulator::activate(g_sim.get());
}

} // namespace

// usb.h declares the bus list variable outside its extern "C" block; a global
// variable's symbol is its plain name either way.
__attribute__((visibility("default"))) struct usb_bus *usb_busses = nullptr;

extern "C" {

__attribute__((visibility("default"))) void usb_init(void) {
    refresh();
    g_sim->clearLog();
    ksim::usb::init();
}

__attribute__((visibility("default"))) int usb_find_busses(void) {
    refresh();
    const int n = ksim::usb::findBusses();
    usb_busses = ksim::usb::getBusses();
    return n;
}

__attribute__((visibility("default"))) int usb_find_devices(void) {
    refresh();
    const int n = ksim::usb::findDevices();
    usb_busses = ksim::usb::getBusses();
    return n;
}

__attribute__((visibility("default"))) struct usb_bus *usb_get_busses(void) {
    refresh();
    return usb_busses = ksim::usb::getBusses();
}

__attribute__((visibility("default"))) usb_dev_handle *usb_open(struct usb_device *dev) {
    return ksim::usb::open(dev);
}

__attribute__((visibility("default"))) int usb_close(usb_dev_handle *dev) {
    return ksim::usb::close(dev);
}

__attribute__((visibility("default"))) int usb_control_msg(usb_dev_handle *dev, int requesttype,
                                                           int request, int value, int index,
                                                           char *bytes, int size, int timeout) {
    return ksim::usb::controlMsg(dev, requesttype, request, value, index, bytes, size, timeout);
}

__attribute__((visibility("default"))) int usb_claim_interface(usb_dev_handle *dev, int interface) {
    return ksim::usb::claimInterface(dev, interface);
}

__attribute__((visibility("default"))) int usb_release_interface(usb_dev_handle *dev,
                                                                 int interface) {
    return ksim::usb::releaseInterface(dev, interface);
}

__attribute__((visibility("default"))) int
usb_bulk_write(usb_dev_handle *dev, int ep, const char *bytes, int size, int timeout) {
    return ksim::usb::bulkWrite(dev, ep, bytes, size, timeout);
}

__attribute__((visibility("default"))) int usb_bulk_read(usb_dev_handle *dev, int ep, char *bytes,
                                                         int size, int timeout) {
    return ksim::usb::bulkRead(dev, ep, bytes, size, timeout);
}

__attribute__((visibility("default"))) char *usb_strerror(void) {
    return ksim::usb::strerror();
}

// The hidapi calls. Enumerations (and hid_open, which enumerates) are the HID side's
// bus scans: they take up a changed scenario like the libusb scans do.

__attribute__((visibility("default"))) int hid_init(void) {
    refresh();
    g_sim->hid().clearLog();
    return ksim::hid::init();
}

__attribute__((visibility("default"))) int hid_exit(void) {
    return ksim::hid::exit();
}

__attribute__((visibility("default"))) struct hid_device_info *
hid_enumerate(unsigned short vendor_id, unsigned short product_id) {
    refresh();
    return ksim::hid::enumerate(vendor_id, product_id);
}

__attribute__((visibility("default"))) void hid_free_enumeration(struct hid_device_info *devs) {
    ksim::hid::freeEnumeration(devs);
}

__attribute__((visibility("default"))) hid_device *
hid_open(unsigned short vendor_id, unsigned short product_id, const wchar_t *serial_number) {
    refresh();
    return ksim::hid::open(vendor_id, product_id, serial_number);
}

__attribute__((visibility("default"))) hid_device *hid_open_path(const char *path) {
    return ksim::hid::openPath(path);
}

__attribute__((visibility("default"))) int hid_write(hid_device *dev, const unsigned char *data,
                                                     size_t length) {
    return ksim::hid::write(dev, data, length);
}

__attribute__((visibility("default"))) int hid_read_timeout(hid_device *dev, unsigned char *data,
                                                            size_t length, int milliseconds) {
    return ksim::hid::readTimeout(dev, data, length, milliseconds);
}

__attribute__((visibility("default"))) int hid_read(hid_device *dev, unsigned char *data,
                                                    size_t length) {
    return ksim::hid::read(dev, data, length);
}

__attribute__((visibility("default"))) int hid_set_nonblocking(hid_device *dev, int nonblock) {
    return ksim::hid::setNonblocking(dev, nonblock);
}

__attribute__((visibility("default"))) int
hid_send_feature_report(hid_device *dev, const unsigned char *data, size_t length) {
    return ksim::hid::sendFeatureReport(dev, data, length);
}

__attribute__((visibility("default"))) int
hid_get_feature_report(hid_device *dev, unsigned char *data, size_t length) {
    return ksim::hid::getFeatureReport(dev, data, length);
}

__attribute__((visibility("default"))) void hid_close(hid_device *dev) {
    ksim::hid::close(dev);
}

__attribute__((visibility("default"))) int
hid_get_manufacturer_string(hid_device *dev, wchar_t *string, size_t maxlen) {
    return ksim::hid::getManufacturerString(dev, string, maxlen);
}

__attribute__((visibility("default"))) int hid_get_product_string(hid_device *dev, wchar_t *string,
                                                                  size_t maxlen) {
    return ksim::hid::getProductString(dev, string, maxlen);
}

__attribute__((visibility("default"))) int
hid_get_serial_number_string(hid_device *dev, wchar_t *string, size_t maxlen) {
    return ksim::hid::getSerialNumberString(dev, string, maxlen);
}

__attribute__((visibility("default"))) const wchar_t *hid_error(hid_device *dev) {
    return ksim::hid::error(dev);
}

} // extern "C"
