#pragma once
// The hardware information command's two halves: the programmer's versions and serial
// number (CMD_GET_INFO), and the firmware upgrade through the USB boot loader the
// programmer restarts into (CMD_ENTER_BOOT, then HID reports).

#include "base/TextTable.h"
#include "link/CommandBlock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace korvat {

class CUsbhid;
class Connection;
class MessageSink;
class OperationHost;
class Prompter;
class TUsbBulk;

// The boot loader's HID identity.
constexpr int kBootLoaderVendorId = 0x28E9;
constexpr int kBootLoaderProductId = 0x028B;
constexpr const char *kBootLoaderManufacturer = "GigaDevice";
constexpr const char *kBootLoaderProduct = "GD32 USB IAP in FS Mode";

// Boot-loader report commands (byte 1 of a report whose byte 0 is report id 1).
constexpr std::uint8_t BL_CMD_START = 0x01;
constexpr std::uint8_t BL_CMD_ERASE = 0x02;
constexpr std::uint8_t BL_CMD_DATA = 0x03;
constexpr std::uint8_t BL_CMD_LEAVE = 0x04;
constexpr std::uint8_t BL_CMD_GET_ADDRESS = 0x05;

constexpr std::size_t kFirmwareImageSize = 0x100000; // 1 MiB of 0xFF
constexpr std::size_t kFirmwareDataOffset = 0x3000;  // the first byte sent
constexpr std::uint32_t kDefaultLoadAddress = 0x08003000;
constexpr int kReportSize = 64;
constexpr int kReportDataBytes = 62;
constexpr int kBootLoaderSearches = 500;
constexpr int kBootLoaderSearchPauseMs = 100;
constexpr int kEraseSettleMs = 100;
// The erase field carries the page count in one byte: a firmware needing more pages
// cannot be erased whole. Before the restart the boot loader's page size is not known
// yet; the check then takes the page size this programmer's boot loader reports.
constexpr std::uint32_t kMaxErasePages = 255;
constexpr std::uint32_t kExpectedPageSize = 1024;
// Every answer of the boot loader is awaited this long, but the erase's, which grows
// with the pages erased (eraseAnswerWaitMs) and is awaited in slices, the window
// handling its events between them.
constexpr int kAnswerWaitMs = 5000;
constexpr int kEraseWaitPerPageMs = 100;
constexpr int kEraseWaitSliceMs = 500;
// After LEAVE the programmer is looked for on the USB bus this many times, this far
// apart (about 10 s).
constexpr int kReturnSearches = 100;
constexpr int kReturnSearchPauseMs = 100;

// How long the answer to BL_CMD_ERASE is awaited for this many pages.
constexpr int eraseAnswerWaitMs(std::uint32_t pages) {
    return kAnswerWaitMs + kEraseWaitPerPageMs * static_cast<int>(pages);
}

struct HardwareInfo {
    std::string hardware; // at most 3 characters
    std::string firmware; // at most 5
    std::string serial;   // at most 13
};

// The three texts from a CMD_GET_INFO reply, taken as the command takes them: the
// serial number from byte 51 to the first zero (byte 64 is always zero), then byte 51
// is cleared and the firmware version read from byte 46, then byte 46 is cleared and
// the hardware version read from byte 43.
HardwareInfo takeInfo(std::array<std::uint8_t, 65> &block);

class FirmwareUpgrade {
public:
    enum class Outcome {
        Refused,      // the file cannot be sent: nothing happened (message shown)
        Declined,     // the person answered No: nothing happened
        NoBootLoader, // the programmer was asked to restart; no boot loader came (shown)
        Failed,       // the upgrade began and did not end (error box and log line)
        NotBack,      // everything was sent, the programmer did not come back (shown)
        Done,         // everything was sent and the programmer is back (log line)
    };

