#include "Unit6.h"

#include "Named.h"
#include "QtText.h"
#include "WindowCaptions.h"
#include "app/Captions.h"
#include "buffers/FileCommands.h"
#include "link/FirmwareUpgrade.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

using namespace korvat;

namespace {

// A single entry whose description and pattern are both *.fwpk.
constexpr std::string_view kFirmwareFilter = "*.fwpk|*.fwpk";

} // namespace

TForm6::TForm6(FileCommands &files, QWidget *parent) : QDialog(parent), m_files(files) {
    setObjectName(QStringLiteral("Form6"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    Label1 = named(new QLabel(this), "Label1");
    Label3 = named(new QLabel(this), "Label3");
    Label5 = named(new QLabel(this), "Label5");
    Edit1 = named(new QLineEdit(QStringLiteral("V1.0"), this), "Edit1");
    Edit2 = named(new QLineEdit(QStringLiteral("V1.00"), this), "Edit2");
    Edit3 = named(new QLineEdit(QStringLiteral("A0123456789"), this), "Edit3");
    for (QLineEdit *e : {Edit1, Edit2, Edit3})
        e->setEnabled(false); // display only
    BitBtn1 = named(new QPushButton(this), "BitBtn1");
    BitBtn2 = named(new QPushButton(this), "BitBtn2");
    connect(BitBtn1, &QPushButton::clicked, this, &TForm6::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm6::BitBtn2Click);
    applyLanguage(0);
}

// The designed places: labels at x 24, boxes at x 112, the buttons below. A language
// whose labels need more room than 85 pixels moves the boxes right and widens the
// window, rather than cutting the captions.
void TForm6::place() {
    int labelWidth = 85;
    for (QLabel *l : {Label1, Label3, Label5})
        labelWidth = std::max(labelWidth, l->sizeHint().width());
    const int boxX = 24 + labelWidth + 3;
    const int rows[] = {24, 56, 88};
    Label1->setGeometry(24, 24, labelWidth, 13 + 4);
    Label3->setGeometry(24, 56, labelWidth, 13 + 4);
    Label5->setGeometry(24, 96, labelWidth, 13 + 4);
    QLineEdit *boxes[] = {Edit1, Edit2, Edit3};
    for (int i = 0; i < 3; ++i)
        boxes[i]->setGeometry(boxX, rows[i], 121, 21);
    const int width = std::max(281, boxX + 121 + 48);
    BitBtn1->setGeometry(24, 144, std::max(97, BitBtn1->sizeHint().width()), 25);
    BitBtn2->setGeometry(width - 121, 144, std::max(89, BitBtn2->sizeHint().width()), 25);
    setFixedSize(width, 201);
}

void TForm6::applyLanguage(int language) {
    applyCaptions(*this, hardwareWindowCaptions(), language);
    place();
}

void TForm6::showInfo(const HardwareInfo &info) {
    Edit1->setText(QString::fromLatin1(info.hardware));
    Edit2->setText(QString::fromLatin1(info.firmware));
    Edit3->setText(QString::fromLatin1(info.serial));
}

void TForm6::BitBtn1Click() {
    const auto path = m_files.chooseOther(nameFilters(kFirmwareFilter));
    if (!path)
        return; // the window stays open and keeps the earlier choice
    m_chosenFile = *path;
    accept();
}

void TForm6::BitBtn2Click() {
    reject();
}

void TForm6::reject() {
    m_chosenFile.clear();
    QDialog::reject();
}
