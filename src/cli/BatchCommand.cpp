#include "BatchCommand.h"

#include "ChipChoosing.h"
#include "ConsoleHost.h"
#include "DryRun.h"
#include "app/AppPaths.h"
#include "base/HexText.h"
#include "catalogue/ChipChoice.h"
#include "link/Connection.h"
#include "link/UsbApi.h"
#include "link/Usbbulk.h"
#include "ops/Batch.h"
#include "ops/Engine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <unistd.h>

namespace korvat::cli {
namespace {

// Detections in a row that do not reach the programmer (150 ms apart) before the run
// ends: a programmer that left the bus comes back at another place, where this process
// does not look for it.
constexpr int kLostAfterDetections = 20;

// Batch mode's view of the command line: Ctrl+C, the count, a lost programmer or the
// end of the serial numbers ends it; each pass first writes the chip's serial number
// into the image. Ctrl+C in a pass ends that pass (its bracket closed, recorded as
// interrupted); between passes it only ends the run.
class ConsoleBatch : public BatchWindow {
public:
    ConsoleBatch(Engine &engine, Connection &connection, ChipBuffers &work, ConsoleHost &host,
                 const Catalogue &catalogue, int slot, const BatchArgs &args)
        : m_engine(engine), m_connection(connection), m_work(work), m_host(host),
          m_chip(catalogue.slot(slot)), m_slot(slot),
          m_name(splitForSelection(catalogue.name(slot))), m_args(args) {}

    bool batchOn() const override {
        return !interrupted() && !m_stopped && !lost() && !serialsEnded() &&
               (m_args.count == 0 || m_passes < m_args.count);
    }
    ChipIdentity detect() override {
        const ChipIdentity id = m_connection.readChipIdentity(m_chip, 0);
        m_unreached = id.answered() ? 0 : m_unreached + 1;
        return id;
    }
    std::optional<PassOutcome> runPass() override {
        if (m_args.serial) {
            const SerialNumbers &s = *m_args.serial;
            const std::uint64_t number = *serialNumberAfter(m_passes, s);
            const std::string bytes = serialBytes(number, s);
            Buffers &buffers = m_work.buffers;
            std::memcpy(buffers.flash().data() + s.address, bytes.data(), bytes.size());
            buffers.loadedLength = std::max<std::int32_t>(
                buffers.loadedLength, static_cast<std::int32_t>(s.address + bytes.size()));
            m_serial = std::to_string(number);
        }
        ++m_passes;
        // Another chip in the socket fails the pass: nothing is sent to it. Ctrl+C ends it
        // through its close; its outcome keeps how long it ran.
        m_host.setInterruptible(true);
        const std::optional<PassOutcome> outcome =
            m_engine.runAuto(m_slot, 0, m_work.view, passSteps());
        m_host.setInterruptible(false);
        if (outcome && outcome->failedStep == PassStep::Interrupted)
            m_interruptedInPass = true;
        if (outcome && !outcome->passed && !m_firstFailure && !m_interruptedInPass)
            m_firstFailure = outcome;
        if (outcome)
            m_last = outcome;
        return outcome;
    }
    AutoSteps passSteps() const override { return {}; } // every pass verifies
    NameParts chipName() const override { return m_name; }
    int chipFamily() const override { return m_chip.family; }
    void pause(int milliseconds) override { m_host.sleep(milliseconds); }
    void stop() override { m_stopped = true; }
    std::optional<std::string> passSerial() const override { return m_serial; }

