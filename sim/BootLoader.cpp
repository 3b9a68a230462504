#include "BootLoader.h"

#include "Simulator.h"

#include <algorithm>
#include <thread>

namespace ksim {
namespace {

std::uint32_t get32(const std::vector<std::uint8_t> &b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

void put32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

void BootLoader::beginSession() {
    m_queue.clear();
    m_error.clear();
    m_reports.clear();
    m_firmware.clear();
    m_eraseAddress = 0;
    m_erasePages = 0;
    m_firmwareLength = 0;
    m_erases = 0;
    m_started = false;
    m_left = false;
    m_dataReports = 0;
    m_searches = 0;
    m_writes = 0;
    m_reads = 0;
}

void BootLoader::appear() {
    m_state = State::Present;
    ++m_appearance;
    m_queue.clear();
    m_writes = 0;
    m_reads = 0;
}

void BootLoader::restart() {
    beginSession();
    m_state = State::Waiting;
}

void BootLoader::showNow() {
    beginSession();
    m_sim.unplug();
    appear();
}

bool BootLoader::search() {
    ++m_searches;
    if (m_state == State::Waiting && appearAfterSearches > 0 && m_searches >= appearAfterSearches)
        appear();
    return present();
}

bool BootLoader::programmerReturnDue() const {
    return m_state == State::Left &&
           std::chrono::steady_clock::now() - m_leftAt >= std::chrono::milliseconds(returnDelayMs);
}

int BootLoader::fail(const char *text) {
    m_error = text;
    return -1;
}

int BootLoader::write(std::span<const std::uint8_t> report) {
    if (!present())
        return fail("device disconnected");
    ++m_writes;
    if (m_writes == failWriteAt)
        return fail("report write failed");
    if (report.size() != kBootReport)
        return fail("the boot loader takes 64-byte reports");
    if (report[0] != kBootReportId)
        return fail("the boot loader takes report id 1 only");
    if (m_sim.realisticTiming) // one report per frame of the interrupt endpoint
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    m_reports.emplace_back(report.begin(), report.end());
    const bool hung = silentAfter > 0 && static_cast<int>(m_reports.size()) > silentAfter;
    if (!hung)
        act(m_reports.back());
    return static_cast<int>(report.size());
}

void BootLoader::answer(std::vector<std::uint8_t> reply) {
    reply.resize(kBootReport);
    reply[0] = kBootReportId;
    m_queue.push_back(std::move(reply));
}

void BootLoader::act(const std::vector<std::uint8_t> &r) {
    std::vector<std::uint8_t> reply(kBootReport, 0);
    switch (r[1]) {
    case kBootStart:
        m_started = true;
        answer(reply);
        break;
    case kBootGetAddress:
        put32(reply, 1, loadAddress);
        reply[5] = static_cast<std::uint8_t>(pageSize);
        reply[6] = static_cast<std::uint8_t>(pageSize >> 8);
        answer(reply);
        break;
    case kBootErase:
        m_eraseAddress = get32(r, 2);
        m_erasePages = r[6];
        m_firmwareLength = get32(r, 7);
        ++m_erases;
        answer(reply);
        break;
    case kBootData:
        m_firmware.insert(m_firmware.end(), r.begin() + 2, r.begin() + 2 + kBootDataBytes);
        ++m_dataReports;
        break;
    case kBootLeave: // off the HID bus; the programmer follows on the USB bus
        m_left = true;
        m_state = State::Left;
        m_leftAt = std::chrono::steady_clock::now();
        m_queue.clear();
        break;
    default: // unknown commands are ignored
        break;
    }
}

int BootLoader::read(std::span<std::uint8_t> out) {
    if (!present())
        return fail("device disconnected");
    ++m_reads;
    if (m_reads == failReadAt)
        return fail("report read failed");
    if (m_queue.empty())
        return 0;
    const std::size_t n = std::min(out.size(), kBootReport);
    std::copy_n(m_queue.front().begin(), n, out.begin());
    m_queue.pop_front();
    return static_cast<int>(n);
}

} // namespace ksim
