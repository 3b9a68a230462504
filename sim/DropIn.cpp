// The drop-in libusb-0.1.so.4: the libusb 0.1 calls under their own names, served by
// a simulator that takes its scenario from the file named by KORVAT_SIM and sets
// itself up again whenever that file changes, so chips can be swapped while a program
// runs. Without the variable (or file) it presents the programmer with its default chip.

#include "Scenario.h"
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

} // extern "C"
