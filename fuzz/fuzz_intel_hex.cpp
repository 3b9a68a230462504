// readIntelHex: see RecordFileTarget.h.
#include "RecordFileTarget.h"
#include "buffers/IntelHex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    korvat::fuzz::checkReader(korvat::readIntelHex, ".hex", data, size);
    return 0;
}