    // The programmer is asked through the connection; usb is the transport beneath it,
    // for finding programmers on the bus. language: the window's language index, read at
    // every use.
    FirmwareUpgrade(TUsbBulk &usb, Connection &connection, CUsbhid &hid, OperationHost &host,
                    MessageSink &loadMessages, const int &language);

    // The first half: clears the block and the reply buffer, then asks the programmer.
    // Nothing (and nothing shown) when it cannot be opened or does not answer.
    std::optional<HardwareInfo> readInfo();
    // The last readInfo opened the programmer but got no whole answer: what the window
    // shows is not this programmer's, and the window says so.
    bool infoExchangeFailed() const { return m_infoFailed; }

    // The second half, with the file chosen in the window: loads and checks it before
    // anything is sent, asks (default No) whether to go on, asks the programmer to
    // restart into its boot loader, waits for the boot loader (processing window events
    // meanwhile), sends the firmware and waits for the programmer to come back.
    Outcome upgrade(const std::string &path, Prompter &asker);
    // What the programmer reported before the restart and after it came back; nothing
    // when it did not answer.
    const std::optional<HardwareInfo> &infoBefore() const { return m_before; }
    const std::optional<HardwareInfo> &infoAfter() const { return m_after; }
    // The firmware length of the last file upgrade loaded; 0 before one.
    std::uint32_t firmwareLength() const { return m_length; }

private:
    // The block's first 64 bytes, which the commands to the programmer use.
    std::span<std::uint8_t, kBlockSize> commandBlock();

    bool m_infoFailed = false;
    std::optional<HardwareInfo> m_before, m_after;
    std::uint32_t m_length = 0;
    std::string m_loadAddress; // where the last upgrade sent the firmware, "0x08003000"
    // Why a file of this length cannot be sent; nothing when it can.
    std::optional<std::string> refusal(std::uint32_t length) const;
    bool askToGoOn(const std::string &path, std::uint32_t length, Prompter &asker);
    // Tries up to so many times, this far apart, until arrived says yes, with what is
    // awaited and the time left of the wait on show; the window's events are handled
    // between the tries.
    bool waitFor(TextName what, int tries, int pauseMs, const std::function<bool()> &arrived);
    // Says the programmer is in its boot loader, then waits for the boot loader.
    bool waitForBootLoader();
    bool bootLoaderPresent();
    // Asks each programmer on the bus for its information, up to the first that is wanted:
    // its place and information. The transport keeps the place it was pinned to.
    std::optional<std::pair<std::string, HardwareInfo>>
    walkTheBus(const std::function<bool(const HardwareInfo &)> &wanted);
    // The serial numbers of the programmers that answer on the bus now.
    std::vector<std::string> serialsOnTheBus();
    // Looks for the programmer on the bus again after LEAVE, wherever the bus put it;
    // with a serial number known, only that programmer counts, else only one whose serial
    // number is not among those that stayed on the bus (others).
    std::optional<HardwareInfo> waitForReturn(const std::string &serial,
                                              const std::vector<std::string> &others);
    // The answer to BL_CMD_ERASE, awaited as long as erasing that many pages may take.
    bool eraseAnswered(std::uint32_t pages);
    // The reports from START to LEAVE; Done when LEAVE went (the device then closed).
    Outcome send(std::span<const std::uint8_t> image, std::uint32_t length);
    // Writes the block as report [1, command, ...]; reads the answer when one comes.
    bool writeReport(std::uint8_t command);
    bool readAnswer();
    Outcome fail(std::string step, std::uint32_t sent);

    TUsbBulk &m_usb;
    Connection &m_connection;
    CUsbhid &m_hid;
    OperationHost &m_host;
    MessageSink &m_loadMessages;
    const int &m_language;
    // One block serves both commands and every report; replies come into the other.
    // Bytes not set for a use keep what was there before.
    std::array<std::uint8_t, 65> m_block{};
    std::array<std::uint8_t, kReportSize> m_reply{};
};

} // namespace korvat
