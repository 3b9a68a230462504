#include "Unit4.h"

#include "HexEdit.h"
#include "Named.h"
#include "QtText.h"
#include "WindowCaptions.h"
#include "app/Captions.h"
#include "buffers/Fill.h"
#include "base/MessageSink.h"

#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace korvat;

namespace {

QLineEdit *hexEdit(const char *name, const char *text, int maxLength, QWidget *parent) {
    auto *edit = named(new QLineEdit(QString::fromLatin1(text), parent), name);
    installHexKeyFilter(edit, maxLength);
    return edit;
}

// The random fill's seed: the local time in whole seconds.
std::uint32_t localSeconds() {
    const QDateTime now = QDateTime::currentDateTime();
    return static_cast<std::uint32_t>(now.toSecsSinceEpoch() + now.offsetFromUtc());
}

} // namespace

TForm4::TForm4(Buffers &buffers, BufferView &flashView, MessageSink &messages, QWidget *parent)
    : QDialog(parent), m_buffers(buffers), m_flashView(flashView), m_messages(messages) {
    setObjectName(QStringLiteral("Form4"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    GroupBox1 = named(new QGroupBox(this), "GroupBox1");
    RadioButton1 = named(new QRadioButton(GroupBox1), "RadioButton1");
    RadioButton2 = named(new QRadioButton(GroupBox1), "RadioButton2");
    RadioButton3 = named(new QRadioButton(GroupBox1), "RadioButton3");
    RadioButton1->setChecked(true);
    Edit1 = hexEdit("Edit1", "FF", 2, GroupBox1);
    Edit2 = hexEdit("Edit2", "FFFF", 4, GroupBox1);
    auto *data = new QGridLayout(GroupBox1);
    data->addWidget(RadioButton1, 0, 0);
    data->addWidget(Edit1, 0, 1);
    data->addWidget(RadioButton2, 1, 0);
    data->addWidget(Edit2, 1, 1);
    data->addWidget(RadioButton3, 2, 0);

    GroupBox2 = named(new QGroupBox(this), "GroupBox2");
    Label1 = named(new QLabel(GroupBox2), "Label1");
    Label2 = named(new QLabel(GroupBox2), "Label2");
    Edit3 = hexEdit("Edit3", "00000", 8, GroupBox2);
    Edit4 = hexEdit("Edit4", "FFFF", 8, GroupBox2);
    auto *range = new QGridLayout(GroupBox2);
    range->addWidget(Label1, 0, 0);
    range->addWidget(Edit3, 0, 1);
    range->addWidget(Label2, 1, 0);
    range->addWidget(Edit4, 1, 1);

    BitBtn1 = named(new QPushButton(this), "BitBtn1");
    BitBtn2 = named(new QPushButton(this), "BitBtn2");
    BitBtn1->setDefault(true);
    auto *grid = new QGridLayout(this);
    grid->addWidget(GroupBox1, 0, 0, 1, 2);
    grid->addWidget(GroupBox2, 1, 0, 1, 2);
    grid->addWidget(BitBtn1, 2, 0);
    grid->addWidget(BitBtn2, 2, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize); // a fixed dialog border
    connect(BitBtn1, &QPushButton::clicked, this, &TForm4::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm4::BitBtn2Click);
    applyLanguage(0);
}

void TForm4::applyLanguage(int language) {
    m_language = language;
    applyCaptions(*this, fillWindowCaptions(), language);
}

void TForm4::BitBtn1Click() {
    FillRequest request;
    request.kind = RadioButton1->isChecked()   ? FillKind::Byte
                   : RadioButton2->isChecked() ? FillKind::Word
                                               : FillKind::Random;
    request.byteText = Edit1->text().toStdString();
    request.wordText = Edit2->text().toStdString();
    request.startText = Edit3->text().toStdString();
    request.endText = Edit4->text().toStdString();
    if (const auto error = fillFlash(m_buffers, m_flashView, request, localSeconds(), m_language))
        m_messages.showError(*error);
    else
        emit filled();
}
