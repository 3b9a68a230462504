#include "Batch.h"

#include "base/TextTable.h"
#include "base/OperationHost.h"
#include "catalogue/Family.h"

namespace korvat {
namespace {

constexpr int kDetectionIntervalMs = 150;

// The engines' own lines say Flash whatever the chip; the pass line names an EEPROM's.
TextName stepText(PassStep step, bool eeprom) {
    switch (step) {
    case PassStep::Erase:
        return eeprom ? txtStepEraseEeprom : txtStepErase;
    case PassStep::Write:
        return eeprom ? txtStepWriteEeprom : txtStepWrite;
    case PassStep::Verify:
        return eeprom ? txtStepVerifyEeprom : txtStepVerify;
    case PassStep::Transfer:
        return txtStepTransfer;
    case PassStep::NotConnected:
        return txtStepNotConnected;
    case PassStep::Interrupted:
        return txtStepInterrupted;
    case PassStep::WrongChip:
        return txtStepWrongChip;
    case PassStep::NoChip:
        return txtStepNoChip;
    case PassStep::NothingLoaded:
    case PassStep::NotBlank: // a blank check is no step of a pass
    case PassStep::None:
        break;
    }
    return txtStepNothingLoaded;
}

TextName socketText(SocketState socket) {
    switch (socket) {
    case SocketState::Programming:
        return txtSocketProgramming;
    case SocketState::WaitingForRemoval:
        return txtSocketRemove;
    case SocketState::WaitingForChip:
        break;
    }
    return txtSocketInsert;
}

} // namespace

bool PresenceCounter::see(const ChipIdentity &id) {
    if (id.rearmsBatch())
        m_count = 0;
    // Only what detection takes for a chip counts, and only a chip starts a pass.
    if (!id.countsForBatch())
        return false;
    if (m_count < 5) {
        ++m_count;
        return false;
    }
    if (m_count == 5) {
        m_count = 6;
        return true;
    }
    return false;
}

std::string passLine(int number, const PassOutcome &outcome, const PassCounts &counts, int language,
                     int family) {
    const TextName name = !outcome.passed    ? txtFailLine
                          : outcome.verified ? txtPassLine
                                             : txtUnverifiedLine;
    std::string line(text(name, language));
    replaceMark(line, "%1", std::to_string(number));
    replaceMark(line, "%2", std::to_string(counts.passed));
    replaceMark(line, "%3", std::to_string(counts.failed));
    replaceMark(line, "%4", text(stepText(outcome.failedStep, isEepromFamily(family)), language));
    replaceMark(line, "%5", std::to_string(counts.unverified));
    return line;
}

std::string batchStatusText(const BatchStatus &status, int language) {
    const PassCounts &counts = status.counts;
    std::string line(text(counts.unverified ? txtBatchStatusUnverified : txtBatchStatus, language));
    replaceMark(line, "%1", text(socketText(status.socket), language));
    replaceMark(line, "%2", std::to_string(counts.passed));
    replaceMark(line, "%3", std::to_string(counts.failed));
    replaceMark(line, "%4", std::to_string(counts.unverified));
    return line;
}

BatchLoop::BatchLoop(BatchWindow &window, OperationHost &host, BatchRecord &record,
                     const int &language, std::function<std::int64_t()> now)
    : m_window(window), m_host(host), m_record(record), m_language(language),
      m_now(std::move(now)) {}

void BatchLoop::run() {
    const AutoSteps steps = m_window.passSteps();
    if (!steps.erase && !steps.write && !steps.verify) {
        refuse(std::string(text(txtBatchNoSteps, m_language)));
        return;
    }
    if (!m_record.ready()) {
        refuseUnrecorded();
        return;
    }
    m_runStart = m_now();
    log(std::string(text(txtBatchRecordFile, m_language)) + m_record.path());
    PresenceCounter counter;
    report(SocketState::WaitingForChip);
    for (;;) {
        // An unreachable programmer (or a failed exchange) tells nothing about the
        // socket: the counter keeps its value.
        const ChipIdentity id = m_window.detect();
        if (counter.see(id)) {
            report(SocketState::Programming);
            if (!pass(id))
                return;
        }
        // Six detections in a row saw the chip of the last pass: it is still in.
        report(counter.count() == 6 ? SocketState::WaitingForRemoval : SocketState::WaitingForChip);
        m_host.processEvents();
        if (!m_window.batchOn())
            return;
        m_window.pause(kDetectionIntervalMs);
    }
}

// One Auto pass, its log line and its record; false when the record could not be
// written, which ends the run.
bool BatchLoop::pass(const ChipIdentity &id) {
    PassRecord record;
    record.when = m_now();
    const NameParts name = m_window.chipName();
    record.type = name.type;
    record.maker = name.maker;
    record.model = name.model;
    record.idType = id.typeCode();
    record.chipId = id.chipId();
    PassOutcome nothing;
    nothing.failedStep = PassStep::NothingLoaded;
    record.outcome = m_window.runPass().value_or(nothing);
    record.serial = m_window.passSerial();
    record.run = m_runStart;
    const PassOutcome &outcome = record.outcome;
    ++(!outcome.passed    ? m_counts.failed
       : outcome.verified ? m_counts.passed
                          : m_counts.unverified);
    record.number = passes();
    log(passLine(record.number, outcome, m_counts, m_language, m_window.chipFamily()));
    if (m_record.append(record))
        return true;
    refuseUnrecorded();
    return false;
}

void BatchLoop::refuseUnrecorded() {
    m_recordFailed = true;
    m_window.stop();
    m_host.showFailure(std::string(text(txtBatchRecordFailed, m_language)) + m_record.path());
}

// Before anything was sent: the box alone, as for other refusals.
void BatchLoop::refuse(const std::string &why) {
    m_window.stop();
    m_host.showError(why);
}

void BatchLoop::report(SocketState socket) {
    const BatchStatus status{socket, m_counts};
    if (m_shown == status)
        return;
    m_shown = status;
    m_window.showStatus(status);
}

void BatchLoop::log(const std::string &line) {
    m_host.insertLogLine(m_host.timeText() + " " + line);
}

} // namespace korvat
