// The boot loader's scenario keys, and the drop-in library that serves the libusb and
// the hidapi calls from one simulator under both libraries' names.
#include "HidHost.h"
#include "Scenario.h"

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace ksim::test;
using ksim::BootLoader;

TEST(BootLoaderScenario, EveryKeyIsApplied) {
    ActiveSim sim;
    const std::string problem = ksim::applyScenario(sim, R"(
        boot-loader appear-after 4
        boot-loader address 0x08004000
        boot-loader page-size 0
        boot-loader return-delay 500
        boot-loader fail-write 7
        boot-loader fail-read 8
        boot-loader silent-after 9
        upgraded-firmware 1.10
        hid-decoy open-fails
        hid-decoy string-fails
        hid-decoy other-ids
        hid-decoy other-manufacturer
        hid-decoy wide-strings
    )");
    EXPECT_EQ(problem, "");
    const BootLoader &boot = sim.bootLoader();
    EXPECT_EQ(boot.appearAfterSearches, 4);
    EXPECT_EQ(boot.loadAddress, 0x08004000u);
    EXPECT_EQ(boot.pageSize, 0);
    EXPECT_EQ(boot.returnDelayMs, 500);
    EXPECT_EQ(boot.failWriteAt, 7);
    EXPECT_EQ(boot.failReadAt, 8);
    EXPECT_EQ(boot.silentAfter, 9);
    EXPECT_EQ(boot.upgradedFirmwareVersion, "1.10");
    EXPECT_EQ(boot.state(), BootLoader::State::Off);
    EXPECT_TRUE(sim.programmerPresent());
    const auto listed = listHid();
    ASSERT_EQ(listed.size(), 5u);
    EXPECT_EQ(listed[2].product, 0x028C);
    EXPECT_EQ(listed[3].manufacturer, L"Another Maker");
}

TEST(BootLoaderScenario, PresentAtStart) {
    ActiveSim sim;
    EXPECT_EQ(ksim::applyScenario(sim, "boot-loader present  # already in the boot loader"), "");
    EXPECT_TRUE(sim.bootLoader().present());
    EXPECT_FALSE(sim.programmerPresent());
    EXPECT_EQ(listHid().size(), 1u);
    EXPECT_EQ(firmwareVersion(), "");
}

TEST(BootLoaderScenario, ProblemsNameTheirLine) {
    const std::pair<const char *, const char *> cases[] = {
        {"boot-loader", "line 1: boot-loader needs a setting"},
        {"boot-loader appear-after", "line 1: boot-loader needs a setting"},
        {"boot-loader appear-after x", "line 1: boot-loader needs a setting"},
        {"boot-loader present now", "line 1: boot-loader needs a setting"},
        {"boot-loader page-size 0x10000", "line 1: unknown boot-loader setting page-size"},
        {"boot-loader address 0x100000000", "line 1: unknown boot-loader setting address"},
        {"boot-loader fail-write 0", "line 1: unknown boot-loader setting fail-write"},
        {"\nboot-loader speed 3", "line 2: unknown boot-loader setting speed"},
        {"hid-decoy gremlin", "line 1: unknown hid-decoy"},
        {"hid-decoy", "line 1: unknown hid-decoy"},
        {"upgraded-firmware", "line 1: upgraded-firmware needs a firmware version"},
        {"upgraded-firmware 1 2", "line 1: upgraded-firmware needs a firmware version"},
    };
    for (const auto &[text, expected] : cases) {
        ksim::Simulator sim;
        const std::string problem = ksim::applyScenario(sim, text);
        EXPECT_EQ(problem.rfind(expected, 0), 0u) << text << " -> " << problem;
    }
}

namespace {

// A scenario file for the drop-in, removed at the end of the test.
struct ScenarioFile {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("korvat-boot-" + std::to_string(getpid()) + ".txt");
    explicit ScenarioFile(const char *text) {
        std::ofstream(path) << text;
        setenv("KORVAT_SIM", path.c_str(), 1);
    }
    ~ScenarioFile() {
        unsetenv("KORVAT_SIM");
        std::filesystem::remove(path);
    }
};

template <typename F> F bind(void *library, const char *name) {
    return reinterpret_cast<F>(dlsym(library, name));
}

} // namespace

