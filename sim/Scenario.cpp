#include "Scenario.h"

#include "Simulator.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace ksim {
namespace {

bool parseNumber(const std::string &text, std::uint64_t &value) {
    if (text.empty())
        return false;
    std::string digits = text;
    std::uint64_t scale = 1;
    const char last = digits.back();
    if (last == 'K' || last == 'k')
        scale = 1024;
    else if (last == 'M' || last == 'm')
        scale = 1024 * 1024;
    if (scale != 1)
        digits.pop_back();
    try {
        std::size_t used = 0;
        value = std::stoull(digits, &used, 0) * scale;
        return used == digits.size();
    } catch (...) {
        return false;
    }
}

bool parseHex(const std::string &text, std::uint64_t &value) {
    try {
        std::size_t used = 0;
        value = std::stoull(text, &used, 16);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

bool parseDecoy(const std::string &name, Decoy &decoy) {
    static const std::pair<const char *, Decoy> kNames[] = {
        {"other-manufacturer", Decoy::OtherManufacturer},
        {"other-product", Decoy::OtherProduct},
        {"other-ids", Decoy::OtherIds},
        {"wide-strings", Decoy::WideStrings},
        {"not-a-string-descriptor", Decoy::NotAStringDescriptor},
        {"open-fails", Decoy::OpenFails},
        {"claim-fails", Decoy::ClaimFails},
        {"string-fails", Decoy::StringFails},
        {"no-interface", Decoy::NoInterface},
        {"second-programmer", Decoy::SecondProgrammer},
    };
    for (const auto &[text, value] : kNames)
        if (name == text) {
            decoy = value;
            return true;
        }
    return false;
}

bool parseAccess(const std::string &name, Access &access) {
    static const std::pair<const char *, Access> kNames[] = {
        {"granted", Access::Granted},
        {"denied", Access::Denied},
        {"read-only", Access::ReadOnly},
    };
    for (const auto &[text, value] : kNames)
        if (name == text) {
            access = value;
            return true;
        }
    return false;
}

bool parseHidDecoy(const std::string &name, HidDecoy &decoy) {
    static const std::pair<const char *, HidDecoy> kNames[] = {
        {"open-fails", HidDecoy::OpenFails},
        {"string-fails", HidDecoy::StringFails},
        {"product-string-fails", HidDecoy::ProductStringFails},
        {"other-ids", HidDecoy::OtherIds},
        {"other-manufacturer", HidDecoy::OtherManufacturer},
        {"wide-strings", HidDecoy::WideStrings},
    };
    for (const auto &[text, value] : kNames)
        if (name == text) {
            decoy = value;
            return true;
        }
    return false;
}

bool readImage(const std::string &path, std::vector<std::uint8_t> &image) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    image.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    return static_cast<bool>(in.read(reinterpret_cast<char *>(image.data()), size));
}

// One line's words after the key.
struct Line {
    std::string key;
    std::vector<std::string> args;
};

// boot-loader SETTING [VALUE]
std::string applyBootLoader(Simulator &sim, const std::vector<std::string> &a) {
    BootLoader &boot = sim.bootLoader();
    if (a.size() == 1 && a[0] == "present") {
        boot.showNow();
        return {};
    }
    std::uint64_t n = 0;
    if (a.size() != 2 || !parseNumber(a[1], n))
        return "boot-loader needs a setting and a number, or present";
    const std::string &what = a[0];
    const bool count = n <= 1000000;
    if (what == "appear-after" && count)
        boot.appearAfterSearches = static_cast<int>(n);
    else if (what == "address" && n <= 0xFFFFFFFFu)
        boot.loadAddress = static_cast<std::uint32_t>(n);
    else if (what == "page-size" && n <= 0xFFFF)
        boot.pageSize = static_cast<std::uint16_t>(n);
    else if (what == "return-delay" && count)
        boot.returnDelayMs = static_cast<int>(n);
    else if (what == "fail-write" && count && n > 0)
        boot.failWriteAt = static_cast<int>(n);
    else if (what == "fail-read" && count && n > 0)
        boot.failReadAt = static_cast<int>(n);
    else if (what == "silent-after" && count)
        boot.silentAfter = static_cast<int>(n);
    else
        return "unknown boot-loader setting " + what + " " + a[1];
    return {};
}

std::string applyLine(Simulator &sim, const Line &line, const std::string &baseDir) {
    const auto &a = line.args;
    std::uint64_t n = 0, m = 0;
    Firmware &fw = sim.programmer();
    if (line.key == "chip") {
        Family family;
        if (a.empty() || !parseFamily(a[0], family))
            return "chip needs a family: 25, 24, 93, 95, avr or none";
        if (family == Family::Empty) {
            fw.insert(Chip());
            return {};
        }
        if (a.size() != 3 || !parseHex(a[1], n) || !parseNumber(a[2], m) || m == 0 ||
            m > (1u << 30))
            return "chip needs: family, hexadecimal ID, size";
        fw.insert(Chip(family, static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(m)));
    } else if (line.key == "image") {
        if (a.size() != 1)
            return "image needs one path";
        const std::string path = a[0].front() == '/' ? a[0] : baseDir + "/" + a[0];
        std::vector<std::uint8_t> image;
        if (!readImage(path, image))
            return "cannot read image " + path;
        fw.chip().load(image);
    } else if (line.key == "keep") {
        if (a.size() != 1)
            return "keep needs one path";
        const std::string path = a[0].front() == '/' ? a[0] : baseDir + "/" + a[0];
        std::vector<std::uint8_t> image;
        sim.keepFile = path;
        if (readImage(path, image)) {
            fw.chip().load(image);
            sim.chipKept();
        }
    } else if (line.key == "log-file") {
        if (a.size() != 1)
            return "log-file needs one path";
        sim.logFile = a[0].front() == '/' ? a[0] : baseDir + "/" + a[0];
    } else if (line.key == "protect") {
        if (a.size() != 1 || (a[0] != "on" && a[0] != "off"))
            return "protect needs on or off";
        fw.chip().writeProtected = a[0] == "on";
    } else if (line.key == "erase-polls") {
        if (a.size() != 1 || !parseNumber(a[0], n))
            return "erase-polls needs a number";
        fw.erasePolls = static_cast<int>(n);
    } else if (line.key == "id-type") {
        if (a.size() != 1 || !parseNumber(a[0], n) || n > 255)
            return "id-type needs a number";
        fw.chip().idType = static_cast<int>(n);
    } else if (line.key == "info") {
        if (a.size() != 3)
            return "info needs: hardware version, firmware version, serial number";
        fw.hardwareVersion = a[0];
        fw.firmwareVersion = a[1];
        fw.serialNumber = a[2];
    } else if (line.key == "decoy") {
        Decoy decoy;
        if (a.size() != 1 || !parseDecoy(a[0], decoy))
            return "unknown decoy";
        sim.addDecoy(decoy);
    } else if (line.key == "access") {
        Access access;
        if (a.size() != 1 || !parseAccess(a[0], access))
            return "access needs granted, denied or read-only";
        sim.setAccess(access);
    } else if (line.key == "upgraded-firmware") {
        if (a.size() != 1)
            return "upgraded-firmware needs a firmware version";
        sim.bootLoader().upgradedFirmwareVersion = a[0];
    } else if (line.key == "boot-loader") {
        return applyBootLoader(sim, a);
    } else if (line.key == "hid-decoy") {
        HidDecoy decoy;
        if (a.size() != 1 || !parseHidDecoy(a[0], decoy))
            return "unknown hid-decoy";
        sim.addHidDecoy(decoy);
    } else if (line.key == "fault") {
        if (a.size() == 1 && a[0] == "stuck-busy")
            fw.stuckBusy = true;
        else if (a.size() == 3 && a[0] == "flip" && parseNumber(a[1], n) && parseNumber(a[2], m))
            fw.readFlips[static_cast<std::uint32_t>(n)] = static_cast<std::uint8_t>(m);
        else if (a.size() == 2 && parseNumber(a[1], n) && n > 0 && a[0] == "unplug")
            sim.faults.unplugAtTransfer = static_cast<int>(n);
        else if (a.size() == 2 && parseNumber(a[1], n) && n > 0 && a[0] == "timeout")
            sim.faults.timeoutAtTransfer = static_cast<int>(n);
        else if (a.size() == 2 && parseNumber(a[1], n) && n > 0 && a[0] == "short")
            sim.faults.shortAtTransfer = static_cast<int>(n);
        else
            return "unknown fault";
    } else if (line.key == "timing") {
        if (a.size() != 1 || (a[0] != "realistic" && a[0] != "none"))
            return "timing needs realistic or none";
        sim.realisticTiming = a[0] == "realistic";
    } else if (line.key == "log") {
        if (a.size() != 1 || (a[0] != "on" && a[0] != "off"))
            return "log needs on or off";
        sim.logData = a[0] == "on";
    } else {
        return "unknown key " + line.key;
    }
    return {};
}

} // namespace

std::string applyScenario(Simulator &sim, std::string_view text, const std::string &baseDir) {
    std::istringstream in{std::string(text)};
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        const auto hash = raw.find('#');
        std::istringstream words(raw.substr(0, hash));
        Line line;
        if (!(words >> line.key))
            continue;
        for (std::string w; words >> w;)
            line.args.push_back(w);
        const std::string problem = applyLine(sim, line, baseDir);
        if (!problem.empty())
            return "line " + std::to_string(number) + ": " + problem;
    }
    return {};
}

std::string applyScenarioFile(Simulator &sim, const std::string &path) {
    std::ifstream in(path);
    if (!in)
        return "cannot read scenario " + path;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto slash = path.find_last_of('/');
    return applyScenario(sim, text, slash == std::string::npos ? "." : path.substr(0, slash));
}

} // namespace ksim
