#include "About.h"

#include "Named.h"
#include "QtText.h"
#include "WindowCaptions.h"
#include "app/Captions.h"

#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

using namespace korvat;

namespace {
QLabel *label(const char *name, QWidget *parent) {
    auto *l = named(new QLabel(parent), name);
    l->setAlignment(Qt::AlignHCenter);
    return l;
}
} // namespace

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(314, 253);
    ProgramIcon = label("ProgramIcon", this);
    ProgramIcon->setPixmap(QIcon(QStringLiteral(":/icons/korvat.svg")).pixmap(64, 64));
    ProductName = label("ProductName", this);
    QFont big = ProductName->font();
    big.setBold(true);
    big.setPixelSize(16);
    ProductName->setFont(big);
    Version = label("Version", this);
    Version->setText(QStringLiteral("Version:3.0"));
    Company = label("Company", this);
    Company->setText(QStringLiteral("Korvat Electronics"));
    Comments = label("Comments", this);
    Comments->setText(webAddress().toString());
    Comments->setCursor(Qt::PointingHandCursor);
    QPalette link = Comments->palette();
    link.setColor(QPalette::WindowText, link.color(QPalette::Link));
    Comments->setPalette(link);
    Comments->installEventFilter(this);
    Copyright = label("Copyright", this);
    OKButton = named(new QPushButton(QStringLiteral("OK"), this), "OKButton");
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *column = new QVBoxLayout(this);
    for (QLabel *l : {ProgramIcon, ProductName, Version, Company, Comments, Copyright})
        column->addWidget(l);
    column->addStretch(1);
    column->addWidget(OKButton, 0, Qt::AlignHCenter);
    applyLanguage(0);
}

QUrl TAboutBox::webAddress() {
    return QUrl(QStringLiteral("https://www.korvat.example/"));
}

void TAboutBox::applyLanguage(int language) {
    applyCaptions(*this, aboutBoxCaptions(), language);
}

void TAboutBox::CommentsClick() {
    QDesktopServices::openUrl(webAddress());
}

bool TAboutBox::eventFilter(QObject *watched, QEvent *event) {
    if (watched == Comments && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        CommentsClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}
