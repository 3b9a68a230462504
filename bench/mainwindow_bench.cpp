// The main window with the shipped catalogue: start-up to shown, the peak memory with a
// 64 MiB chip selected and its view loaded, a Read, and Open and Save of large images.
#include "HexView.h"
#include "Unit1.h"
#include "Unit3.h"
#include "Unit4.h"
#include "WindowHost.h"
#include "app/RecordingDialogs.h"
#include "buffers/FileIO.h"
#include "link/SimBinding.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

// A folder holding a copy of the shipped catalogue and no settings file.
QString freshBase(QTemporaryDir &dir) {
    const QString base = dir.path() + QStringLiteral("/korvat");
    QFile::copy(QStringLiteral(KORVAT_CATALOGUE_FILE), base + QStringLiteral(".Dat"));
    return base;
}

// Private memory now (RssAnon): the process's own bytes, without the pages of the
// shared libraries and fonts that peak_MiB includes.
double anonMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

double peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Selects the first chip the search window finds for the name, as a person would.
void choose(TForm1 &w, const char *name) {
    TForm3 *search = w.searchWindow();
    search->ComboBox1->setEditText(QString::fromLatin1(name));
    search->ListView1->setCurrentItem(search->ListView1->topLevelItem(0));
    search->BitBtn1Click();
}

// Shows the window and selects the chip, as a person starts.
void showWithChip(benchmark::State &state, TForm1 &w, const char *chip) {
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        state.SkipWithError("the window was not shown");
    choose(w, chip);
}

// A 25-series chip in the simulated socket with data up to its last byte; the
// simulator keeps no transfer bytes in its log.
void insertFullChip(ksim::Simulator &sim, std::uint32_t id, std::uint32_t size) {
    sim.logData = false;
    sim.programmer().insert(ksim::Chip(ksim::Family::Spi25, id, size));
    std::uint8_t v = 0;
    for (auto &cell : sim.chip().memory())
        cell = v += 13;
}

// Starts the window on the shipped catalogue, lets prepare load the FLASH view with
// 64 MiB, and reports the process's peak and its private memory with that view.
template <typename Prepare> void peakMemory(benchmark::State &state, Prepare prepare) {
    QTemporaryDir dir;
    const QString base = freshBase(dir);
    for (auto _ : state) {
        RecordingDialogs dialogs;
        TForm1 w(base, korvat::UsbApi::unavailable(), &dialogs);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            state.SkipWithError("the window was not shown");
        prepare(w);
        QApplication::processEvents();
        if (w.FlashEditor->dataSize() != 64u << 20 || !dialogs.errors.empty())
            state.SkipWithError("the FLASH view does not hold 64 MiB");
        state.counters["anon_MiB"] = anonMiB();
    }
    state.counters["peak_MiB"] = peakMiB();
}

// Runs first, so the process's peak is this window's own: an erased 64 MiB chip.
void BM_PeakMemoryWith64MiBChip(benchmark::State &state) {
    peakMemory(state, [](TForm1 &w) { choose(w, "GD25B512MF"); });
}

// Then random bytes over all 64 MiB (through the fill window), so the view holds a
// full copy: the peak after a Read of a full chip.
void BM_PeakMemoryWith64MiBChipFull(benchmark::State &state) {
    peakMemory(state, [](TForm1 &w) {
        TForm4 *fill = w.fillWindow();
        fill->RadioButton3->setChecked(true);
        fill->Edit3->setText(QStringLiteral("0"));
        fill->Edit4->setText(QStringLiteral("3FFFFFF"));
        fill->BitBtn1Click();
    });
}

// A 16 MiB Read from the toolbar against the zero-latency simulator: the host's own
// time (transport, engine, event pumps, bar updates, view reload), without the waits
// the protocol prescribes, which the window sleeps and counts.
void BM_ReadThroughWindow16MiB(benchmark::State &state) {
    QTemporaryDir dir;
    const QString base = freshBase(dir);
    korvat::test::ActiveSimulator sim;
    insertFullChip(sim, 0xEF4018, 16u << 20);
    RecordingDialogs dialogs;
    TForm1 w(base, korvat::test::simulatedUsb(), &dialogs);
    showWithChip(state, w, "W25Q128");
    for (auto _ : state) {
        const long long slept = w.host().sleptMilliseconds();
        QElapsedTimer clock;
        clock.start();
        w.ToolReadClick();
        const double waits = static_cast<double>(w.host().sleptMilliseconds() - slept) / 1000.0;
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9 - waits);
        state.counters["waits_s"] = waits;
        if (w.buffers().loadedLength == 0 || !dialogs.errors.empty())
            state.SkipWithError(dialogs.errors.empty() ? "nothing was read"
                                                       : dialogs.errors[0].c_str());
    }
    state.counters["bar_updates"] = static_cast<double>(w.host().barUpdates());
}

