#include "Commands.h"

#include "buffers/FileIO.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ChipChoice.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace korvat::cli {
namespace {

// The largest image a file command handles: the FLASH buffer of the window.
constexpr std::size_t kImageMax = 64u << 20;

std::string executableFolder() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

} // namespace

std::string cataloguePath(const Options &options) {
    return options.catalogue.empty() ? defaultCataloguePath(executableFolder()) : options.catalogue;
}

std::optional<Catalogue> loadCatalogue(const Options &options, Console &console) {
    const std::string path = cataloguePath(options);
    Catalogue catalogue;
    const CatalogueResult r = catalogue.load(path, options.language);
    if (r.outcome == CatalogueOutcome::NoFile) {
        console.showError("no chip catalogue at " + path);
        return std::nullopt;
    }
    if (r.outcome != CatalogueOutcome::Read) {
        console.showError(r.message);
        return std::nullopt;
    }
    return catalogue;
}

std::string defaultCataloguePath(const std::string &folder) {
    const std::string beside = folder + "/korvat.Dat";
    if (access(folder.c_str(), W_OK) == 0)
        return beside;
    const char *config = std::getenv("XDG_CONFIG_HOME");
    const char *home = std::getenv("HOME");
    const std::string base =
        config && *config ? config : std::string(home ? home : "") + "/.config";
    const std::string user = base + "/korvat/korvat.Dat";
    return std::filesystem::exists(user) ? user : beside;
}

int listChips(const Options &options, const std::string &text) {
    Console console(options.quiet);
    const auto catalogue = loadCatalogue(options, console);
    if (!catalogue)
        return kFileError;
    const auto chips = chipsContaining(*catalogue, text);
    if (options.json)
        std::printf("[");
    bool first = true;
    for (const CatalogueChip &chip : chips) {
        const ChipRecord &r = catalogue->slot(chip.slot);
        char id[16];
        std::snprintf(id, sizeof id, "0x%06X", static_cast<unsigned>(r.chipId));
        const char *voltage = r.voltage == 1 ? "1.8V" : "3.3V";
        if (options.json) {
            std::printf("%s\n{\"type\":%s,\"maker\":%s,\"model\":%s,\"id\":\"%s\",\"size\":%u,"
                        "\"page\":%u,\"voltage\":\"%s\"}",
                        first ? "" : ",", jsonString(chip.name.type).c_str(),
                        jsonString(chip.name.maker).c_str(), jsonString(chip.name.model).c_str(),
                        id, static_cast<unsigned>(r.capacity), static_cast<unsigned>(r.flashPage),
                        voltage);
        } else {
            std::printf("%s\t%s\t%s\t%s\t%u\t%u\t%s\n", chip.name.type.c_str(),
                        chip.name.maker.c_str(), chip.name.model.c_str(), id,
                        static_cast<unsigned>(r.capacity), static_cast<unsigned>(r.flashPage),
                        voltage);
        }
        first = false;
    }
    if (options.json)
        std::printf("\n]\n");
    return kSuccess;
}

int convertFile(const Options &options, const std::string &in, const std::string &out,
                std::optional<std::uint32_t> size, bool force) {
    Console console(options.quiet);
    std::error_code error;
    if (!force && std::filesystem::exists(out, error)) {
        console.showError(out + " exists; --force replaces it");
        return kFileError;
    }
    std::vector<std::uint8_t> image(kImageMax, 0xFF);
    const std::uint32_t loaded = loadFile(in, image, console);
    if (loaded == 0 && !console.messages().empty())
        return kFileError;
    const std::uint32_t count = size.value_or(loaded);
    if (count > image.size()) {
        console.showError("--size passes the largest image (" + std::to_string(kImageMax) +
                          " bytes)");
        return kUsage;
    }
    // The file was checked above: a Yes only lets saveFile write over what --force named.
    struct Yes : Prompter {
        bool askYesNo(std::string_view) override { return true; }
    } yes;
    if (!saveFile(out, std::span(image).first(count), yes, console, options.language))
        return kFileError;
    if (options.json)
        std::printf("{\"command\":\"convert\",\"result\":\"ok\",\"bytes\":%u}\n",
                    static_cast<unsigned>(count));
    else if (!options.quiet)
        std::printf("%s: %u bytes written\n", out.c_str(), static_cast<unsigned>(count));
    return kSuccess;
}

} // namespace korvat::cli
