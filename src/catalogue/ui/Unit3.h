#pragma once
// TForm3: the chip search window. Every change of the search text lists the chips
// whose name holds it; "选择", a double-click or Enter chooses the row's chip in the
// main window's lists.

#include "catalogue/Selection.h"

#include <QDialog>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
namespace korvat {
class Catalogue;
}

class TForm3 : public QDialog {
    Q_OBJECT
public:
    using Choose = std::function<void(const korvat::SearchRow &row)>;
    TForm3(const korvat::Catalogue &catalogue, Choose choose, QWidget *parent = nullptr);

    void applyLanguage(int language);

public slots:
    void ComboBox1Change();
    void BitBtn1Click();
    void BitBtn2Click() { reject(); }

protected:
    void showEvent(QShowEvent *event) override; // FormShow
    void keyPressEvent(QKeyEvent *event) override;

public:
    QLabel *Label1;
    QComboBox *ComboBox1;
    QTreeWidget *ListView1;
    QPushButton *BitBtn1, *BitBtn2;

private:
    void resetColumns();
    int selectedRow() const; // -1: none
    void choose(int row);    // the row's chip, and the window closes; -1 does nothing

    const korvat::Catalogue &m_catalogue;
    Choose m_choose;
    std::vector<korvat::SearchRow> m_rows;
    int m_language = 0;
};
