#include "BatchCommand.h"

#include "ConsoleHost.h"
#include "Programmers.h"
#include "buffers/Buffers.h"
#include "catalogue/ChipChoice.h"
#include "link/Connection.h"
#include "link/UsbApi.h"
#include "link/Usbbulk.h"
#include "ops/Batch.h"
#include "ops/Engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace korvat::cli {
namespace {

// Batch mode's view of the command line: Ctrl+C or the count ends it; each pass first
// writes the chip's serial number into the image.
class ConsoleBatch : public BatchWindow {
public:
    ConsoleBatch(Engine &engine, Connection &connection, Buffers &buffers, ConsoleHost &host,
                 const ChipRecord &chip, NameParts name, const BatchArgs &args)
        : m_engine(engine), m_connection(connection), m_buffers(buffers), m_host(host),
          m_chip(chip), m_name(std::move(name)), m_args(args) {}

    bool batchOn() const override {
        return !interrupted() && !m_stopped && (m_args.count == 0 || m_passes < m_args.count);
    }
    ChipIdentity detect() override { return m_connection.readChipIdentity(m_chip, 0); }
    std::optional<PassOutcome> runPass() override {
        if (m_args.serial) {
            const SerialNumbers &s = *m_args.serial;
            const std::uint64_t number = s.start + s.step * static_cast<std::uint64_t>(m_passes);
            const std::string bytes = serialBytes(number, s);
            std::memcpy(m_buffers.flash().data() + s.address, bytes.data(), bytes.size());
            m_buffers.loadedLength = std::max<std::int32_t>(
                m_buffers.loadedLength, static_cast<std::int32_t>(s.address + bytes.size()));
            m_serial = std::to_string(number);
        }
        ++m_passes;
        return m_engine.runAuto(m_chip, 0, m_view, {});
    }
    NameParts chipName() const override { return m_name; }
    void pause(int milliseconds) override { m_host.sleep(milliseconds); }
    void stop() override { m_stopped = true; }
    std::optional<std::string> passSerial() const override { return m_serial; }

private:
    Engine &m_engine;
    Connection &m_connection;
    Buffers &m_buffers;
    ConsoleHost &m_host;
    const ChipRecord &m_chip;
    NameParts m_name;
    const BatchArgs &m_args;
    NoView m_view;
    int m_passes = 0;
    bool m_stopped = false;
    std::optional<std::string> m_serial;
};

} // namespace

int batchCommand(const Options &options, const BatchArgs &args) {
    Console console(options.quiet);
    ConsoleHost host(options.quiet, options.json);
    const auto catalogue = loadCatalogue(options, console);
    if (!catalogue)
        return kFileError;
    if (args.serial && (args.serial->bytes < 1 || args.serial->bytes > 32 ||
                        args.serial->address + static_cast<std::uint64_t>(args.serial->bytes) >
                            kFlashBufferSize)) {
        console.showError("--serial-bytes must be 1 to 32, and the serial number inside the image");
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

    Buffers buffers;
    NoView view;
    NoChooser chooser;
    setAddressFromText(buffers.range.end, buffers.resetForChip(chip, view, view));
    FileCommands files(buffers, view, view, host, console, console, chooser, language);
    if (!loadImage(files, args.chip.file, chip, buffers, console))
        return kFileError;
    // Batch mode waits for chips, not for the programmer: without one it would wait on
    // for ever.
    if (usb.prog_open(kProgrammerVendorId, kProgrammerManufacturer, kProgrammerProductId,
                      kProgrammerProduct) != 1) {
        console.showError("the programmer is not connected");
        return kNoProgrammer;
    }
    usb.USB_bulk_close();

    // The window keeps its record beside its settings, which sit beside the catalogue.
    const std::string recordPath =
        !args.record.empty()
            ? args.record
            : batchRecordPathFor(
                  (std::filesystem::path(cataloguePath(options)).parent_path() / "korvat.ini")
                      .string());
    BatchRecord record(recordPath, args.serial.has_value());
    Engine engine(usb, connection, host, buffers, language);
    ConsoleBatch window(engine, connection, buffers, host, chip,
                        splitForSelection(catalogue->name(*slot)), args);
    BatchLoop loop(window, host, record, language, [] { return std::time(nullptr); });
    try {
        loop.run();
    } catch (const Interrupted &) {
        if (connection.busy())
            connection.endOperation(); // CMD_END and close before leaving
        return kInterrupted;
    }
    if (options.json)
        std::printf("{\"command\":\"batch\",\"chip\":%s,\"passes\":%d,\"passed\":%d,"
                    "\"failed\":%d,\"record\":%s}\n",
                    jsonString(fullChipName(window.chipName())).c_str(), loop.passes(),
                    loop.passed(), loop.failed(), jsonString(recordPath).c_str());
    if (loop.recordFailed())
        return kFileError; // a production line does not run unrecorded
    return loop.failed() == 0 ? kSuccess : kTransferError;
}

} // namespace korvat::cli
