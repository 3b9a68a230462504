// The catalogue file: any bytes read without a crash; a file that reads, written back
// from its grid rows and read again, gives the same chips.
#include "FuzzInput.h"
#include "catalogue/Catalogue.h"
#include "catalogue/EditorRows.h"
#include "catalogue/NameText.h"

#include <algorithm>
#include <cstring>

using namespace korvat;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Catalogue first;
    if (first.load(fuzz::inputFile(data, size, ".Dat"), 2).outcome != CatalogueOutcome::Read)
        return 0;
    const std::vector<GridRow> rows = gridRowsFor(first);
    Catalogue written;
    const std::string copy = fuzz::inputFile(nullptr, 0, "-copy.Dat");
    // Names a GBK file may hold and grid cells may not (control characters, say) are
    // refused by the save; that is a refusal, not a finding.
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
        // Blanks (and control characters) around the parts may go; the parts the lists
        // show stay. (The lists and the editor read apart differently a name of fewer
        // than three parts, which the program never writes, and one with quotes, which
        // the lists take as quoting.)
        const std::string name = first.name(i);
        if (std::count(name.begin(), name.end(), ',') < 2 || name.find('"') != std::string::npos)
            continue;
        const NameParts a = splitForSelection(name), b = splitForSelection(second.name(i));
        fuzz::require(trimBlanks(a.type) == trimBlanks(b.type) &&
                          trimBlanks(a.maker) == trimBlanks(b.maker) &&
                          trimBlanks(a.model) == trimBlanks(b.model),
                      "same name");
    }
    return 0;
}
