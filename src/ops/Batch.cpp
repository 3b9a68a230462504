#include "Batch.h"

#include "base/TextTable.h"
#include "base/OperationHost.h"

namespace korvat {
namespace {

constexpr int kDetectionIntervalMs = 150;

TextName stepText(PassStep step) {
    switch (step) {
    case PassStep::Erase:
        return txtStepErase;
    case PassStep::Write:
        return txtStepWrite;
    case PassStep::Verify:
        return txtStepVerify;
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

std::string passLine(int number, const PassOutcome &outcome, const PassCounts &counts,
                     int language) {
    const TextName name = !outcome.passed    ? txtFailLine
                          : outcome.verified ? txtPassLine
                                             : txtUnverifiedLine;
    std::string line(text(name, language));
    replaceMark(line, "%1", std::to_string(number));
    replaceMark(line, "%2", std::to_string(counts.passed));
    replaceMark(line, "%3", std::to_string(counts.failed));
    replaceMark(line, "%4", std::string(text(stepText(outcome.failedStep), language)));
    replaceMark(line, "%5", std::to_string(counts.unverified));
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
    for (;;) {
        // An unreachable programmer (or a failed exchange) tells nothing about the
        // socket: the counter keeps its value.
        const ChipIdentity id = m_window.detect();
        if (counter.see(id) && !pass(id))
            return;
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
    log(passLine(record.number, outcome, m_counts, m_language));
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

void BatchLoop::log(const std::string &line) {
    m_host.insertLogLine(m_host.timeText() + " " + line);
}

} // namespace korvat
