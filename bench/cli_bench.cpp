// korvat-cli as a production line runs it: one program per command against the drop-in
// simulator at zero latency. The host time is the programs' own processor time, so the
// waits the protocol prescribes (which the programs sleep through) are left out.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kDir = fs::temp_directory_path() / ("korvat-cli-bench-" + std::to_string(getpid()));

double childCpuSeconds() {
    rusage r{};
    getrusage(RUSAGE_CHILDREN, &r);
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

int run(const std::string &arguments, bool simulated = true) {
    const std::string environment = simulated
                                        ? "env LD_LIBRARY_PATH=" KORVAT_SIM_DIR " KORVAT_SIM=" +
                                              (kDir / "scenario.txt").string() + " "
                                        : std::string("env -u KORVAT_SIM -u LD_LIBRARY_PATH ");
    const std::string command = environment + KORVAT_CLI " -q " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A 16 MiB image of varied bytes as Intel HEX, and a 16 MiB chip kept between programs.
void prepare() {
    fs::create_directories(kDir);
    std::ofstream(kDir / "scenario.txt") << "chip 25 EF4018 16M\nkeep chip.bin\n";
    std::string bytes(16u << 20, '\0');
    std::mt19937 gen(1);
    for (char &c : bytes)
        c = static_cast<char>(gen());
    std::ofstream(kDir / "image.bin", std::ios::binary) << bytes;
    run("convert " + (kDir / "image.bin").string() + " " + (kDir / "image.hex").string() +
        " --force");
}

// write + verify of a 16 MiB HEX file: the two programs' processor time.
void WriteVerify16MiBHex(benchmark::State &state) {
    prepare();
    const std::string hex = (kDir / "image.hex").string();
    for (auto _ : state) {
        const double before = childCpuSeconds();
        const int wrote = run("write " + hex + " --chip W25Q128");
        const int verified = run("verify " + hex + " --chip W25Q128");
        state.SetIterationTime(childCpuSeconds() - before);
        if (wrote != 0 || verified != 0)
            state.SkipWithError("write or verify failed");
    }
    fs::remove_all(kDir);
}
// The figures of a shared machine wander: the median of five runs is the one to read.
BENCHMARK(WriteVerify16MiBHex)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The same work in one program (auto without its erase): no chip kept between programs,
// so the simulator's own file keeping stays out of the figure.
void WriteAndVerifyInOneProgram16MiBHex(benchmark::State &state) {
    prepare();
    std::ofstream(kDir / "scenario.txt") << "chip 25 EF4018 16M\n";
    const std::string hex = (kDir / "image.hex").string();
    for (auto _ : state) {
        const double before = childCpuSeconds();
        const int done = run("auto " + hex + " --no-erase --chip W25Q128");
        state.SetIterationTime(childCpuSeconds() - before);
        if (done != 0)
            state.SkipWithError("auto failed");
    }
    fs::remove_all(kDir);
}
BENCHMARK(WriteAndVerifyInOneProgram16MiBHex)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// From the start of the program to its first USB call and out again: devices on the
// system's own USB library, with no programmer attached, makes one bus scan and ends.
void StartUpToFirstUsbCall(benchmark::State &state) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        run("devices", false);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(StartUpToFirstUsbCall)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
