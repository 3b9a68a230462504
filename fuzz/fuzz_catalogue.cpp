// The catalogue file: any bytes read without a crash; a file that reads, written back
// from its grid rows and read again, gives the same chips.
#include "FuzzInput.h"
#include "catalogue/Catalogue.h"
#include "catalogue/EditorRows.h"
#include "catalogue/NameText.h"

#include <cstring>

using namespace korvat;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Catalogue first;
    if (first.load(fuzz::inputFile(data, size, ".Dat"), 2).outcome != CatalogueOutcome::Read)
        return 0;
    const std::vector<GridRow> rows = gridRowsFor(first);
    Catalogue written;
    const std::string copy = fuzz::inputFile(nullptr, 0, "-copy.Dat");
    // Names a GBK file may hold and grid cells may not (blanks or control characters
    // inside a part, quotes, a comma in the model) are refused by the save; that is a
    // refusal, not a finding.
    if (written.save(rows, copy).outcome != CatalogueOutcome::Written)
        return 0;
    Catalogue second;
    fuzz::require(second.load(copy, 2).outcome == CatalogueOutcome::Read, "written file reads");
    fuzz::require(second.chipCount() == first.chipCount(), "same number of chips");
    for (int i = 0; i < first.chipCount(); ++i) {
        const ChipRecord &x = first.slot(i), &y = second.slot(i);
        fuzz::require(x.chipId == y.chipId && x.capacity == y.capacity &&
                          x.flashPage == y.flashPage && x.family == y.family &&
                          x.algorithm == y.algorithm && x.delay == y.delay &&
                          x.association == y.association && x.eepromSize == y.eepromSize &&
                          x.eepromPage == y.eepromPage && x.voltage == y.voltage,
                      "same values");
        // Blanks (and control characters) around the parts may go; the parts the editor
        // shows stay, and the lists read the written name into the same parts.
        const NameParts a = splitForEditor(first.name(i));
        const std::string name = second.name(i);
        const NameParts b = splitForEditor(name), listed = splitForSelection(name);
        fuzz::require(trimBlanks(a.type) == b.type && trimBlanks(a.maker) == b.maker &&
                          trimBlanks(a.model) == b.model,
                      "same name");
        fuzz::require(listed.type == b.type && listed.maker == b.maker && listed.model == b.model,
                      "the lists read the name as the editor");
    }
    return 0;
}
