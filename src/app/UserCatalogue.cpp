#include "UserCatalogue.h"

#include "base/AtomicFile.h"
#include "base/RegularFile.h"
#include "base/TextTable.h"
#include "buffers/Checksum.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

namespace korvat {
namespace {

namespace fs = std::filesystem;

// Far more than a catalogue holds: a larger file is not one, and is never read whole.
constexpr std::size_t kReadMax = 1 << 20;

struct Fingerprint {
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    bool operator==(const Fingerprint &) const = default;
};

struct SeedRecord {
    Fingerprint installed;             // the installed catalogue last brought in
    std::optional<Fingerprint> seeded; // the copy as seeded; none: not known, kept
};

std::optional<std::vector<std::uint8_t>> contents(const std::string &path) {
    const RegularFile in(path);
    std::vector<std::uint8_t> bytes(kReadMax + 1);
    std::size_t size = 0;
    if (!in || !in.readInto(reinterpret_cast<char *>(bytes.data()), bytes.size(), size) ||
        size == 0 || size > kReadMax)
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

std::optional<Fingerprint> fingerprintOf(const std::string &path) {
    const auto bytes = contents(path);
    if (!bytes)
        return std::nullopt;
    return Fingerprint{crc32Of(*bytes), bytes->size()};
}

std::string line(const char *key, const std::optional<Fingerprint> &f) {
    char text[64];
    if (f)
        std::snprintf(text, sizeof text, "%s %08X %llu\n", key, static_cast<unsigned>(f->crc),
                      static_cast<unsigned long long>(f->size));
    else
        std::snprintf(text, sizeof text, "%s -\n", key);
    return text;
}

bool writeSeed(const AppPaths &paths, const SeedRecord &seed) {
    return writeFileAtomically(seedPathFor(paths.catalogue),
                               line("installed", seed.installed) + line("seeded", seed.seeded));
}

std::optional<Fingerprint> readFingerprint(std::istream &in, const char *key, bool &known) {
    std::string word, crc;
    unsigned long long size = 0;
    known = false;
    if (!(in >> word) || word != key || !(in >> crc))
        return std::nullopt;
    known = true;
    if (crc == "-")
        return std::nullopt;
    if (crc.size() != 8 || crc.find_first_not_of("0123456789ABCDEF") != std::string::npos ||
        !(in >> size)) {
        known = false;
        return std::nullopt;
    }
    return Fingerprint{static_cast<std::uint32_t>(std::stoul(crc, nullptr, 16)), size};
}

// The seed record; none when there is none or it cannot be read.
std::optional<SeedRecord> readSeed(const AppPaths &paths) {
    const auto bytes = contents(seedPathFor(paths.catalogue));
    if (!bytes)
        return std::nullopt;
    std::istringstream in(std::string(bytes->begin(), bytes->end()));
    bool known = false;
    SeedRecord seed;
    const auto installed = readFingerprint(in, "installed", known);
    if (!installed)
        return std::nullopt;
    seed.installed = *installed;
    seed.seeded = readFingerprint(in, "seeded", known);
    if (!known)
        return std::nullopt;
    return seed;
}

bool userCopy(const AppPaths &paths) {
    return paths.installed && paths.catalogue != paths.defaultCatalogue;
}

std::string timeStamp(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

} // namespace

std::string seedPathFor(const std::string &catalogue) {
    return catalogue + ".seed";
}

bool noteSeeded(const AppPaths &paths) {
    const auto installed = fingerprintOf(paths.defaultCatalogue);
    return installed && writeSeed(paths, {*installed, installed});
}

CatalogueUpdate updateUserCatalogue(const AppPaths &paths) {
    if (!userCopy(paths))
        return CatalogueUpdate::None;
    const auto bytes = contents(paths.defaultCatalogue);
    if (!bytes)
        return CatalogueUpdate::None;
    const Fingerprint installed{crc32Of(*bytes), bytes->size()};
    const auto user = fingerprintOf(paths.catalogue);
    if (!user) {
        seedUserCatalogue(paths); // records its seed itself
        return CatalogueUpdate::None;
    }
    const auto seed = readSeed(paths);
    if (*user == installed) {
        if (!seed || seed->installed != installed || seed->seeded != installed)
            writeSeed(paths, {installed, installed});
        return CatalogueUpdate::None;
    }
    if (seed && seed->installed == installed)
        return CatalogueUpdate::None;
    // A copy without a record was seeded before records were kept: whether the user
    // edited it cannot be told, so it is kept as if edited.
    if (seed && seed->seeded == *user) {
        const std::string_view text(reinterpret_cast<const char *>(bytes->data()), bytes->size());
        if (writeFileAtomically(paths.catalogue, text) && writeSeed(paths, {installed, installed}))
            return CatalogueUpdate::Replaced;
        return CatalogueUpdate::None;
    }
    writeSeed(paths, {installed, seed ? seed->seeded : std::nullopt});
    return CatalogueUpdate::NewerDefault;
}

std::string catalogueToRead(const AppPaths &paths) {
    if (!userCopy(paths))
        return paths.catalogue;
    const auto user = fingerprintOf(paths.catalogue);
    if (!user)
        return paths.defaultCatalogue;
    const auto seed = readSeed(paths);
    const auto installed = fingerprintOf(paths.defaultCatalogue);
    if (seed && installed && seed->installed != *installed && seed->seeded == *user)
        return paths.defaultCatalogue;
    return paths.catalogue;
}

bool noteMerged(const AppPaths &paths) {
    const auto installed = fingerprintOf(paths.defaultCatalogue);
    if (!userCopy(paths) || !installed)
        return false;
    const auto seed = readSeed(paths);
    return writeSeed(paths, {*installed, seed ? seed->seeded : std::nullopt});
}

std::string setDamagedAside(const AppPaths &paths, std::time_t now) {
    if (!userCopy(paths))
        return {};
    const std::string stamped = paths.catalogue + ".damaged-" + timeStamp(now);
    std::error_code error;
    for (int n = 0; n < 100; ++n) {
        const std::string aside = n ? stamped + "-" + std::to_string(n) : stamped;
        if (fs::exists(aside, error) || error)
            continue;
        fs::rename(paths.catalogue, aside, error);
        if (error)
            return {};
        seedUserCatalogue(paths);
        return aside;
    }
    return {};
}

CatalogueStart startCatalogue(Catalogue &catalogue, const AppPaths &paths, int language,
                              std::time_t now) {
    const CatalogueUpdate update = updateUserCatalogue(paths);
    CatalogueStart start{catalogue.load(paths.catalogue, language), {}, {}};
    const std::string damaged(text(txtCatalogueDamaged, language));
    if (start.loaded.outcome != CatalogueOutcome::Damaged) {
        start.error = start.loaded.message;
        if (update == CatalogueUpdate::NewerDefault)
            start.logLine = textWith(txtNewerDefaultCatalogue, language,
                                     {paths.defaultCatalogue, paths.catalogue});
        return start;
    }
    const std::string aside = setDamagedAside(paths, now);
    if (aside.empty()) {
        start.error = damaged + "\n" + paths.catalogue;
        return start;
    }
    start.loaded = catalogue.load(paths.catalogue, language);
    start.error =
        damaged + "\n" + textWith(txtCatalogueSetAside, language, {aside, paths.catalogue});
    if (!start.loaded.message.empty()) // the installed one cannot be read either
        start.error += "\n" + start.loaded.message;
    return start;
}

} // namespace korvat
