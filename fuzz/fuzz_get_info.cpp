// The GET_INFO reply: any 65 bytes give three texts within their fields.
#include "FuzzInput.h"
#include "link/FirmwareUpgrade.h"

#include <algorithm>
#include <array>
#include <cstring>

using namespace korvat;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::array<std::uint8_t, 65> block{};
    std::memcpy(block.data(), data, std::min(size, block.size()));
    const HardwareInfo info = takeInfo(block);
    fuzz::require(info.hardware.size() <= 3, "hardware version past its field");
    fuzz::require(info.firmware.size() <= 5, "firmware version past its field");
    fuzz::require(info.serial.size() <= 13, "serial number past its field");
    for (const std::string *s : {&info.hardware, &info.firmware, &info.serial})
        fuzz::require(s->find('\0') == std::string::npos, "a text holds a zero");
    return 0;
}
