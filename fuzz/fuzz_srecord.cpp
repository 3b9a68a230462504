// readSRecord against its model: see RecordFileTarget.h and SRecordModel.h.
#include "RecordFileTarget.h"
#include "SRecordModel.h"
#include "buffers/SRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    korvat::fuzz::checkReader(korvat::readSRecord, korvat::fuzz::model::readSRecord, ".s19", data,
                              size);
    return 0;
}
