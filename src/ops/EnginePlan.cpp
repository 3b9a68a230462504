// What a command would do, worked out by the rules it runs by, for a dry run.
#include "Engine.h"

#include "catalogue/Catalogue.h"

namespace korvat {

std::optional<Engine::Plan> Engine::plan(std::optional<Operation> operation, int slot,
                                         AutoSteps steps) {
    if (!chipUsable(slot))
        return std::nullopt;
    const ChipRecord &chip = m_catalogue.slot(slot);
    const Bounds whole{0, chip.capacity};
    const bool erases = operation ? *operation == Operation::Erase : steps.erase;
    if (erases && !eraseAcceptable(chip))
        return std::nullopt;
    if (operation == Operation::Erase || operation == Operation::Read)
        return Plan{whole, std::nullopt};
    if (operation == Operation::BlankCheck)
        return Plan{m_scope.blank.value_or(whole), std::nullopt};
    if (m_buffers.loadedLength <= 0 || !rangeAcceptable(chip))
        return std::nullopt;
    // A write rounds the loaded length up to whole pages; the plan leaves it as it is.
    const std::int32_t loaded = m_buffers.loadedLength;
    const bool writes = operation ? *operation == Operation::Write : steps.write;
    std::uint32_t imageEnd = 0;
    const auto bounds = coveredBytes(chip, writes, &imageEnd);
    m_buffers.loadedLength = loaded;
    if (!bounds)
        return std::nullopt;
    // The chip addresses the image's bytes lie in, and those its CRC-32 covers, as the
    // command's outcome would have them.
    const std::vector<Bounds> spans = imageSpans(*bounds);
    const std::optional<Bounds> image = imageOf(*bounds, spans, writes ? imageEnd : bounds->end);
    if (!m_buffers.range.enabled && m_scope.held.empty())
        return Plan{*bounds, image};
    const Bounds extent = spans.empty() ? Bounds{bounds->start, bounds->start}
                                        : Bounds{spans.front().start, spans.back().end};
    return Plan{extent, image};
}

} // namespace korvat
