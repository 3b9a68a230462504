#pragma once
// The programmer's USB boot loader: after a restart into it (CMD_ENTER_BOOT) the
// programmer leaves the USB bus and this HID device takes its place. It takes 64-byte
// output reports (byte 0 the report id 1, byte 1 the command, fields least significant
// byte first), answers some of them with a 64-byte input report, and on LEAVE hands the
// bus back to the programmer, whose firmware may then report a new version.

#include <chrono>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

namespace ksim {

class Simulator;

// Commands of the boot loader's reports.
enum BootCommand : std::uint8_t {
    kBootStart = 0x01,
    kBootErase = 0x02,
    kBootData = 0x03,
    kBootLeave = 0x04,
    kBootGetAddress = 0x05,
};

constexpr std::size_t kBootReport = 64;
constexpr std::uint8_t kBootReportId = 1;
constexpr std::size_t kBootDataBytes = 62; // firmware bytes in one DATA report

class BootLoader {
public:
    static constexpr std::uint16_t kVendorId = 0x28E9;
    static constexpr std::uint16_t kProductId = 0x028B;
    static constexpr const wchar_t *kManufacturer = L"GigaDevice";
    static constexpr const wchar_t *kProduct = L"GD32 USB IAP in FS Mode";

    enum class State {
        Off,     // the programmer runs its normal firmware
        Waiting, // restarted, not yet seen by enough searches
        Present, // on the HID bus
        Left,    // gone after LEAVE; the programmer returns after returnDelayMs
    };

    explicit BootLoader(Simulator &owner) : m_sim(owner) {}

    // Settings.
    int appearAfterSearches = 1; // the search that first lists it; 0: it never appears
    std::uint32_t loadAddress = 0x08003000;
    std::uint16_t pageSize = 1024;
    int returnDelayMs = 0; // 0: the programmer is back at the next USB bus scan
    // The firmware version CMD_GET_INFO reports once an upgrade (at least one DATA
    // report) ended with LEAVE; empty: the version stays.
    std::string upgradedFirmwareVersion;
    // Faults, counted from 1 since it appeared; 0 means never.
    int failWriteAt = 0; // this report write fails
    int failReadAt = 0;  // this report read fails (what is queued stays for that handle)
    int silentAfter = 0; // after this many reports it hangs: later ones are taken but
                         // neither acted on nor answered

    // Life cycle.
    State state() const { return m_state; }
    bool present() const { return m_state == State::Present; }
    // The programmer restarted into the boot loader; it appears at the search
    // appearAfterSearches counts.
    void restart();
    // A programmer already in its boot loader: on the HID bus now, off the USB bus.
    void showNow();
    // One HID enumeration; true when the boot loader is on the bus for it.
    bool search();
    // LEAVE came and the return delay is over: the programmer is due on the USB bus.
    bool programmerReturnDue() const;
    // The programmer runs its normal firmware again.
    void stop() { m_state = State::Off; }
    // Changes every time it appears, so handles from an earlier appearance go stale.
    int appearance() const { return m_appearance; }
    // Opened by the host: the system's HID driver keeps one queue of input reports per
    // open file, so a new handle starts with none. (One queue here: the host keeps one
    // handle open at a time.)
    void opened() { m_queue.clear(); }

    // The host's side: a report written (its length, or -1) and a report read (its
    // length, 0 when nothing is queued, -1 on failure).
    int write(std::span<const std::uint8_t> report);
    int read(std::span<std::uint8_t> out);
    const std::string &lastError() const { return m_error; }

    // What happened since the last restart.
    const std::vector<std::vector<std::uint8_t>> &reports() const { return m_reports; }
    // The firmware bytes of the DATA reports in order, meant for eraseAddress().
    const std::vector<std::uint8_t> &firmware() const { return m_firmware; }
    std::uint32_t eraseAddress() const { return m_eraseAddress; }
    int erasePages() const { return m_erasePages; }
    std::uint32_t firmwareLength() const { return m_firmwareLength; }
    int eraseCount() const { return m_erases; }
    bool started() const { return m_started; }
    bool leaveReceived() const { return m_left; }
    int dataReports() const { return m_dataReports; }
    int searches() const { return m_searches; }
    int reportWrites() const { return m_writes; } // write calls since it appeared
    int reportReads() const { return m_reads; }   // read calls since it appeared
    std::size_t queued() const { return m_queue.size(); }

private:
    void beginSession();
    void appear();
    void act(const std::vector<std::uint8_t> &report);
    void answer(std::vector<std::uint8_t> reply);
    int fail(const char *text);

    Simulator &m_sim;
    State m_state = State::Off;
    int m_appearance = 0;
    std::chrono::steady_clock::time_point m_leftAt;
    std::deque<std::vector<std::uint8_t>> m_queue;
    std::string m_error;

    std::vector<std::vector<std::uint8_t>> m_reports;
    std::vector<std::uint8_t> m_firmware;
    std::uint32_t m_eraseAddress = 0;
    int m_erasePages = 0;
    std::uint32_t m_firmwareLength = 0;
    int m_erases = 0;
    bool m_started = false;
    bool m_left = false;
    int m_dataReports = 0;
    int m_searches = 0;
    int m_writes = 0;
    int m_reads = 0;
};

} // namespace ksim
