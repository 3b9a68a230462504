// The application: the main window over the settings and catalogue beside the
// executable, or in the user's folders when the installed copy's folder is read-only.
#include "MessageBoxes.h"
#include "StartUp.h"
#include "Unit1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QStandardPaths>

namespace {

QString basePath() {
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    const QString beside = exe.absolutePath() + QLatin1Char('/') + exe.completeBaseName();
    if (QFileInfo(exe.absolutePath()).isWritable())
        return beside;
    // An installed copy: settings in the config folder, the catalogue in the data folder,
    // seeded from the installed default on first start.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    const QString base = config + QStringLiteral("/korvat");
    if (!QFile::exists(base + QStringLiteral(".Dat")))
        QFile::copy(beside + QStringLiteral(".Dat"), base + QStringLiteral(".Dat"));
    return base;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvat"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/korvat.svg")));
    MessageBoxes boxes(nullptr);
    const std::unique_ptr<QWidget> window = startUp(
        [] {
            auto w = std::make_unique<TForm1>(
                basePath(), ProgrammerLinks(korvat::UsbApi::load(), korvat::HidApi::load()));
            w->show();
            return std::unique_ptr<QWidget>(std::move(w));
        },
        boxes);
    return window ? QApplication::exec() : 1;
}
