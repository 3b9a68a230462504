#include "Unit2.h"

#include "MessageBoxes.h"
#include "Named.h"
#include "QtText.h"
#include "WindowCaptions.h"
#include "app/Captions.h"
#include "base/TextTable.h"
#include "catalogue/Family.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <algorithm>
#include <span>

using namespace korvat;

namespace {

constexpr int kNarrowColumns[] = {3, 4, 5, 6, 7, 8, 9, 11, 12};

void fill(QComboBox *box, std::span<const std::string_view> texts) {
    const QSignalBlocker quiet(box);
    box->clear();
    for (std::string_view t : texts)
        box->addItem(qs(t));
    box->setCurrentIndex(box->count() ? 0 : -1);
}

void fill(QComboBox *box, const std::vector<std::string> &texts) {
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    fill(box, std::span<const std::string_view>(views));
}

QComboBox *list(QWidget *parent, const char *name, bool editable) {
    auto *box = named(new QComboBox(parent), name);
    box->setEditable(editable);
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

std::string text(const QComboBox *box) {
    return box->currentText().toStdString();
}

} // namespace

TForm2::TForm2(Catalogue &catalogue, std::string cataloguePath, Dialogs &dialogs,
               const int &language, QWidget *parent)
    : QDialog(parent), m_catalogue(catalogue), m_path(std::move(cataloguePath)), m_dialogs(dialogs),
      m_language(language), m_exchange(dialogs, dialogs, dialogs, language) {
    setObjectName(QStringLiteral("Form2"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(880, 442);

    LabelFilter = named(new QLabel(this), "LabelFilter");
    EditFilter = named(new QLineEdit(this), "EditFilter");
    EditFilter->setClearButtonEnabled(true);
    LabelFilter->setBuddy(EditFilter);

    StringGrid1 = named(new QTableWidget(0, kGridColumns, this), "StringGrid1");
    StringGrid1->setFixedHeight(240);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setDefaultSectionSize(22);
    StringGrid1->horizontalHeader()->setDefaultSectionSize(75);
    StringGrid1->horizontalHeader()->setSectionsClickable(false);
    QStringList titles;
    for (int c = 0; c < kGridColumns; ++c)
        titles << qs(gridTitle(c));
    StringGrid1->setHorizontalHeaderLabels(titles);

    auto *buttons = new QHBoxLayout;
    for (auto [button, name] : {std::pair{&BtnImport, "BtnImport"},
                                {&BtnExport, "BtnExport"},
                                {&BtnDelete, "BtnDelete"},
                                {&BtnAdd, "BtnAdd"},
                                {&BtnEdit, "BtnEdit"},
                                {&BtnSave, "BtnSave"},
                                {&BtnExit, "BtnExit"}}) {
        *button = named(new QPushButton(this), name);
        // Return in a list or the filter must not press a button (and delete a row).
        (*button)->setAutoDefault(false);
        buttons->addWidget(*button);
        if (*button == BtnExport)
            buttons->addStretch(1);
    }

    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(LabelFilter);
    filterRow->addWidget(EditFilter, 1);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(4);
    column->addLayout(filterRow);
    column->addWidget(StringGrid1);
    column->addWidget(buildConfig());
    column->addStretch(1);
    column->addLayout(buttons);

    connect(StringGrid1, &QTableWidget::cellDoubleClicked, this, &TForm2::StringGrid1DblClick);
    connect(ComboBox4, &QComboBox::currentIndexChanged, this, &TForm2::ComboBox4Change);
    connect(EditFilter, &QLineEdit::textChanged, this, &TForm2::EditFilterChange);
    connect(BtnImport, &QPushButton::clicked, this, &TForm2::BtnImportClick);
    connect(BtnExport, &QPushButton::clicked, this, &TForm2::BtnExportClick);
    connect(BtnDelete, &QPushButton::clicked, this, &TForm2::BtnDeleteClick);
    connect(BtnAdd, &QPushButton::clicked, this, &TForm2::BtnAddClick);
    connect(BtnEdit, &QPushButton::clicked, this, &TForm2::BtnEditClick);
    connect(BtnSave, &QPushButton::clicked, this, &TForm2::BtnSaveClick);
    connect(BtnExit, &QPushButton::clicked, this, &TForm2::BtnExitClick);
    applyLanguage(language);
}

// The "配置" group: thirteen labelled controls, five to a line.
QWidget *TForm2::buildConfig() {
    GroupBox1 = named(new QGroupBox(this), "GroupBox1");
    ComboBox1 = list(GroupBox1, "ComboBox1", true);
    ComboBox2 = list(GroupBox1, "ComboBox2", true);
    ComboBox3 = list(GroupBox1, "ComboBox3", true);
    Edit1 = named(new QLineEdit(GroupBox1), "Edit1");
    ComboBox4 = list(GroupBox1, "ComboBox4", false);
    ComboBox5 = list(GroupBox1, "ComboBox5", false);
    ComboBox6 = list(GroupBox1, "ComboBox6", false);
    ComboBox7 = list(GroupBox1, "ComboBox7", false);
    ComboBox8 = list(GroupBox1, "ComboBox8", false);
    ComboBox9 = list(GroupBox1, "ComboBox9", true);
    ComboBox10 = list(GroupBox1, "ComboBox10", false);
    ComboBox11 = list(GroupBox1, "ComboBox11", false);
    ComboBox12 = list(GroupBox1, "ComboBox12", true);
    fill(ComboBox4, familyListTexts());
    fill(ComboBox5, capacityListTexts());
    fill(ComboBox6, pageListTexts());
    fill(ComboBox7, voltageListTexts());
    fill(ComboBox10, eepromSizeListTexts());
    fill(ComboBox11, pageListTexts());
    fill(ComboBox12, associationListTexts());

    QLabel **labels[] = {&Label1, &Label2, &Label3,  &Label4,  &Label5,  &Label6, &Label7,
                         &Label8, &Label9, &Label10, &Label11, &Label12, &Label13};
    QWidget *controls[] = {ComboBox1,  ComboBox2,  ComboBox3, Edit1,     ComboBox4,
                           ComboBox5,  ComboBox6,  ComboBox7, ComboBox8, ComboBox9,
                           ComboBox10, ComboBox11, ComboBox12};
    auto *grid = new QGridLayout(GroupBox1);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(4);
    for (int i = 0; i < 13; ++i) {
        const QByteArray name = "Label" + QByteArray::number(i + 1);
        *labels[i] = named(new QLabel(GroupBox1), name.constData());
        (*labels[i])->setBuddy(controls[i]);
        grid->addWidget(*labels[i], i / 5, 2 * (i % 5));
        grid->addWidget(controls[i], i / 5, 2 * (i % 5) + 1);
        grid->setColumnStretch(2 * (i % 5) + 1, 1);
    }
    showControls(EditorControls{}); // the initial entries
    return GroupBox1;
}

void TForm2::applyLanguage(int language) {
    applyCaptions(*this, editorWindowCaptions(), language);
}

void TForm2::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    FormShow();
}

void TForm2::FormShow() {
    // The editor's reload names a damaged file in Chinese whatever the language.
    const CatalogueResult loaded = m_catalogue.load(m_path, 0);
    if (!loaded.message.empty())
        m_dialogs.showError(loaded.message);

    // Every chip is in sight when the editor opens.
    {
        const QSignalBlocker quiet(EditFilter);
        EditFilter->clear();
    }
    const int current = StringGrid1->currentRow();
    const std::vector<GridRow> rows = gridRowsFor(m_catalogue);
    {
        const QSignalBlocker quiet(StringGrid1);
        StringGrid1->setRowCount(0);
        for (const GridRow &row : rows)
            appendRow(row);
    }
    for (int c : kNarrowColumns)
        StringGrid1->setColumnWidth(c, 60);
    const EditorNameLists names = editorNameLists(rows);
    fill(ComboBox1, names.types);
    fill(ComboBox2, names.makers);
    fill(ComboBox3, names.models);
    // The grid keeps its current row where it can, as it keeps the selected row.
    setCurrentQuietly(std::min(std::max(current, 0), StringGrid1->rowCount() - 1));
    EditFilterChange();
}

std::vector<int> TForm2::highlightedRows() const {
    std::vector<int> rows;
    for (const QModelIndex &index : StringGrid1->selectionModel()->selectedRows())
        if (!StringGrid1->isRowHidden(index.row()))
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TForm2::selectedRow() const {
    const std::vector<int> rows = highlightedRows();
    return rows.size() == 1 ? rows[0] + 1 : 0;
}

void TForm2::StringGrid1DblClick() {
    const int row = selectedRow();
    if (row < 1)
        return; // the title row holds no chip
    const LoadResult loaded = loadControls(rowAt(row - 1), controls());
    showControls(loaded.controls);
    if (loaded.error)
        m_dialogs.showError(*loaded.error);
}

void TForm2::ComboBox4Change() {
    fillSubtypes(ComboBox4->currentIndex());
}

void TForm2::fillSubtypes(int family) {
    fill(ComboBox8, subtypeList(family));
}

// The new row shows whatever the filter holds, so the person sees what was added; the
// filter hides rows again when its text changes. The same goes for Edit and Import.
void TForm2::BtnAddClick() {
    GridRow row;
    writeControls(controls(), row);
    appendRow(row);
    const int added = StringGrid1->rowCount() - 1;
    setCurrentQuietly(added);
    StringGrid1->scrollToItem(StringGrid1->item(added, 0));
}

void TForm2::BtnEditClick() {
    const std::vector<int> rows = highlightedRows();
    if (rows.empty())
        return; // nothing highlighted: there is no row to overwrite
    if (rows.size() > 1) {
        m_dialogs.showInformation(text(txtEditOneRow, m_language));
        return;
    }
    GridRow row = rowAt(rows[0]);
    writeControls(controls(), row);
    setRow(rows[0], row);
}

// One row goes at once, as it always has; several only after the person said so.
void TForm2::BtnDeleteClick() {
    const std::vector<int> rows = highlightedRows();
    if (rows.empty())
        return; // no chip row, or only ones the filter hides
    if (rows.size() > 1 && !m_dialogs.askYesNoDefaultNo(
                               textWith(txtDeleteRows, m_language, {std::to_string(rows.size())})))
        return;
    {
        const QSignalBlocker quiet(StringGrid1);
        for (auto r = rows.rbegin(); r != rows.rend(); ++r)
            StringGrid1->removeRow(*r);
    }
    // The current row is where the first one was: the row that moved up, or the new last
    // one, the nearest in sight.
    const int count = StringGrid1->rowCount();
    int next = rows.front();
    while (next < count && StringGrid1->isRowHidden(next))
        ++next;
    if (next == count)
        for (next = rows.front() - 1; next >= 0 && StringGrid1->isRowHidden(next);)
            --next;
    setCurrentQuietly(next);
}

void TForm2::BtnSaveClick() {
    const CatalogueResult saved = m_catalogue.save(gridRows(), m_path, m_language);
    if (saved.outcome != CatalogueOutcome::Written)
        m_dialogs.showError(saved.message);
}

void TForm2::BtnImportClick() {
    const auto rows = m_exchange.importRows(static_cast<std::size_t>(StringGrid1->rowCount()));
    if (!rows || rows->empty())
        return;
    const int first = StringGrid1->rowCount();
    for (const GridRow &row : *rows)
        appendRow(row);
    setCurrentQuietly(first);
    StringGrid1->scrollToItem(StringGrid1->item(first, 0));
}

void TForm2::BtnExportClick() {
    m_exchange.exportRows(gridRows());
}

// Hides the rows whose name does not hold the filter text. A hidden row is not current,
// and Delete and Edit pass over it.
void TForm2::EditFilterChange() {
    const std::string filter = EditFilter->text().toStdString();
    for (int r = 0; r < StringGrid1->rowCount(); ++r)
        StringGrid1->setRowHidden(r, !rowMatchesFilter(rowAt(r), filter));
    const int current = StringGrid1->currentRow();
    if (current >= 0 && StringGrid1->isRowHidden(current))
        setCurrentQuietly(-1);
}

EditorControls TForm2::controls() const {
    EditorControls c;
    c.type = text(ComboBox1);
    c.maker = text(ComboBox2);
    c.model = text(ComboBox3);
    c.delayText = Edit1->text().toStdString();
    c.family = ComboBox4->currentIndex();
    c.capacity = ComboBox5->currentIndex();
    c.flashPage = ComboBox6->currentIndex();
    c.voltage = ComboBox7->currentIndex();
    c.algorithm = ComboBox8->currentIndex();
    c.chipIdText = text(ComboBox9);
    c.eepromSize = ComboBox10->currentIndex();
    c.eepromPage = ComboBox11->currentIndex();
    c.associationText = text(ComboBox12);
    return c;
}

// Positions set from code run no change handler.
void TForm2::showControls(const EditorControls &c) {
    const QSignalBlocker quiet(ComboBox4);
    ComboBox1->setEditText(qs(c.type));
    ComboBox2->setEditText(qs(c.maker));
    ComboBox3->setEditText(qs(c.model));
    ComboBox9->setEditText(qs(c.chipIdText));
    ComboBox4->setCurrentIndex(c.family);
    fillSubtypes(c.family);
    ComboBox8->setCurrentIndex(c.algorithm);
    ComboBox5->setCurrentIndex(c.capacity);
    ComboBox6->setCurrentIndex(c.flashPage);
    Edit1->setText(qs(c.delayText));
    ComboBox7->setCurrentIndex(c.voltage);
    ComboBox10->setCurrentIndex(c.eepromSize);
    ComboBox11->setCurrentIndex(c.eepromPage);
    ComboBox12->setEditText(qs(c.associationText));
}

GridRow TForm2::rowAt(int tableRow) const {
    GridRow row;
    for (int c = 0; c < kGridColumns; ++c)
        if (const QTableWidgetItem *item = StringGrid1->item(tableRow, c))
            row[static_cast<std::size_t>(c)] = item->text().toStdString();
    return row;
}

std::vector<GridRow> TForm2::gridRows() const {
    std::vector<GridRow> rows;
    for (int r = 0; r < StringGrid1->rowCount(); ++r)
        rows.push_back(rowAt(r));
    return rows;
}

void TForm2::setRow(int tableRow, const GridRow &row) {
    for (int c = 0; c < kGridColumns; ++c) {
        const QString t = qs(row[static_cast<std::size_t>(c)]);
        if (QTableWidgetItem *item = StringGrid1->item(tableRow, c))
            item->setText(t);
        else
            StringGrid1->setItem(tableRow, c, new QTableWidgetItem(t));
    }
}

void TForm2::appendRow(const GridRow &row) {
    StringGrid1->insertRow(StringGrid1->rowCount());
    setRow(StringGrid1->rowCount() - 1, row);
}

void TForm2::setCurrentQuietly(int tableRow) {
    const QSignalBlocker quiet(StringGrid1);
    if (tableRow < 0) {
        StringGrid1->setCurrentIndex(QModelIndex());
        StringGrid1->clearSelection();
    } else {
        StringGrid1->setCurrentCell(tableRow, 0);
    }
}