// Under both names the dynamic loader maps the one file once, so a program that binds
// hidapi and libusb 0.1 at run time talks to one simulator: an upgrade through the HID
// calls shows in the firmware version the libusb calls read afterwards.
TEST(BootLoaderDropIn, OneLibraryUnderBothNames) {
    ScenarioFile scenario("hid-decoy other-ids\nboot-loader present\nupgraded-firmware 1.10\n");
    void *hidLib = dlopen(KORVAT_SIM_LIBRARY_DIR "/libhidapi-hidraw.so.0", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hidLib, nullptr) << dlerror();
    void *usbLib = dlopen(KORVAT_SIM_LIBRARY_DIR "/libusb-0.1.so.4", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(usbLib, nullptr) << dlerror();
    EXPECT_EQ(hidLib, usbLib);
    ASSERT_NE(dlsym(hidLib, "hid_enumerate"), nullptr);
    EXPECT_EQ(dlsym(hidLib, "hid_enumerate"), dlsym(usbLib, "hid_enumerate"));
    EXPECT_EQ(dlsym(hidLib, "usb_bulk_read"), dlsym(usbLib, "usb_bulk_read"));
    for (const char *name : {"hid_init", "hid_exit", "hid_free_enumeration", "hid_open_path",
                             "hid_write", "hid_read_timeout", "hid_read", "hid_send_feature_report",
                             "hid_get_feature_report", "hid_close", "hid_get_manufacturer_string",
                             "hid_get_product_string", "hid_error", "hid_open"})
        EXPECT_NE(dlsym(hidLib, name), nullptr) << name;
    EXPECT_EQ(dlsym(hidLib, "_ZN4ksim9Simulator6activeEv"), nullptr); // nothing else exported

    // The upgrade, through the library opened as hidapi.
    bind<decltype(&hid_init)>(hidLib, "hid_init")();
    auto enumerate = bind<decltype(&hid_enumerate)>(hidLib, "hid_enumerate");
    auto freeList = bind<decltype(&hid_free_enumeration)>(hidLib, "hid_free_enumeration");
    auto openPath = bind<decltype(&hid_open_path)>(hidLib, "hid_open_path");
    auto write = bind<decltype(&hid_write)>(hidLib, "hid_write");
    auto readTimeout = bind<decltype(&hid_read_timeout)>(hidLib, "hid_read_timeout");
    auto close = bind<decltype(&hid_close)>(hidLib, "hid_close");
    hid_device_info *devs = enumerate(0x28E9, 0x028B);
    ASSERT_NE(devs, nullptr);
    EXPECT_EQ(devs->next, nullptr); // the decoy has other ids
    hid_device *dev = openPath(devs->path);
    freeList(devs);
    ASSERT_NE(dev, nullptr);
    std::vector<std::uint8_t> r = report(0x01);
    EXPECT_EQ(write(dev, r.data(), r.size()), 64);
    unsigned char in[64] = {};
    EXPECT_EQ(readTimeout(dev, in, 64, 100), 64);
    EXPECT_EQ(in[0], 1);
    r = report(0x03, std::vector<std::uint8_t>(62, 0xA5));
    EXPECT_EQ(write(dev, r.data(), r.size()), 64);
    r = report(0x04);
    EXPECT_EQ(write(dev, r.data(), r.size()), 64);
    close(dev);

    // The programmer back, through the library opened as libusb 0.1.
    bind<decltype(&usb_init)>(usbLib, "usb_init")();
    bind<decltype(&usb_find_busses)>(usbLib, "usb_find_busses")();
    EXPECT_EQ(bind<decltype(&usb_find_devices)>(usbLib, "usb_find_devices")(), 1);
    usb_bus *bus = bind<decltype(&usb_get_busses)>(usbLib, "usb_get_busses")();
    ASSERT_NE(bus, nullptr);
    ASSERT_NE(bus->devices, nullptr);
    usb_dev_handle *h = bind<decltype(&usb_open)>(usbLib, "usb_open")(bus->devices);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(bind<decltype(&usb_claim_interface)>(usbLib, "usb_claim_interface")(h, 0), 0);
    char block[64] = {0, 12};
    auto bulkWrite = bind<decltype(&usb_bulk_write)>(usbLib, "usb_bulk_write");
    auto bulkRead = bind<decltype(&usb_bulk_read)>(usbLib, "usb_bulk_read");
    EXPECT_EQ(bulkWrite(h, 0x01, block, 64, 1000), 64);
    EXPECT_EQ(bulkRead(h, 0x81, block, 64, 1000), 64);
    EXPECT_STREQ(block + 46, "1.10");
    bind<decltype(&usb_release_interface)>(usbLib, "usb_release_interface")(h, 0);
    bind<decltype(&usb_close)>(usbLib, "usb_close")(h);
    dlclose(usbLib);
    dlclose(hidLib);
}
