// The CSV catalogue reader: any text read whole or refused with a line named; rows that
// read, written as CSV and read again, are the same rows.
#include "FuzzInput.h"
#include "catalogue/CatalogueCsv.h"

using namespace korvat;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const CatalogueCsv first =
        parseCatalogueCsv(std::string_view(reinterpret_cast<const char *>(data), size));
    fuzz::require(first.error.empty() || first.rows.empty(), "a refusal keeps no rows");
    if (!first.error.empty())
        return 0;
    const CatalogueCsv second = parseCatalogueCsv(writeCatalogueCsv(first.rows));
    fuzz::require(second.error.empty(), "written CSV reads");
    fuzz::require(second.rows == first.rows, "same rows");
    return 0;
}
