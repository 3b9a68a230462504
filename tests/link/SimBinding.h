#pragma once
// The in-process simulator as the USB call table the transport runs on.

#include "SimHid.h"
#include "SimUsb.h"
#include "Simulator.h"
#include "link/HidApi.h"
#include "link/UsbApi.h"

#include <string>
#include <vector>

namespace korvat::test {

inline UsbApi simulatedUsb() {
    namespace u = ksim::usb;
    return {u::init,       u::findBusses,     u::findDevices,
            u::getBusses,  u::open,           u::close,
            u::controlMsg, u::claimInterface, u::releaseInterface,
            u::bulkWrite,  u::bulkRead,       u::strerror,
            nullptr};
}

// The simulated HID side (the boot loader and HID decoys) as the hidapi call table.
inline HidApi simulatedHid() {
    namespace h = ksim::hid;
    return {h::init,
            h::enumerate,
            h::freeEnumeration,
            h::openPath,
            h::write,
            h::readTimeout,
            h::sendFeatureReport,
            h::getFeatureReport,
            h::close,
            h::getManufacturerString,
            h::getProductString,
            nullptr};
}

// A simulator made active for the lifetime of a test.
struct ActiveSimulator : ksim::Simulator {
    ActiveSimulator() { activate(this); }
    ~ActiveSimulator() { activate(nullptr); }
};

// Only the bulk transfers of a log, as (kind, endpoint, bytes).
inline std::vector<ksim::LogEntry> bulkOnly(const std::vector<ksim::LogEntry> &log) {
    std::vector<ksim::LogEntry> out;
    for (const auto &e : log)
        if (e.kind == ksim::LogEntry::BulkOut || e.kind == ksim::LogEntry::BulkIn)
            out.push_back(e);
    return out;
}

} // namespace korvat::test
