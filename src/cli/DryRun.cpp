#include "DryRun.h"

#include "base/HexText.h"

#include <cstdio>

namespace korvat::cli {
namespace {

std::string address(std::uint64_t value) {
    return "0x" + hexText(value, value > 0xFFFFFF ? 8 : 6);
}

// "0x001000 to 0x001FFF (4096 bytes)": the last address, as --range names it.
std::string span(const Bounds &b) {
    const std::uint64_t bytes = b.end - b.start;
    return bytes == 0 ? "none"
                      : address(b.start) + " to " + address(b.end - 1) + " (" +
                            std::to_string(bytes) + (bytes == 1 ? " byte)" : " bytes)");
}

std::string serialText(const DryRun &run) {
    const SerialNumbers &s = *run.serial;
    const std::string where = " at image address " + address(s.address) + ", " +
                              std::to_string(s.bytes) + (s.bytes == 1 ? " byte " : " bytes ") +
                              s.format;
    if (run.count == 0)
        return "from " + std::to_string(s.start) + ", step " + std::to_string(s.step) +
               ", until Ctrl+C or the numbers no longer fit" + where;
    const auto last = serialNumberAfter(static_cast<std::uint64_t>(run.count - 1), s);
    return std::to_string(s.start) + " to " + std::to_string(last.value_or(s.start)) + " (step " +
           std::to_string(s.step) + ")" + where;
}

std::string jsonSpan(const char *key, const Bounds &b) {
    return std::string(",\"") + key + "\":{\"start\":" + std::to_string(b.start) +
           ",\"end\":" + std::to_string(b.end) + "}";
}

void printJson(const DryRun &run) {
    std::string steps;
    for (const std::string &s : run.steps)
        steps += (steps.empty() ? "" : ",") + jsonString(s);
    std::string object = "{\"command\":" + jsonString(run.command) +
                         ",\"dryRun\":true,\"chip\":" + jsonString(run.chip) + "," +
                         jsonResult(kSuccess, false) + ",\"steps\":[" + steps + "]" +
                         jsonSpan("addresses", run.addresses);
    if (run.saved)
        object += jsonSpan("saved", *run.saved);
    object += ",\"bytes\":" + std::to_string(run.imageBytes) +
              ",\"crc32\":" + (run.crc ? "\"" + hexText(*run.crc, 8) + "\"" : std::string("null"));
    if (!run.file.empty())
        object += "," + jsonName("file", run.file);
    if (run.compared)
        object += ",\"compared\":" + std::to_string(run.compared);
    if (run.serial) {
        const SerialNumbers &s = *run.serial;
        const auto last = run.count ? serialNumberAfter(run.count - 1, s) : std::nullopt;
        object +=
            ",\"serial\":{\"first\":" + std::to_string(s.start) +
            ",\"last\":" + (last ? std::to_string(*last) : std::string("null")) +
            ",\"step\":" + std::to_string(s.step) + ",\"address\":" + std::to_string(s.address) +
            ",\"bytes\":" + std::to_string(s.bytes) + ",\"format\":" + jsonString(s.format) + "}";
    }
    if (!run.record.empty())
        object += "," + jsonName("record", run.record);
    printJsonObject(object + ",\"errors\":" + jsonErrors() + "}");
}

} // namespace

int printDryRun(const Options &options, const DryRun &run) {
    if (options.json) {
        printJson(run);
        return kSuccess;
    }
    std::string steps;
    for (const std::string &s : run.steps)
        steps += (steps.empty() ? "" : ", ") + s;
    std::printf("dry run: %s on %s\nsteps: %s\naddresses: %s\n", run.command.c_str(),
                run.chip.c_str(), steps.c_str(), span(run.addresses).c_str());
    if (run.saved)
        std::printf("saved to %s: %s\n", run.file.c_str(), span(*run.saved).c_str());
    if (run.crc)
        std::printf("image: %s, %u bytes, CRC-32 %s\n", run.file.c_str(),
                    static_cast<unsigned>(run.imageBytes), hexText(*run.crc, 8).c_str());
    if (run.compared)
        std::printf("compared: only the %llu bytes the file holds\n",
                    static_cast<unsigned long long>(run.compared));
    if (run.serial)
        std::printf("serial numbers: %s\n", serialText(run).c_str());
    if (run.count > 0)
        std::printf("chips: %d\n", run.count);
    if (!run.record.empty())
        std::printf("record: %s\n", run.record.c_str());
    std::printf("nothing was sent to the chip\n");
    return kSuccess;
}

} // namespace korvat::cli
