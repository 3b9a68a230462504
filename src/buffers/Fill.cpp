#include "Fill.h"

#include "BufferView.h"
#include "Buffers.h"
#include "base/TextTable.h"
#include "base/IntegerText.h"

#include <algorithm>

namespace korvat {

std::optional<std::string> fillFlash(Buffers &buffers, BufferView &flashView,
                                     const FillRequest &request, std::uint32_t seed, int language) {
    std::int64_t value[4] = {};
    const std::string *texts[4] = {&request.byteText, &request.wordText, &request.startText,
                                   &request.endText};
    for (int i = 0; i < 4; ++i) {
        const std::string prefixed = "0x" + *texts[i];
        const auto v = parseInteger(prefixed);
        if (!v)
            return notAnIntegerMessage(prefixed);
        value[i] = *v;
    }
    const auto byte = static_cast<std::uint8_t>(value[0]);
    const auto word = static_cast<std::uint16_t>(value[1]);
    const std::int64_t start = value[2], end = value[3];
    if (end < start)
        return std::string(text(txtRangeBackwards, language));
    if (start < 0 || end >= kFlashBufferSize)
        return std::string(text(txtRangeOutsideBuffer, language));

    const auto s = static_cast<std::uint32_t>(start), e = static_cast<std::uint32_t>(end);
    std::uint8_t *flash = buffers.flash().data();
    switch (request.kind) {
    case FillKind::Byte:
        std::fill(flash + s, flash + e + 1, byte);
        break;
    case FillKind::Word: {
        // Words from the start with its lowest bit cleared; an odd count leaves the last
        // byte of the range as it was.
        std::uint8_t *p = flash + (s & ~1u);
        for (std::uint32_t i = 0; i < (e - s + 1) / 2; ++i) {
            *p++ = static_cast<std::uint8_t>(word);
            *p++ = static_cast<std::uint8_t>(word >> 8);
        }
        break;
    }
    case FillKind::Random: {
        FillRandom random(seed);
        for (std::uint32_t a = s; a <= e; ++a)
            flash[a] = static_cast<std::uint8_t>(random.next());
        break;
    }
    }
    buffers.reloadFlashView(flashView, std::uint64_t{e} + 1);
    buffers.loadedLength = static_cast<std::int32_t>(e + 1);
    return std::nullopt;
}

} // namespace korvat