// A Read of a full 64 MiB chip from the toolbar against the simulator: the process's
// peak with the simulated chip's own 64 MiB, the FLASH buffer and the view's copy.
// Run it alone (--benchmark_filter=Read64MiB) so the peak is the read's own.
void BM_PeakMemoryRead64MiB(benchmark::State &state) {
    QTemporaryDir dir;
    const QString base = freshBase(dir);
    korvat::test::ActiveSimulator sim;
    insertFullChip(sim, 0xC8401A, 64u << 20);
    for (auto _ : state) {
        RecordingDialogs dialogs;
        TForm1 w(base, korvat::test::simulatedUsb(), &dialogs);
        showWithChip(state, w, "GD25B512MF");
        const double before = peakMiB();
        w.ToolReadClick();
        if (w.buffers().loadedLength != 64 << 20 || !dialogs.errors.empty())
            state.SkipWithError("the chip was not read whole");
        state.counters["peak_before_read_MiB"] = before;
        state.counters["anon_MiB"] = anonMiB();
    }
    state.counters["peak_MiB"] = peakMiB();
}

// A file of size bytes that are not all alike, in the format of its name, written by
// the program's own saver.
QString imageFile(QTemporaryDir &dir, const char *name, std::uint32_t size) {
    std::vector<std::uint8_t> image(size);
    std::uint8_t v = 0;
    for (auto &b : image)
        b = v += 29;
    const QString path = dir.filePath(QString::fromLatin1(name));
    RecordingDialogs quiet;
    korvat::saveFile(path.toStdString(), image, quiet, quiet, 2);
    return path;
}

// Open from the toolbar, the dialog answering at once: the load, the view reload and
// the checksum, as the person waits for them.
void openThroughWindow(benchmark::State &state, const char *chip, const char *name,
                       std::uint32_t size) {
    QTemporaryDir dir;
    const QString base = freshBase(dir);
    const QString file = imageFile(dir, name, size);
    RecordingDialogs dialogs;
    TForm1 w(base, korvat::UsbApi::unavailable(), &dialogs);
    showWithChip(state, w, chip);
    for (auto _ : state) {
        dialogs.files.push_back(file.toStdString());
        w.ToolOpenClick();
        if (w.buffers().loadedLength != static_cast<std::int32_t>(size) || !dialogs.errors.empty())
            state.SkipWithError("the file was not opened whole");
    }
}

void BM_OpenThroughWindow16MiBHex(benchmark::State &state) {
    openThroughWindow(state, "W25Q128", "image.hex", 16u << 20);
}

void BM_OpenThroughWindow64MiBRaw(benchmark::State &state) {
    openThroughWindow(state, "GD25B512MF", "image.bin", 64u << 20);
}

// Save from the menu as Intel HEX, a full 16 MiB chip, until the file is on the disk.
void BM_SaveThroughWindow16MiBHex(benchmark::State &state) {
    QTemporaryDir dir;
    const QString base = freshBase(dir);
    const QString source = imageFile(dir, "image.bin", 16u << 20);
    RecordingDialogs dialogs;
    TForm1 w(base, korvat::UsbApi::unavailable(), &dialogs);
    showWithChip(state, w, "W25Q128");
    dialogs.files.push_back(source.toStdString());
    w.ToolOpenClick();
    const QString target = dir.filePath(QStringLiteral("saved.hex"));
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(target);
        dialogs.files.push_back(target.toStdString());
        state.ResumeTiming();
        w.ToolSaveClick();
        if (!QFile::exists(target) || !dialogs.errors.empty())
            state.SkipWithError("nothing was saved");
    }
}

void BM_StartUpToShown(benchmark::State &state) {
    QTemporaryDir dir;
    const QString base = freshBase(dir);
    for (auto _ : state) {
        RecordingDialogs dialogs;
        TForm1 w(base, korvat::UsbApi::unavailable(), &dialogs);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w) || w.ComboBox1->count() == 0)
            state.SkipWithError("the window did not come up with the catalogue");
        state.PauseTiming(); // closing is not start-up
        w.hide();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}

// One line put on top of the main window's log that already holds range(0) lines: a
// batch run adds five lines a chip, so a day's production must not slow each one down.
void BM_LogLineOnTopOf(benchmark::State &state) {
    QTemporaryDir dir;
    RecordingDialogs dialogs;
    TForm1 w(freshBase(dir), korvat::UsbApi::unavailable(), &dialogs);
    w.show();
    const int language = 2;
    WindowHost host(*w.Panel1, *w.RichEdit1, *w.Progress, *w.Progress2, *w.StatusPanels[2],
                    *w.StatusPanels[3], dialogs, language);
    const std::string line = "12:34:56 #1234 PASS, 1234 passed, 0 failed";
    for (std::int64_t i = 0; i < state.range(0); ++i)
        host.insertLogLine(line);
    for (auto _ : state)
        host.insertLogLine(line);
}

BENCHMARK(BM_PeakMemoryWith64MiBChip)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemoryWith64MiBChipFull)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadThroughWindow16MiB)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemoryRead64MiB)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpToShown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenThroughWindow16MiBHex)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenThroughWindow64MiBRaw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveThroughWindow16MiBHex)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LogLineOnTopOf)->Arg(100)->Arg(25000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
