#include "Unit3.h"

#include "Named.h"
#include "QtText.h"
#include "WindowCaptions.h"
#include "app/Captions.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace korvat;

namespace {
constexpr int kColumnWidths[4] = {80, 80, 100, 1};
} // namespace

TForm3::TForm3(const Catalogue &catalogue, Choose choose, QWidget *parent)
    : QDialog(parent), m_catalogue(catalogue), m_choose(std::move(choose)) {
    setObjectName(QStringLiteral("Form3"));
    setFixedSize(404, 320);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    Label1 = named(new QLabel(this), "Label1");
    ComboBox1 = named(new QComboBox(this), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ListView1 = named(new QTreeWidget(this), "ListView1");
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setFixedSize(273, 257);
    // The columns keep their widths; "pos" stays all but invisible.
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setMinimumSectionSize(1);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    BitBtn1 = named(new QPushButton(this), "BitBtn1");
    BitBtn2 = named(new QPushButton(this), "BitBtn2");
    auto *grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(ComboBox1, 0, 1);
    grid->addWidget(ListView1, 1, 0, 3, 2);
    grid->addWidget(BitBtn1, 1, 2);
    grid->addWidget(BitBtn2, 2, 2);
    connect(ComboBox1, &QComboBox::editTextChanged, this, &TForm3::ComboBox1Change);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm3::BitBtn2Click);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, &TForm3::BitBtn1Click);
    applyLanguage(0);
}

void TForm3::applyLanguage(int language) {
    m_language = language;
    applyCaptions(*this, searchWindowCaptions(), language); // the column titles: below
    resetColumns();
}

// The three columns in the current language and the all but invisible "pos".
void TForm3::resetColumns() {
    ListView1->clear();
    m_rows.clear();
    QStringList titles;
    for (const Caption &c : searchWindowCaptions())
        if (c.control.starts_with("column"))
            titles << qs(c.in(m_language));
    titles << QStringLiteral("pos");
    ListView1->setHeaderLabels(titles);
    for (int i = 0; i < 4; ++i)
        ListView1->setColumnWidth(i, kColumnWidths[i]);
}

void TForm3::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    resetColumns(); // the text of the previous opening stays; the list waits for a change
    // Typing goes to the search box at once, over the text of the previous opening.
    ComboBox1->setFocus(Qt::OtherFocusReason);
    ComboBox1->lineEdit()->selectAll();
}

void TForm3::ComboBox1Change() {
    resetColumns();
    m_rows = searchCatalogue(m_catalogue, ComboBox1->currentText().toStdString());
    for (const SearchRow &r : m_rows)
        new QTreeWidgetItem(ListView1,
                            {qs(r.type), qs(r.maker), qs(r.model), QString::number(r.slot)});
}

int TForm3::selectedRow() const {
    QTreeWidgetItem *current = ListView1->currentItem();
    return current && current->isSelected() ? ListView1->indexOfTopLevelItem(current) : -1;
}

void TForm3::choose(int row) {
    if (row < 0)
        return;
    m_choose(m_rows[static_cast<std::size_t>(row)]);
    accept();
}

void TForm3::BitBtn1Click() {
    choose(selectedRow());
}

// Enter in the search box or the list (a focused button takes its own) chooses as
// "选择" does, and when nothing is selected, the only chip found.
void TForm3::keyPressEvent(QKeyEvent *event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    choose(rowForEnter(selectedRow(), m_rows.size()));
}
