// readSRecord: see RecordFileTarget.h.
#include "RecordFileTarget.h"
#include "buffers/SRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    korvat::fuzz::checkReader(korvat::readSRecord, ".s19", data, size);
    return 0;
}
