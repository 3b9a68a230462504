// The application: the main window over the settings and catalogue beside the
// executable, or in the user's folders for an installed copy.
#include "MessageBoxes.h"
#include "StartUp.h"
#include "TerminationSignals.h"
#include "Unit1.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

// A portable copy keeps its catalogue and settings beside the executable; an installed
// one in the user's folders, its catalogue seeded from the installed default.
korvat::AppPaths paths() {
    korvat::AppPaths p = korvat::appPaths(korvat::executableFolder());
    if (!korvat::seedUserCatalogue(p))
        p.catalogue = p.defaultCatalogue;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(p.settings).parent_path(), ignored);
    return p;
}

// --version anywhere on the command line: answered before the application is made, so
// it needs no display.
bool versionAsked(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv) {
    if (versionAsked(argc, argv)) {
        std::printf("korvat %s\n", KORVAT_VERSION);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvat"));
    QApplication::setApplicationVersion(QStringLiteral(KORVAT_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(KORVAT_APP_ID)); // its desktop entry
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/korvat.svg")));
    MessageBoxes boxes(nullptr);
    // Caught from here on: one that comes during start-up closes the window once it shows.
    TerminationSignals ending;
    const std::unique_ptr<QWidget> window = startUp(
        [&ending] {
            auto w = std::make_unique<TForm1>(
                paths(), ProgrammerLinks(korvat::UsbApi::load(), korvat::HidApi::load()));
            QObject::connect(&ending, &TerminationSignals::requested, w.get(),
                             &TForm1::closeWithoutAsking);
            w->show();
            return std::unique_ptr<QWidget>(std::move(w));
        },
        boxes);
    return window ? QApplication::exec() : 1;
}
