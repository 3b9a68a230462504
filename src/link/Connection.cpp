#include "Connection.h"

#include "Usbbulk.h"
#include "base/HexText.h"
#include "base/TextTable.h"
#include "base/OperationHost.h"

namespace korvat {

bool exchangeBlock(TUsbBulk &usb, std::span<std::uint8_t, kBlockSize> block, bool reply) {
    auto *bytes = reinterpret_cast<char *>(block.data());
    const int result = usb.USB_bulk_cmd(bytes, kBlockSize, reply ? 1 : 0);
    return usb.lastCommandWrite() == static_cast<int>(kBlockSize) &&
           result == static_cast<int>(kBlockSize);
}

std::string noAccessText(int language) {
    return std::string(text(txtProgrammerNoAccess, language)) + " " +
           std::string(text(txtNoAccessHint, language));
}

std::string addressText(std::uint64_t address) {
    return hexText(address) + "h";
}

Connection::Connection(TUsbBulk &usb, OperationHost &host, const int &language)
    : m_usb(usb), m_host(host), m_language(language) {}

bool Connection::open() {
    return m_usb.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                           kProgrammerProduct) == 1;
}

bool Connection::reachable() {
    const bool opened = open();
    m_usb.USB_bulk_close();
    return opened;
}

SingleCommand Connection::sendAlone(std::span<std::uint8_t, kBlockSize> block) {
    if (!open())
        return SingleCommand::NotReachable;
    const bool whole = exchangeBlock(m_usb, block, true);
    m_usb.USB_bulk_close();
    return whole ? SingleCommand::Answered : SingleCommand::LinkFailed;
}

void Connection::setPanel(TextName name) {
    m_panel = name;
    showPanel();
}

std::string Connection::panelText() const {
    return std::string(text(m_panel, m_language));
}

void Connection::showPanel() {
    m_host.setStatusText(panelText());
}

void Connection::detectProgrammer() {
    if (m_busy) { // the running operation's transfers must not lose their device
        m_probePending = true;
        return;
    }
    const bool opened = open();
    const bool denied = !opened && !m_usb.deniedLocations().empty();
    if (denied && !m_noAccessLogged)
        m_host.insertLogLine(m_host.timeText() + " " + noAccessText(m_language));
    m_noAccessLogged = denied;
    if (!opened) {
        setPanel(txtNotConnected);
        return;
    }
    const std::string line =
        m_host.timeText() + " " + std::string(text(txtProgrammerDetected, m_language));
    if (m_host.firstLogLine() != line)
        m_host.insertLogLine(line);
    m_usb.USB_bulk_close();
    setPanel(txtConnected);
}

// A probe skipped while the programmer was held runs as soon as it is free again, so a
// programmer unplugged during an operation shows as gone.
void Connection::runSkippedProbe() {
    if (m_probePending) {
        m_probePending = false;
        detectProgrammer();
    }
}

std::string Connection::notOpenedText() const {
    return m_usb.deniedLocations().empty() ? std::string(text(txtNotConnected, m_language))
                                           : noAccessText(m_language);
}

bool Connection::refuseWhileBusy() {
    if (m_busy)
        m_host.showError(text(txtProgrammerBusy, m_language));
    return m_busy;
}

int Connection::beginOperation(const ChipRecord &chip, int speed) {
    m_setupFailed = false;
    if (!open()) {
        m_host.showError(notOpenedText());
        return 0;
    }
    m_busy = true;
    CommandBlock block = setupBlock(chip, speed);
    if (!exchangeBlock(m_usb, block, true)) {
        // Nothing says the programmer is still there: the panel is left to the probe.
        m_host.showFailure(text(txtSetupFailed, m_language));
        m_setupFailed = true;
        closeBracket();
        runSkippedProbe();
        return 0;
    }
    return 1;
}

bool Connection::closeBracket() {
    CommandBlock block = endBlock();
    const bool ended = exchangeBlock(m_usb, block, false);
    m_usb.USB_bulk_close();
    m_busy = false;
    return ended;
}

bool Connection::finishBracket() {
    const bool ended = closeBracket();
    if (ended)
        setPanel(txtConnected);
    else // the panel still shows the operation: the probe says whether it is still there
        m_probePending = true;
    return ended;
}

bool Connection::endOperation() {
    const bool ended = finishBracket();
    runSkippedProbe();
    return ended;
}

void Connection::release() {
    m_busy = false;
    m_probePending = false;
    detectProgrammer();
}

ChipIdentity Connection::readChipIdentity(const ChipRecord &chip, int speed) {
    ChipIdentity id;
    if (m_busy) {
        id.reach = ChipIdentity::Reach::Busy;
        return id;
    }
    if (!open()) {
        if (!m_usb.deniedLocations().empty())
            id.reach = ChipIdentity::Reach::NoPermission;
        return id;
    }
    m_busy = true;
    CommandBlock block = readIdBlock(chip, speed);
    if (!exchangeBlock(m_usb, block, true)) {
        // No reply is no answer about the socket: the link failed. Whether the
        // programmer is still there is left to the probe.
        id.reach = ChipIdentity::Reach::LinkFailed;
        closeBracket();
        runSkippedProbe();
        return id;
    }
    // A reply whose bracket did not close is not trusted either: the exchange failed.
    id.reach = endOperation() ? ChipIdentity::Reach::Answered : ChipIdentity::Reach::LinkFailed;
    std::copy_n(block.begin(), 4, id.reply.begin());
    return id;
}

} // namespace korvat
