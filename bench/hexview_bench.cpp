// The hex view with a 64 MiB block: loading it, and scrolling to the end and back with
// a repaint at each stop (only the rows in sight are painted).
#include "HexView.h"

#include <QApplication>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

const std::vector<std::uint8_t> &block() {
    static const std::vector<std::uint8_t> bytes(64u << 20, 0xA5);
    return bytes;
}

void BM_HexViewLoad64MiB(benchmark::State &state) {
    HexView view;
    view.resize(800, 600);
    for (auto _ : state)
        view.load(block());
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

BENCHMARK(BM_HexViewLoad64MiB)->Unit(benchmark::kMillisecond);
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