    bool lost() const { return m_unreached >= kLostAfterDetections; }
    // The run is not over, but the next chip's serial number no longer fits its bytes.
    bool serialsEnded() const {
        return (m_args.count == 0 || m_passes < m_args.count) && m_args.serial &&
               !serialNumberAfter(m_passes, *m_args.serial);
    }
    bool interruptedInPass() const { return m_interruptedInPass; }
    const std::optional<PassOutcome> &firstFailure() const { return m_firstFailure; }
    const std::optional<PassOutcome> &lastOutcome() const { return m_last; }

private:
    Engine &m_engine;
    Connection &m_connection;
    ChipBuffers &m_work;
    ConsoleHost &m_host;
    const ChipRecord &m_chip;
    int m_slot;
    NameParts m_name;
    const BatchArgs &m_args;
    int m_passes = 0;
    int m_unreached = 0;
    bool m_stopped = false;
    bool m_interruptedInPass = false;
    std::optional<std::string> m_serial;
    std::optional<PassOutcome> m_firstFailure, m_last;
};

// The serial numbers fit the chip and, for every chip the run may program, their bytes.
bool serialsUsable(const BatchArgs &args, const ChipRecord &chip, Console &console) {
    const SerialNumbers &s = *args.serial;
    const std::uint64_t room = std::min<std::uint64_t>(chip.capacity, kFlashBufferSize);
    if (s.address + static_cast<std::uint64_t>(s.bytes) > room) {
        console.showError("--serial-at: the serial number must lie inside the chip (" +
                          std::to_string(room) + " bytes)");
        return false;
    }
    const std::uint64_t last = args.count > 0 ? static_cast<std::uint64_t>(args.count - 1) : 0;
    if (!serialNumberAfter(last, s)) {
        console.showError("the serial numbers of " + std::to_string(last + 1) +
                          " chips do not fit in " + std::to_string(s.bytes) +
                          (s.bytes == 1 ? " byte" : " bytes"));
        return false;
    }
    return true;
}

// Why a run without a count ended after its last pass.
std::string serialsEndedLine(int passes, const SerialNumbers &serial) {
    return "the serial numbers have run out after " + std::to_string(passes) +
           (passes == 1 ? " chip" : " chips") + ": the next one does not fit in " +
           std::to_string(serial.bytes) + (serial.bytes == 1 ? " byte" : " bytes") +
           "; the batch ends";
}

int exitCodeOfRun(const BatchLoop &loop, const ConsoleBatch &window, Console &console) {
    if (loop.recordFailed())
        return kFileError; // a production line does not run unrecorded
    if (window.interruptedInPass())
        return kInterrupted;
    if (window.lost()) {
        console.showError("the programmer is not connected any more; the batch stops");
        return kNoProgrammer;
    }
    // Serial numbers that ran out end the run as its count would: it did all it could.
    // The first failed pass tells what went wrong on the line.
    const auto &failure = window.firstFailure();
    return failure ? exitCodeOf(*failure) : kSuccess;
}

void printJson(const ConsoleBatch &window, const BatchLoop &loop, int exitCode,
               const std::string &file, const std::string &recordPath, double seconds) {
    const auto &failure = window.firstFailure();
    const auto &last = window.lastOutcome();
    const std::string crc =
        last && last->dataCrc ? "\"" + hexText(*last->dataCrc, 8) + "\"" : "null";
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", seconds);
    printJsonObject(
        "{\"command\":\"batch\",\"chip\":" + jsonString(fullChipName(window.chipName())) + "," +
        jsonResult(exitCode, true) + ",\"passes\":" + std::to_string(loop.passes()) +
        ",\"passed\":" + std::to_string(loop.passed()) +
        ",\"failed\":" + std::to_string(loop.failed()) + ",\"failedAddress\":" +
        (failure && failure->failedAddress ? std::to_string(*failure->failedAddress) : "null") +
        ",\"crc32\":" + crc + ",\"seconds\":" + time + "," + jsonName("file", file) + "," +
        jsonName("record", recordPath) + ",\"errors\":" + jsonErrors() + "}");
}

// Why the production record could not be written, found without writing it: a name
// that is no ordinary file, one this user may not write, or a folder it cannot be made
// in. Nothing when it can be.
std::optional<std::string> recordProblem(const std::string &path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::exists(path, error)) {
        if (!fs::is_regular_file(path, error))
            return path + " is not an ordinary file";
        return access(path.c_str(), W_OK) == 0 ? std::nullopt
                                               : std::optional(path + ": " + std::strerror(errno));
    }
    fs::path folder = fs::absolute(path, error).parent_path();
    while (!folder.empty() && !fs::exists(folder, error) && folder != folder.parent_path())
        folder = folder.parent_path();
    if (!fs::is_directory(folder, error))
        return folder.string() + " is not a folder";
    return access(folder.c_str(), W_OK | X_OK) == 0
               ? std::nullopt
               : std::optional(folder.string() + ": " + std::strerror(errno));
}

// The run checked as it would start, and what it would do printed: every pass erases,
// writes and verifies the image, each chip's serial number written into it first.
int dryRun(const Options &options, const BatchArgs &args, const Catalogue &catalogue, int slot,
           ChipBuffers &work, TUsbBulk &usb, Connection &connection, ConsoleHost &host,
           const std::string &recordPath) {
    Engine engine(usb, connection, host, work.buffers, catalogue, options.language);
    const auto plan = engine.plan(std::nullopt, slot, {});
    if (!plan)
        return kChipProblem;
    if (const auto problem = recordProblem(recordPath)) {
        Console console;
        console.showError("the production record cannot be written: " + *problem);
        return kFileError;
    }
    DryRun run;
    run.command = "batch";
    run.chip = fullChipName(splitForSelection(catalogue.name(slot)));
    run.steps = {"erase", "write", "verify"};
    run.addresses = plan->addresses;
    run.crc = crcOfCovered(work.buffers.flash(), plan->image);
    run.imageBytes = plan->image ? plan->image->end - plan->image->start : 0;
    run.file = args.chip.file;
    run.serial = args.serial;
    run.count = args.count;
    run.record = recordPath;
    return printDryRun(options, run);
}

} // namespace

