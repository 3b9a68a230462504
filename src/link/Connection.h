#pragma once
// The programmer connection: the probe that shows whether the programmer is there, the
// operation bracket (open and CMD_SETUP, then CMD_END and close), the chip-identity
// exchange and the commands sent on their own (information, restart). The programmer is
// open only inside a bracket or for the instant of a probe or of a single command.

#include "base/TextTable.h"
#include "catalogue/ChipRecord.h"
#include "link/CommandBlock.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace korvat {

class OperationHost;
class TUsbBulk;

// What the chip-identity exchange found out.
struct ChipIdentity {
    enum class Reach {
        Answered,     // the reply's bytes 0-3 are in reply
        NotReachable, // the programmer could not be opened; nothing was sent
        NoPermission, // a device with its ids is there but the user may not open it
        Busy,         // an operation holds the programmer; nothing was sent
        LinkFailed,   // the programmer was opened but a transfer failed
    };
    Reach reach = Reach::NotReachable;
    std::array<std::uint8_t, 4> reply{};

    bool answered() const { return reach == Reach::Answered; }
    // Reply byte 0: 0 no chip, 1 a chip with a three-byte ID, 2 and 3 a chip known only
    // by its type; any other code is read like 0.
    int typeCode() const { return reply[0]; }
    // The three ID bytes as one number: first * 65536 + second * 256 + third.
    std::uint32_t chipId() const {
        return std::uint32_t{reply[1]} << 16 | reply[2] << 8 | reply[3];
    }

    // What the answer means; every question is false when nothing was answered.
    // A chip answered with its ID (type code 1), which may still be in no record.
    bool hasId() const { return answered() && typeCode() == 1; }
    // A chip without an ID, named by its type code (2 or 3): the type list's second or
    // third chip type.
    bool typeOnly() const { return answered() && (typeCode() == 2 || typeCode() == 3); }
    // The type list position that a type-only answer selects (1 or 2); -1 for any other.
    int typePosition() const { return typeOnly() ? typeCode() - 1 : -1; }
    // No chip in the socket: type code 0, and 4 and above.
    bool emptySocket() const { return answered() && !hasId() && !typeOnly(); }
    // Batch mode counts the detection towards the five that start a pass: a chip.
    bool countsForBatch() const { return hasId() || typeOnly(); }
    // Batch mode rearms after a pass: type code 0 only (4 and above neither count nor rearm).
    bool rearmsBatch() const { return answered() && typeCode() == 0; }
};

// Sends one block; with reply, waits and reads the 64-byte reply into it. True only
// when every transfer moved the whole block.
bool exchangeBlock(TUsbBulk &usb, std::span<std::uint8_t, kBlockSize> block, bool reply);

// How a command sent on its own, outside any operation, went.
enum class SingleCommand {
    Answered,     // the whole block went and its whole reply is in the block
    NotReachable, // the programmer could not be opened; nothing was sent
    LinkFailed,   // the programmer was opened but a transfer failed
};

// A device with the programmer's ids that the user may not open, and what gives access.
std::string noAccessText(int language);

// "%Xh": upper-case hexadecimal address and the letter h.
std::string addressText(std::uint64_t address);

class Connection {
public:
    // language: the window's language index, read at every use.
    Connection(TUsbBulk &usb, OperationHost &host, const int &language);

    // Probe: open, string check and claim, nothing sent. Logs the detection line
    // unless the same line is already at the top, and sets the panel. A programmer the
    // user may not open is logged once, when a probe first finds it so. While an
    // operation holds the programmer it is put off until the bracket closes.
    void detectProgrammer();

    // Why the last open failed, for the person: "Not connected", or noAccessText when
    // the walk met a device with the programmer's ids that the user may not open.
    std::string notOpenedText() const;

    // 0 when the programmer could not be opened (notOpenedText shown) or the setup
    // block did not go through (the bracket is then closed again, the failure shown and
    // logged); otherwise 1 and the programmer stays open.
    int beginOperation(const ChipRecord &chip, int speed);
    // The last beginOperation opened the programmer but its setup block failed: a
    // transfer failure, not a missing programmer.
    bool setupFailed() const { return m_setupFailed; }
    // CMD_END, close, then any probe put off meanwhile. True when CMD_END went through
    // and the panel reads "Connected"; otherwise the programmer may still be inside the
    // operation, so the operation has not finished, and a probe sets the panel.
    bool endOperation();
    // endOperation in two halves, for callers that log the outcome in between: the
    // bracket's end first, then the probe put off meanwhile.
    bool finishBracket();
    void runSkippedProbe();

    // The detection exchange: open, CMD_READ_ID with the chip's parameters, CMD_END,
    // close. Shows nothing; the callers decide what each outcome means to the person.
    ChipIdentity readChipIdentity(const ChipRecord &chip, int speed);

    // Whether the programmer opens now: open and close, nothing sent, nothing shown.
    bool reachable();
    // One command on its own, for the hardware information and the restart into the boot
    // loader: open, the block sent and its reply read back into it, close. Shows nothing
    // and leaves the panel and any put-off probe alone; it runs while the programmer is
    // held, since the firmware upgrade holds it and asks through here.
    SingleCommand sendAlone(std::span<std::uint8_t, kBlockSize> block);

    // The firmware upgrade holds the programmer the way an operation does: probes are
    // put off and busy() is true until release(). The programmer left the bus for its
    // boot loader meanwhile, so release() looks for it again, whatever came in between.
    void hold() { m_busy = true; }
    void release();

    // An operation holds the programmer open.
    bool busy() const { return m_busy; }
    // Tells the host the programmer is busy when it is; for commands that must wait.
    bool refuseWhileBusy();

    // The connection panel (status panel 1): set by probes, brackets and operations. It
    // keeps which text it shows, so a language switch shows the same state in the new one.
    void setPanel(TextName text);
    std::string panelText() const;
    // Shows the panel's text again, in the current language.
    void showPanel();
    // Drawn red exactly while it reads "Not connected".
    bool panelRed() const { return m_panel == txtNotConnected; }

private:
    bool open();
    // CMD_END and close, the panel untouched; true when CMD_END went through.
    bool closeBracket();

    TUsbBulk &m_usb;
    OperationHost &m_host;
    const int &m_language;
    TextName m_panel = txtNotConnected;
    bool m_busy = false;
    bool m_setupFailed = false;
    bool m_probePending = false;   // a probe came while the programmer was held
    bool m_noAccessLogged = false; // the last probe found it there but not to be opened
};

} // namespace korvat
