// catalogue_build SOURCE.csv TARGET.Dat
// Turns the catalogue source into the catalogue file through the chip editor's writer,
// so the file the application reads is exactly what the editor would save.
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueCsv.h"

#include <iostream>

int main(int argc, char **argv) {
    if (argc != 3) {
        std::cerr << "usage: catalogue_build SOURCE.csv TARGET.Dat\n";
        return 2;
    }
    const korvat::CatalogueCsv csv = korvat::readCatalogueCsvFile(argv[1]);
    if (!csv.error.empty()) {
        std::cerr << argv[1] << ": " << csv.error << '\n';
        return 1;
    }
    korvat::Catalogue catalogue;
    const korvat::CatalogueResult result = catalogue.save(csv.rows, argv[2]);
    if (result.outcome != korvat::CatalogueOutcome::Written) {
        std::cerr << argv[1] << ": " << result.message << '\n';
        return 1;
    }
    return 0;
}