int batchCommand(const Options &options, const BatchArgs &args) {
    Console console;
    ConsoleHost host(options.quiet, options.json);
    if (const auto problem = fileArgsProblem(args.chip, options.json)) {
        console.showError(*problem);
        return kUsage;
    }
    const auto catalogue = loadCatalogue(options, console);
    if (!catalogue)
        return kFileError;
    if (args.serial && (args.serial->bytes < 1 || args.serial->bytes > 32)) {
        console.showError("--serial-bytes must be 1 to 32");
        return kUsage;
    }
    const int language = options.language;
    TUsbBulk usb(UsbApi::load());
    Connection connection(usb, host, language);
    int refused = kChipProblem;
    const auto slot = chooseProgrammerAndChip(options, args.chip, *catalogue, usb, connection, host,
                                              console, refused);
    if (!slot)
        return refused;
    const ChipRecord &chip = catalogue->slot(*slot);
    if (args.serial && !serialsUsable(args, chip, console))
        return kUsage;
    ChipBuffers work(chip, host, console, language);
    if (!work.load(args.chip))
        return interrupted() ? kInterrupted : kFileError;
    // Batch mode waits for chips, not for the programmer: without one it would wait on
    // for ever.
    if (const int unreached = programmerReachable(usb, connection, console, language))
        return unreached;

    // By default the window's record; its folder may not have been made yet (a folder
    // that cannot be made shows as a record refused).
    std::string recordPath = args.record;
    if (recordPath.empty())
        recordPath = productionRecord(appPaths(executableFolder()));
    if (args.chip.dryRun)
        return dryRun(options, args, *catalogue, *slot, work, usb, connection, host, recordPath);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(recordPath).parent_path(), ignored);
    BatchRecord record(recordPath, args.serial.has_value());
    Engine engine(usb, connection, host, work.buffers, *catalogue, language);
    if (!engine.autoUsable(*slot, {})) // every pass erases first
        return kChipProblem;
    ConsoleBatch window(engine, connection, work, host, *catalogue, *slot, args);
    BatchLoop loop(window, host, record, language, [] { return std::time(nullptr); });
    const double started = host.seconds();
    host.setInterruptible(false); // only a pass is ended in its middle
    loop.run();
    if (window.serialsEnded() && !window.interruptedInPass() && !window.lost() &&
        !loop.recordFailed())
        host.insertLogLine(host.timeText() + " " + serialsEndedLine(loop.passes(), *args.serial));
    const int exitCode = exitCodeOfRun(loop, window, console);
    if (options.json)
        printJson(window, loop, exitCode, args.chip.file, recordPath, host.seconds() - started);
    return exitCode;
}

} // namespace korvat::cli
