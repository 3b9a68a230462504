// The hex view with a 64 MiB block: loading it, and scrolling to the end and back with
// a repaint at each stop (only the rows in sight are painted).
#include "HexView.h"

#include <QApplication>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

// 64 MiB of bytes that never repeat for a page: the view must keep every page.
const std::vector<std::uint8_t> &block() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> b(64u << 20);
        std::uint32_t x = 1;
        for (auto &v : b)
            v = static_cast<std::uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
        return b;
    }();
    return bytes;
}

// An erased 64 MiB chip: every page one value.
const std::vector<std::uint8_t> &erased() {
    static const std::vector<std::uint8_t> bytes(64u << 20, 0xFF);
    return bytes;
}

template <const std::vector<std::uint8_t> &(*image)()>
void BM_HexViewLoad64MiB(benchmark::State &state) {
    HexView view;
    view.resize(800, 600);
    for (auto _ : state)
        view.load(image());
    state.counters["stored_pages"] = static_cast<double>(view.bytes().storedPages());
}

// A find that runs through the whole 64 MiB without a match.
void BM_HexViewFindThrough64MiB(benchmark::State &state) {
    HexView view;
    view.load(block());
    const QByteArray needle("no such text in there", 21);
    for (auto _ : state)
        benchmark::DoNotOptimize(view.find(needle));
}

void BM_HexViewScrollEndAndBack(benchmark::State &state) {
    HexView view;
    view.resize(800, 600);
    view.load(block());
    view.show();
    for (int i = 0; i < 10 && !view.viewport()->isVisible(); ++i)
        QApplication::processEvents();
    QApplication::processEvents();
    int rows = 0;
    for (auto _ : state) {
        QScrollBar *bar = view.verticalScrollBar();
        for (int value : {bar->maximum(), 0}) {
            bar->setValue(value);
            view.viewport()->repaint();
            rows += view.lastPaintedRows();
        }
    }
    state.counters["rows_per_paint"] = static_cast<double>(rows) / (2.0 * state.iterations());
}

BENCHMARK(BM_HexViewLoad64MiB<block>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexViewLoad64MiB<erased>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexViewFindThrough64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexViewScrollEndAndBack)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
