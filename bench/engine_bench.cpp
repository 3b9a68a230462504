// The host's own cost of read, blank check, verify and write of a 16 MiB chip against
// the zero-latency simulator: the prescribed waits are counted, not slept, events are
// pumped after every transfer, and progress is drawn only when a bar's drawn position
// changes, as the window does it. And the cost of the check every command starts with:
// the detection exchange and its comparison with the selected chip in a full catalogue.
#include "buffers/BufferView.h"
#include "buffers/Buffers.h"
#include "catalogue/Catalogue.h"
#include "link/Connection.h"
#include "link/SimBinding.h"
#include "link/Usbbulk.h"
#include "ops/Engine.h"
#include "base/OperationHost.h"
#include "ops/SocketCheck.h"

#include <cstdio>

#include <benchmark/benchmark.h>
#include <cstring>

namespace {

using namespace korvat;

constexpr std::uint32_t kChip = 16u << 20;
constexpr std::uint32_t kBarPixels = 400;

struct BenchHost : OperationHost {
    std::uint32_t maximum = 1;
    std::uint32_t drawn = 0;
    std::int64_t redraws = 0, pumps = 0, sleptMs = 0;
    void setStatusText(std::string_view) override {}
    void insertLogLine(std::string_view) override {}
    std::string firstLogLine() const override { return {}; }
    std::string timeText() const override { return "12:00:00"; }
    void setProgressVisible(bool) override {}
    void setProgressMaximum(std::uint32_t m) override { maximum = m ? m : 1; }
    bool setProgressValue(std::uint32_t v) override {
        const auto x = static_cast<std::uint32_t>(std::uint64_t{v} * kBarPixels / maximum);
        if (x == drawn)
            return false;
        drawn = x;
        redraws += 2; // both bars
        return true;
    }
    void setTransferText(std::string_view, std::string_view) override {}
    void processEvents() override { ++pumps; }
    void showError(std::string_view) override {}
    void beep() override {}
    double seconds() const override { return 0; }
    void sleep(int ms) override { sleptMs += ms; }
};

struct NullView : BufferView {
    std::size_t size = 0;
    void load(std::span<const std::uint8_t> b) override { size = b.size(); }
    bool modified() const override { return false; }
    void setModified(bool) override {}
    std::size_t dataSize() const override { return size; }
    void copyOut(std::span<std::uint8_t>) const override {}
};

struct Rig {
    ksim::Simulator sim;
    BenchHost host;
    int language = 2;
    TUsbBulk usb;
    Connection connection;
    Buffers buffers;
    Catalogue catalogue;
    Engine engine;
    NullView view;
    static constexpr int kSlot = 998; // the last of a full catalogue

    Rig()
        : usb(korvat::test::simulatedUsb(), {}, [this](int ms) { host.sleep(ms); }),
          connection(usb, host, language),
          engine(usb, connection, host, buffers, catalogue, language) {
        ksim::Simulator::activate(&sim);
        sim.logData = false;
        sim.programmer().insert(ksim::Chip(ksim::Family::Spi25, 0xEF4018, kChip));
        for (int slot = 0; slot <= kSlot; ++slot) {
            ChipRecord &chip = catalogue.slot(slot);
            std::snprintf(chip.nameText, sizeof chip.nameText, "25_SPI_FLASH,Maker%d,Chip%d",
                          slot % 40, slot);
            chip.chipId = 0xC80000u + static_cast<std::uint32_t>(slot);
            chip.capacity = kChip;
            chip.flashPage = 256;
            chip.delay = 100;
        }
        catalogue.slot(kSlot).chipId = 0xEF4018;
        buffers.loadedLength = static_cast<std::int32_t>(kChip);
    }
};

void runEngine(benchmark::State &state, Operation op) {
    Rig rig;
    for (auto _ : state) {
        rig.engine.run(op, Rig::kSlot, 0, rig.view);
        state.PauseTiming();
        rig.sim.clearLog();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kChip);
    state.counters["redraws"] = static_cast<double>(rig.host.redraws) / state.iterations();
    state.counters["pumps"] = static_cast<double>(rig.host.pumps) / state.iterations();
    state.counters["waited_ms"] = static_cast<double>(rig.host.sleptMs) / state.iterations();
}

void BM_Read16MiB(benchmark::State &s) {
    runEngine(s, Operation::Read);
}
void BM_BlankCheck16MiB(benchmark::State &s) {
    runEngine(s, Operation::BlankCheck);
}
void BM_Verify16MiB(benchmark::State &s) {
    runEngine(s, Operation::Verify);
}
void BM_Write16MiB(benchmark::State &s) {
    runEngine(s, Operation::Write);
}

// The exchange (open, CMD_READ_ID and its reply, CMD_END, close) and the comparison;
// waited_ms is the wait the exchange prescribes before its reply is read.
void BM_SocketCheck(benchmark::State &state) {
    Rig rig;
    for (auto _ : state) {
        const ChipIdentity id = rig.connection.readChipIdentity(rig.catalogue.slot(Rig::kSlot), 0);
        const SocketFinding found = compareWithSelected(id, rig.catalogue, Rig::kSlot, 2);
        benchmark::DoNotOptimize(found.state);
        state.PauseTiming();
        rig.sim.clearLog();
        state.ResumeTiming();
    }
    state.counters["waited_ms"] = static_cast<double>(rig.host.sleptMs) / state.iterations();
}

BENCHMARK(BM_SocketCheck)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Read16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlankCheck16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Verify16MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write16MiB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
