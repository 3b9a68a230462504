#include "FirmwareUpgrade.h"

#include "Connection.h"
#include "Hiddrv.h"
#include "Usbbulk.h"
#include "base/HexText.h"
#include "base/Prompter.h"
#include "base/TextTable.h"
#include "buffers/FileIO.h"
#include "base/MessageSink.h"
#include "base/OperationHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace korvat {
namespace {

// Text from a zero-terminated run of the block.
std::string textAt(const std::array<std::uint8_t, 65> &block, std::size_t from) {
    const auto *start = reinterpret_cast<const char *>(block.data() + from);
    return std::string(start, strnlen(start, block.size() - from));
}

void put32(std::uint8_t *at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const std::uint8_t *at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

const char *commandName(std::uint8_t command) {
    switch (command) {
    case BL_CMD_START:
        return "BL_CMD_START";
    case BL_CMD_ERASE:
        return "BL_CMD_ERASE";
    case BL_CMD_DATA:
        return "BL_CMD_DATA";
    case BL_CMD_LEAVE:
        return "BL_CMD_LEAVE";
    default:
        return "BL_CMD_GET_ADDRESS";
    }
}

// Records whether the file loader showed a message, so a refusal does not add a second.
class Noticing : public MessageSink {
public:
    explicit Noticing(MessageSink &inner) : m_inner(inner) {}
    void showError(std::string_view text) override {
        shown = true;
        m_inner.showError(text);
    }
    bool shown = false;

private:
    MessageSink &m_inner;
};

} // namespace

HardwareInfo takeInfo(std::array<std::uint8_t, 65> &block) {
    HardwareInfo info;
    block[64] = 0;
    info.serial = textAt(block, 51);
    block[51] = 0;
    info.firmware = textAt(block, 46);
    block[46] = 0;
    info.hardware = textAt(block, 43);
    return info;
}

FirmwareUpgrade::FirmwareUpgrade(TUsbBulk &usb, Connection &connection, CUsbhid &hid,
                                 OperationHost &host, MessageSink &loadMessages,
                                 const int &language)
    : m_usb(usb), m_connection(connection), m_hid(hid), m_host(host),
      m_loadMessages(loadMessages), m_language(language) {}

std::span<std::uint8_t, kBlockSize> FirmwareUpgrade::commandBlock() {
    return std::span(m_block).first<kBlockSize>();
}

std::optional<HardwareInfo> FirmwareUpgrade::readInfo() {
    m_block.fill(0);
    m_reply.fill(0);
    m_infoFailed = false;
    makeGetInfo(commandBlock());
    const SingleCommand sent = m_connection.sendAlone(commandBlock());
    // Without a whole answer the block holds the command or part of a reply: its texts
    // would read as empty or wrong versions, so the window keeps what it showed.
    m_infoFailed = sent == SingleCommand::LinkFailed;
    if (sent != SingleCommand::Answered)
        return std::nullopt;
    return takeInfo(m_block);
}

std::optional<std::string> FirmwareUpgrade::refusal(std::uint32_t length) const {
    auto with = [&](TextName name, std::uint32_t first, std::uint32_t second = 0) {
        std::string t(text(name, m_language));
        replaceMark(t, "%1", std::to_string(first));
        replaceMark(t, "%2", std::to_string(second));
        return t;
    };
    // The data reports start at image offset 0x3000: a file no longer than that would
    // send nothing but 0xFF in place of the firmware.
    if (length <= kFirmwareDataOffset)
        return with(txtFirmwareTooShort, length);
    const std::size_t reports = (length + kReportDataBytes - 1) / kReportDataBytes;
    if (kFirmwareDataOffset + reports * kReportDataBytes > kFirmwareImageSize)
        return std::string(text(txtFirmwareTooLong, m_language));
    const std::uint32_t pages = (length + kExpectedPageSize - 1) / kExpectedPageSize;
    if (pages > kMaxErasePages)
        return with(txtFirmwareTooManyPages, pages, kExpectedPageSize);
    return std::nullopt;
}

bool FirmwareUpgrade::askToGoOn(const std::string &path, std::uint32_t length, Prompter &asker) {
    std::string question(text(txtAskUpgrade, m_language));
    replaceMark(question, "%1", path);
    replaceMark(question, "%2", std::to_string(length));
    replaceMark(question, "%3",
                m_before ? m_before->firmware : std::string(text(txtVersionUnknown, m_language)));
    return asker.askYesNoDefaultNo(question);
}

FirmwareUpgrade::Outcome FirmwareUpgrade::upgrade(const std::string &path, Prompter &asker) {
    m_before.reset();
    m_after.reset();
    m_length = 0;
    // The file first: a programmer restarted into its boot loader for a file that
    // cannot be sent would be left there for nothing.
    std::vector<std::uint8_t> image(kFirmwareImageSize, 0xFF);
    Noticing loader(m_loadMessages);
    const std::uint32_t length = loadFile(path, image, loader, m_language);
    if (loader.shown) // the loader said why
        return Outcome::Refused;
    if (length == 0) {
        m_host.showError(text(txtFirmwareEmpty, m_language));
        return Outcome::Refused;
    }
    if (const auto why = refusal(length)) {
        m_host.showError(*why);
        return Outcome::Refused;
    }
    m_length = length;

    // What the programmer runs now, for the question and to know it again when it comes
    // back. One already in its boot loader (an upgrade that did not finish) is not on the
    // bus: that one is upgraded, and no programmer that is on the bus is restarted.
    const bool inBootLoader = bootLoaderPresent();
    std::vector<std::string> others;
    if (inBootLoader)
        others = serialsOnTheBus();
    else
        m_before = readInfo();
    if (!askToGoOn(path, length, asker))
        return Outcome::Declined;
    // The restart's reply is not examined. A programmer that cannot be opened is sent
    // nothing; the wait below still finds a boot loader it may already be in.
    if (!inBootLoader) {
        makeEnterBoot(commandBlock());
        m_connection.sendAlone(commandBlock());
    }
    if (!waitForBootLoader()) {
        m_host.showError(text(txtNoBootLoader, m_language));
        return Outcome::NoBootLoader;
    }
    const Outcome sent = send(image, length);
    if (sent != Outcome::Done)
        return sent;
    m_after = waitForReturn(m_before ? m_before->serial : std::string(), others);
    if (!m_after) {
        m_host.showFailure(text(txtProgrammerNotBack, m_language));
        return Outcome::NotBack;
    }
    std::string done(text(txtUpgradeDone, m_language));
    replaceMark(done, "%1", std::to_string(length));
    replaceMark(done, "%2", m_loadAddress);
    replaceMark(done, "%3", m_after->firmware);
    m_host.insertLogLine(m_host.timeText() + " " + done);
    return Outcome::Done;
}

bool FirmwareUpgrade::waitFor(TextName what, int tries, int pauseMs,
                              const std::function<bool()> &arrived) {
    // The bars count the tries, with what is awaited on them, and the time left goes
    // beside them, from the time the tries have taken so far.
    m_host.setProgressText(text(what, m_language));
    m_host.setProgressMaximum(static_cast<std::uint32_t>(tries));
    m_host.setProgressValue(0);
    m_host.setProgressVisible(true);
    const double start = m_host.seconds();
    std::string shown;
    bool found = false;
    for (int attempt = 0; attempt < tries && !found; ++attempt) {
        m_host.sleep(pauseMs);
        m_host.processEvents(); // the window keeps painting through the wait
        found = arrived();
        const double perTry =
            std::max(pauseMs / 1000.0, (m_host.seconds() - start) / (attempt + 1));
        // Whole seconds, rounded up; the slack keeps sums of tenths from rounding up a second.
        const auto left =
            static_cast<std::uint64_t>(std::ceil(perTry * (tries - attempt - 1) - 1e-6));
        if (std::string t = timeLeftText(left); !found && t != shown) {
            m_host.setTransferText("", t);
            shown = std::move(t);
        }
        m_host.setProgressValue(static_cast<std::uint32_t>(attempt + 1));
    }
    m_host.setTransferText("", "");
    m_host.setProgressText("");
    if (!found) { // the bars go before the box that says so
        m_host.setProgressValue(0);
        m_host.setProgressVisible(false);
    }
    return found;
}

bool FirmwareUpgrade::waitForBootLoader() {
    m_connection.setPanel(txtInBootLoader);
    const bool found =
        waitFor(txtWaitingForBootLoader, kBootLoaderSearches, kBootLoaderSearchPauseMs, [&] {
            return m_hid.OpenDevice(kBootLoaderVendorId, kBootLoaderManufacturer,
                                    kBootLoaderProductId, kBootLoaderProduct) == 0;
        });
    // The box that says the boot loader never came must not stand beside a panel that
    // says it is there.
    if (!found)
        m_connection.setPanel(txtNotConnected);
    return found;
}

bool FirmwareUpgrade::bootLoaderPresent() {
    const bool present = m_hid.OpenDevice(kBootLoaderVendorId, kBootLoaderManufacturer,
                                          kBootLoaderProductId, kBootLoaderProduct) == 0;
    m_hid.CloseDevice();
    return present;
}

std::optional<std::pair<std::string, HardwareInfo>>
FirmwareUpgrade::walkTheBus(const std::function<bool(const HardwareInfo &)> &wanted) {
    const std::string pinned = m_usb.pinnedLocation();
    std::optional<std::pair<std::string, HardwareInfo>> found;
    for (const std::string &at :
         m_usb.programmerLocations(kProgrammerVendorId, kProgrammerManufacturer,
                                   kProgrammerProductId, kProgrammerProduct)) {
        m_usb.pinLocation(at);
        if (auto info = readInfo(); info && wanted(*info)) {
            found.emplace(at, std::move(*info));
            break;
        }
    }
    m_usb.pinLocation(pinned);
    return found;
}

std::vector<std::string> FirmwareUpgrade::serialsOnTheBus() {
    std::vector<std::string> serials;
    walkTheBus([&](const HardwareInfo &info) {
        serials.push_back(info.serial);
        return false;
    });
    return serials;
}

std::optional<HardwareInfo> FirmwareUpgrade::waitForReturn(const std::string &serial,
                                                           const std::vector<std::string> &others) {
    // The bus may give the programmer another address when it comes back, so every
    // programmer on it is asked; a pinned transport is pinned to the new place after.
    auto isOurs = [&](const HardwareInfo &info) {
        if (!serial.empty())
            return info.serial == serial;
        return std::find(others.begin(), others.end(), info.serial) == others.end();
    };
    m_connection.setPanel(txtProgrammerRestarting);
    std::optional<HardwareInfo> back;
    waitFor(txtWaitingForReturn, kReturnSearches, kReturnSearchPauseMs, [&] {
        auto found = walkTheBus(isOurs);
        if (!found)
            return false;
        if (!m_usb.pinnedLocation().empty())
            m_usb.pinLocation(found->first);
        back = std::move(found->second);
        return true;
    });
    if (!back)
        m_connection.setPanel(txtNotConnected);
    return back;
}

bool FirmwareUpgrade::writeReport(std::uint8_t command) {
    m_block[0] = 1;
    m_block[1] = command;
    return m_hid.WriteReport(kOutputReport, m_block.data(), kReportSize);
}

bool FirmwareUpgrade::readAnswer() {
    return m_hid.ReadReport(kInputReport, m_reply.data(), kReportSize, kAnswerWaitMs);
}

bool FirmwareUpgrade::eraseAnswered(std::uint32_t pages) {
    // Awaited in slices so the window stays live; a read that fails ends the wait.
    for (int left = eraseAnswerWaitMs(pages); left > 0; left -= kEraseWaitSliceMs) {
        switch (m_hid.ReadInputReport(m_reply.data(), kReportSize,
                                      std::min(left, kEraseWaitSliceMs))) {
        case CUsbhid::Read::Report:
            return true;
        case CUsbhid::Read::Failed:
            return false;
        case CUsbhid::Read::NotYet:
            break;
        }
        m_host.processEvents();
    }
    return false;
}

FirmwareUpgrade::Outcome FirmwareUpgrade::send(std::span<const std::uint8_t> image,
                                               std::uint32_t length) {
    m_host.setProgressVisible(true);
    m_host.setProgressMaximum(length);
    m_host.setProgressValue(0);

    auto step = [&](TextName what, std::uint8_t command) {
        std::string t(text(what, m_language));
        replaceMark(t, "%1", commandName(command));
        return t;
    };
    // Each step that expects an answer: the report, then one report back.
    auto exchange = [&](std::uint8_t command) -> std::optional<std::string> {
        if (!writeReport(command))
            return step(txtReportNotWritten, command);
        if (!readAnswer())
            return step(txtNoReportReply, command);
        return std::nullopt;
    };
    if (auto failed = exchange(BL_CMD_START))
        return fail(*failed, 0);
    if (auto failed = exchange(BL_CMD_GET_ADDRESS))
        return fail(*failed, 0);
    const std::uint32_t address = get32(&m_reply[1]);
    const std::uint32_t pageSize = m_reply[5] | m_reply[6] << 8;
    const std::uint32_t pages = pageSize ? length / pageSize + (length % pageSize ? 1 : 0) : 0;
    if (pageSize == 0 || pages > kMaxErasePages) {
        // Nothing erased yet: the programmer restarts on the firmware it has.
        if (!writeReport(BL_CMD_LEAVE))
            return fail(step(txtReportNotWritten, BL_CMD_LEAVE), 0);
        m_hid.CloseDevice();
        m_host.setProgressValue(0);
        std::string why(text(pageSize ? txtBootLoaderTooManyPages : txtPageSizeZero, m_language));
        replaceMark(why, "%1", std::to_string(pages));
        replaceMark(why, "%2", std::to_string(pageSize));
        m_host.showFailure(why);
        return Outcome::Failed;
    }
    put32(&m_block[2], address);
    m_block[6] = static_cast<std::uint8_t>(pages);
    put32(&m_block[7], length);
    if (!writeReport(BL_CMD_ERASE))
        return fail(step(txtReportNotWritten, BL_CMD_ERASE), 0);
    if (!eraseAnswered(pages))
        return fail(step(txtNoReportReply, BL_CMD_ERASE), 0);
    m_host.sleep(kEraseSettleMs);

    for (std::uint32_t offset = 0; offset < length; offset += kReportDataBytes) {
        std::memcpy(&m_block[2], image.data() + kFirmwareDataOffset + offset, kReportDataBytes);
        if (!writeReport(BL_CMD_DATA))
            return fail(step(txtReportNotWritten, BL_CMD_DATA), offset);
        m_host.setProgressValue(offset);
        m_host.processEvents();
    }
    if (!writeReport(BL_CMD_LEAVE))
        return fail(step(txtReportNotWritten, BL_CMD_LEAVE), length);
    m_hid.CloseDevice();
    m_host.setProgressValue(0);
    m_loadAddress = "0x" + hexText(address, 8);
    return Outcome::Done;
}

FirmwareUpgrade::Outcome FirmwareUpgrade::fail(std::string step, std::uint32_t sent) {
    m_hid.CloseDevice();
    m_host.setProgressValue(0);
    std::string message(text(txtUpgradeFailed, m_language));
    replaceMark(message, "%1", step);
    replaceMark(message, "%2", std::to_string(sent));
    m_host.showFailure(message);
    return Outcome::Failed;
}

} // namespace korvat
