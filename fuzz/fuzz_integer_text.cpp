// The integer text rule: never a crash, and a value read back from its decimal text.
#include "FuzzInput.h"
#include "base/IntegerText.h"

using namespace korvat;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const auto value = parseInteger(text);
    if (value) {
        fuzz::require(*value >= -2147483648LL && *value <= 4294967295LL, "value outside 32 bits");
        fuzz::require(parseInteger(std::to_string(*value)) == value, "decimal text reads back");
    } else {
        fuzz::require(!notAnIntegerMessage(text).empty(), "a refusal has its message");
    }
    return 0;
}
