#pragma once
// TForm2: the chip editor. It shows the catalogue as a grid, loads a row into the
// configuration controls, writes them back as a new or the selected row, deletes rows,
// saves the grid as the catalogue file, and exchanges rows with CSV files.

#include "catalogue/CatalogueExchange.h"
#include "catalogue/EditorRows.h"

#include <QDialog>
#include <string>
#include <vector>

class Dialogs;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    // catalogue: the main window's table, reloaded from cataloguePath on every showing
    // and rebuilt by a save. language: the main window's, read when a text is shown.
    TForm2(korvat::Catalogue &catalogue, std::string cataloguePath, Dialogs &dialogs,
           const int &language, QWidget *parent = nullptr);

    void applyLanguage(int language);
    // The highlighted chip row, from 1, while exactly one is highlighted among the rows
    // the filter shows; else 0 (the title row).
    int selectedRow() const;
    // The grid's chip rows as they stand, hidden ones included.
    std::vector<korvat::GridRow> gridRows() const;

public slots:
    void StringGrid1DblClick();
    void ComboBox4Change();
    void BtnAddClick();
    void BtnEditClick();
    void BtnDeleteClick();
    void BtnSaveClick();
    void BtnExitClick() { reject(); }
    void BtnImportClick();
    void BtnExportClick();
    void EditFilterChange();

protected:
    void showEvent(QShowEvent *event) override; // FormShow

public:
    QLabel *LabelFilter;
    QLineEdit *EditFilter;
    QTableWidget *StringGrid1;
    QGroupBox *GroupBox1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9,
        *Label10, *Label11, *Label12, *Label13;
    QComboBox *ComboBox1, *ComboBox2, *ComboBox3, *ComboBox4, *ComboBox5, *ComboBox6, *ComboBox7,
        *ComboBox8, *ComboBox9, *ComboBox10, *ComboBox11, *ComboBox12;
    QLineEdit *Edit1;
    QPushButton *BtnImport, *BtnExport, *BtnDelete, *BtnAdd, *BtnEdit, *BtnSave, *BtnExit;

private:
    void FormShow();
    // The highlighted rows the filter shows, in grid order (table rows, from 0). Edit
    // and Delete act on them, and never on a row out of sight.
    std::vector<int> highlightedRows() const;
    QWidget *buildConfig();
    korvat::EditorControls controls() const;
    void showControls(const korvat::EditorControls &controls);
    void fillSubtypes(int family);
    korvat::GridRow rowAt(int tableRow) const;
    void setRow(int tableRow, const korvat::GridRow &row);
    void appendRow(const korvat::GridRow &row);
    // Makes a table row the current and only highlighted one, running no handler.
    void setCurrentQuietly(int tableRow);

    korvat::Catalogue &m_catalogue;
    std::string m_path;
    Dialogs &m_dialogs;
    const int &m_language;
    korvat::CatalogueExchange m_exchange;
};
