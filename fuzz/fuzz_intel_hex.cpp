// readIntelHex against its model: see RecordFileTarget.h and IntelHexModel.h.
#include "IntelHexModel.h"
#include "RecordFileTarget.h"
#include "buffers/IntelHex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    korvat::fuzz::checkReader(korvat::readIntelHex, korvat::fuzz::model::readIntelHex, ".hex", data,
                              size);
    return 0;
}
