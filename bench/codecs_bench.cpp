// Reading and writing a 16 MiB image of random bytes as Intel HEX and as S-records, and
// the buffer checksum of a full 64 MiB buffer.
#include "buffers/Checksum.h"
#include "buffers/IntelHex.h"
#include "buffers/SRecord.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace korvat;

constexpr std::size_t kImage = 16u << 20;

struct NullSink : MessageSink {
    int count = 0;
    void showError(std::string_view) override { ++count; }
};

const std::vector<std::uint8_t> &image() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::mt19937_64 gen(42);
        std::vector<std::uint8_t> b(kImage);
        for (auto &x : b)
            x = static_cast<std::uint8_t>(gen());
        return b;
    }();
    return bytes;
}

std::string scratch(const char *name) {
    const char *tmp = std::getenv("TMPDIR");
    return std::string(tmp ? tmp : "/tmp") + "/korvat-bench-" + std::to_string(getpid()) + name;
}

template <bool (*Write)(const std::string &, std::span<const std::uint8_t>, std::uint32_t)>
void writeBench(benchmark::State &state, const char *name) {
    const std::string path = scratch(name);
    for (auto _ : state)
        if (!Write(path, image(), 0))
            state.SkipWithError("write failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kImage));
    std::remove(path.c_str());
}

template <bool (*Write)(const std::string &, std::span<const std::uint8_t>, std::uint32_t),
          std::uint32_t (*Read)(const std::string &, std::span<std::uint8_t>, MessageSink &)>
void readBench(benchmark::State &state, const char *name) {
    const std::string path = scratch(name);
    Write(path, image(), 0);
    std::vector<std::uint8_t> buffer(kImage);
    NullSink sink;
    for (auto _ : state)
        if (Read(path, buffer, sink) != kImage)
            state.SkipWithError("read failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kImage));
    std::remove(path.c_str());
}

void BM_WriteIntelHex(benchmark::State &s) {
    writeBench<writeIntelHex>(s, ".hex");
}
void BM_ReadIntelHex(benchmark::State &s) {
    readBench<writeIntelHex, readIntelHex>(s, ".hex");
}
void BM_WriteSRecord(benchmark::State &s) {
    writeBench<writeSRecord>(s, ".src");
}
void BM_ReadSRecord(benchmark::State &s) {
    readBench<writeSRecord, readSRecord>(s, ".src");
}

// What the checksum panel costs after a 64 MiB chip was read or opened.
void BM_Checksum64MiB(benchmark::State &state) {
    std::vector<std::uint8_t> flash(64u << 20);
    for (std::size_t i = 0; i < flash.size(); i += kImage)
        std::copy(image().begin(), image().end(), flash.begin() + static_cast<std::ptrdiff_t>(i));
    for (auto _ : state)
        benchmark::DoNotOptimize(checksumText(flash, static_cast<std::int64_t>(flash.size())));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * flash.size()));
}

BENCHMARK(BM_Checksum64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteIntelHex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadIntelHex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteSRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSRecord)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
