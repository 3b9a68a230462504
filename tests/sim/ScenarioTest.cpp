#include "Scenario.h"
#include "../link/SimBinding.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using ksim::Family;
using ksim::Simulator;

TEST(Scenario, DefaultIsAnErased8MiBFlash) {
    Simulator sim;
    EXPECT_EQ(sim.chip().family(), Family::Spi25);
    EXPECT_EQ(sim.chip().id(), 0xEF4017u);
    EXPECT_EQ(sim.chip().size(), 8u << 20);
    EXPECT_EQ(sim.chip().memory()[12345], 0xFF);
}

TEST(Scenario, EveryKeyIsApplied) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("korvat-scn-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "img.bin", std::ios::binary) << "\x01\x02\x03";

    Simulator sim;
    const std::string problem = ksim::applyScenario(sim, R"(
        # a 95-series EEPROM with a file in it
        chip 95 0 64K
        image img.bin
        protect on
        erase-polls 9
        id-type 3
        info 2.1 3.04 SN42
        decoy other-product
        decoy second-programmer
        fault unplug 40
        fault timeout 7
        fault short 9
        fault stuck-busy
        fault flip 0x10 0x80
        timing realistic
        log off
    )",
                                                    dir.string());
    EXPECT_EQ(problem, "");
    const ksim::Firmware &fw = sim.programmer();
    EXPECT_EQ(sim.chip().family(), Family::Spi95);
    EXPECT_EQ(sim.chip().size(), 65536u);
    EXPECT_EQ(sim.chip().memory()[2], 0x03);
    EXPECT_EQ(sim.chip().memory()[3], 0xFF);
    EXPECT_TRUE(sim.chip().writeProtected);
    EXPECT_EQ(fw.erasePolls, 9);
    EXPECT_EQ(sim.chip().idType, 3);
    EXPECT_EQ(fw.serialNumber, "SN42");
    EXPECT_EQ(sim.programmer(1).serialNumber, "KV2000002");
    EXPECT_EQ(sim.faults.unplugAtTransfer, 40);
    EXPECT_EQ(sim.faults.timeoutAtTransfer, 7);
    EXPECT_EQ(sim.faults.shortAtTransfer, 9);
    EXPECT_TRUE(fw.stuckBusy);
    EXPECT_EQ(fw.readFlips.at(0x10), 0x80);
    EXPECT_TRUE(sim.realisticTiming);
    EXPECT_FALSE(sim.logData);
    fs::remove_all(dir);
}

TEST(Scenario, EmptySocket) {
    Simulator sim;
    EXPECT_EQ(ksim::applyScenario(sim, "chip none"), "");
    EXPECT_FALSE(sim.chip().present());
}

TEST(Scenario, ProblemsNameTheirLine) {
    const std::pair<const char *, const char *> cases[] = {
        {"chip 26 EF4017 8M", "line 1: chip needs a family"},
        {"\nchip 25 XYZ 8M", "line 2: chip needs: family"},
        {"chip 25 EF4017 0", "line 1: chip needs: family"},
        {"fault unplug", "line 1: unknown fault"},
        {"decoy gremlin", "line 1: unknown decoy"},
        {"image /no/such/file", "line 1: cannot read image"},
        {"speed 9", "line 1: unknown key speed"},
    };
    for (const auto &[text, expected] : cases) {
        Simulator sim;
        const std::string problem = ksim::applyScenario(sim, text);
        EXPECT_EQ(problem.rfind(expected, 0), 0u) << text << " -> " << problem;
    }
    Simulator sim;
    EXPECT_EQ(ksim::applyScenarioFile(sim, "/no/such/scenario").rfind("cannot read scenario", 0),
              0u);
}

// A kept chip is loaded from its file and written back at every close of the programmer.
TEST(Scenario, KeptChipOutlivesTheSimulator) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("korvat-keep-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "scenario.txt") << "chip 25 EF4014 1M\nkeep chip.bin\n";
    {
        korvat::test::ActiveSimulator sim;
        ASSERT_EQ(ksim::applyScenarioFile(sim, (dir / "scenario.txt").string()), "");
        sim.chip().memory()[7] = 0x42;
        sim.findBusses();
        sim.findDevices();
        usb_dev_handle *h = sim.open(sim.getBusses()->devices);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(sim.close(h), 0);
    }
    EXPECT_EQ(fs::file_size(dir / "chip.bin"), 1u << 20);
    Simulator next;
    ASSERT_EQ(ksim::applyScenarioFile(next, (dir / "scenario.txt").string()), "");
    EXPECT_EQ(next.chip().memory()[7], 0x42);
    EXPECT_EQ(next.chip().memory()[8], 0xFF);
    fs::remove_all(dir);
}
