// The chip editor through the real windows: opened from the main window's toolbar,
// driven by clicks, popups, typing and file dialogs.
#include "HexView.h"
#include "Modal.h"
#include "RecordingDialogs.h"
#include "Unit1.h"
#include "Unit2.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueCsv.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <memory>

using namespace korvat;

namespace {

GridRow chip(std::string name, std::string id, std::string capacity, std::string family,
             std::string algorithm = "0") {
    const NameParts p = [&] {
        const auto a = name.find(','), b = name.find(',', a + 1);
        return NameParts{name.substr(0, a), name.substr(a + 1, b - a - 1), name.substr(b + 1)};
    }();
    return {p.type,    p.maker, p.model, id,  capacity, "256", family,
            algorithm, "100",   "0",     "0", "4",      "0"};
}

// Slots 0 to 4.
const std::vector<GridRow> kChips = {
    chip("SPI,Winbond,W25Q80", "0xEF4014", "1048576", "0"),
    chip("EEPROM93,Atmel,AT93C66", "0x0", "512", "2", "89"),
    chip("SPI,Winbond,W25Q64", "0xEF4017", "8388608", "0"),
    chip("EEPROM24,Atmel,AT24C16", "0x0", "2048", "1", "1"),
    chip("spi,MXIC,MX25L6405", "0xC22017", "8388608", "0"),
};

QStringList items(const QComboBox *box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QString cell(const QTableWidget *grid, int row, int column) {
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}

QStringList models(const QTableWidget *grid, bool visibleOnly = false) {
    QStringList out;
    for (int r = 0; r < grid->rowCount(); ++r)
        if (!visibleOnly || !grid->isRowHidden(r))
            out << cell(grid, r, 2);
    return out;
}

void clickRow(QTableWidget *grid, int row) {
    grid->scrollToItem(grid->item(row, 0));
    const QRect r = grid->visualItemRect(grid->item(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
}

void doubleClickRow(QTableWidget *grid, int row) {
    clickRow(grid, row);
    const QRect r = grid->visualItemRect(grid->item(row, 0));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, r.center());
}

// Extends the highlighted rows to this one, as a shift-click does.
void shiftClickRow(QTableWidget *grid, int row) {
    const QRect r = grid->visualItemRect(grid->item(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, r.center());
}

void press(QPushButton *button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// Opens the list's popup and clicks the entry.
void pick(QComboBox *box, const QString &text) {
    const int i = box->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    box->showPopup();
    QAbstractItemView *view = box->view();
    QTRY_VERIFY(view->isVisible());
    const QModelIndex index = view->model()->index(i, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QTRY_VERIFY(!view->isVisible());
    QCOMPARE(box->currentIndex(), i);
}

// Replaces the text of an editable list or a text box by typing.
void typeInto(QWidget *box, const QString &text) {
    QLineEdit *edit = qobject_cast<QComboBox *>(box) ? qobject_cast<QComboBox *>(box)->lineEdit()
                                                     : qobject_cast<QLineEdit *>(box);
    QVERIFY(edit);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80) // the keys of an ASCII keyboard
            QTest::keyClick(edit, ch.toLatin1());
        else // as an input method would give it
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), {});
    }
}

} // namespace

class ChipEditorTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    RecordingDialogs m_dialogs;
    QString base() const { return m_dir.path() + QStringLiteral("/korvat"); }
    std::string datPath() const { return (base() + QStringLiteral(".Dat")).toStdString(); }
    QByteArray fileBytes() const {
        QFile f(base() + QStringLiteral(".Dat"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeCatalogue(const std::vector<GridRow> &rows) {
        Catalogue cat;
        QCOMPARE(cat.save(rows, datPath()).outcome, CatalogueOutcome::Written);
    }

    std::unique_ptr<TForm1> window(Dialogs *dialogs, int language = 0) {
        QSettings s(base() + QStringLiteral(".ini"), QSettings::IniFormat);
        s.setValue(QStringLiteral("DEVICE/chip"), 1);
        s.setValue(QStringLiteral("DEVICE/LANGU"), language);
        s.sync();
        auto w = std::make_unique<TForm1>(base(), UsbApi::unavailable(), dialogs);
        w->show();
        return w;
    }
    std::unique_ptr<TForm1> window() { return window(&m_dialogs); }

    // Opens the editor with the toolbar button and acts inside it; it is closed after.
    template <typename Inside> void inEditor(TForm1 &w, Inside inside) {
        bool ran = false;
        QTimer::singleShot(0, &w, [&] {
            ran = true;
            TForm2 *editor = w.editorWindow();
            const auto close = qScopeGuard([editor] { editor->reject(); });
            QVERIFY(editor->isVisible());
            inside(*editor);
        });
        QAction *device = w.findChild<QAction *>(QStringLiteral("ToolDevice"));
        QTest::mouseClick(w.ToolBar1->widgetForAction(device), Qt::LeftButton);
        QVERIFY(ran);
    }

private slots:
    void init() {
        QFile::remove(base() + QStringLiteral(".ini"));
        writeCatalogue(kChips);
        m_dialogs = RecordingDialogs();
    }

    void showsTheCatalogueWithTheInitialEntries() {
        auto w = window();
        inEditor(*w, [&](TForm2 &e) {
            QCOMPARE(e.size(), QSize(880, 442));
            QCOMPARE(e.windowTitle(), QStringLiteral("芯片编辑"));
            QCOMPARE(e.StringGrid1->rowCount(), 5);
            QCOMPARE(e.StringGrid1->horizontalHeaderItem(6)->text(), QStringLiteral("类型"));
            QCOMPARE(e.StringGrid1->horizontalHeaderItem(12)->text(), QStringLiteral("关联XML"));
            for (int c = 0; c < kGridColumns; ++c)
                QCOMPARE(e.StringGrid1->columnWidth(c), c < 3 || c == 10 ? 75 : 60);
            QCOMPARE(cell(e.StringGrid1, 2, 3), QStringLiteral("0xEF4017"));
            QCOMPARE(cell(e.StringGrid1, 1, 7), QStringLiteral("89"));
            // Each name once, letter case aside, as first met.
            QCOMPARE(items(e.ComboBox1), (QStringList{"SPI", "EEPROM93", "EEPROM24"}));
            QCOMPARE(items(e.ComboBox2), (QStringList{"Winbond", "Atmel", "MXIC"}));
            QCOMPARE(e.ComboBox3->count(), 5);
            QCOMPARE(e.ComboBox3->currentText(), QStringLiteral("W25Q80"));
            QCOMPARE(e.Edit1->text(), QStringLiteral("100"));
            QCOMPARE(e.ComboBox4->currentText(), QStringLiteral("25 flash 系列"));
            QCOMPARE(e.ComboBox5->currentText(), QStringLiteral("64B"));
            QCOMPARE(e.ComboBox6->currentText(), QStringLiteral("1"));
            QCOMPARE(e.ComboBox7->currentText(), QStringLiteral("3.3V"));
            QCOMPARE(e.ComboBox8->count(), 4);
            QCOMPARE(e.ComboBox8->currentIndex(), 0);
            QCOMPARE(e.ComboBox9->currentText(), QStringLiteral("0"));
            QCOMPARE(e.ComboBox10->currentText(), QStringLiteral("2B"));
            QCOMPARE(e.ComboBox11->currentText(), QStringLiteral("4"));
            QCOMPARE(e.ComboBox12->currentText(), QStringLiteral("0"));
            QCOMPARE(e.ComboBox12->count(), 19);
            QCOMPARE(e.GroupBox1->title(), QStringLiteral("配置"));
            QCOMPARE(e.BtnImport->text(), QStringLiteral("导入"));
            QCOMPARE(e.selectedRow(), 1); // the first row is highlighted
            // Centred on the main window, as far as the screen lets it.
            const QPoint off = e.frameGeometry().center() - w->frameGeometry().center();
            QVERIFY(qAbs(off.y()) < 10);
            QVERIFY(qAbs(off.x()) < 10 ||
                    e.frameGeometry().left() == e.screen()->geometry().left());
            screenshot(&e, "editor");
        });
        QVERIFY(m_dialogs.errors.empty());
    }

    void speaksTheChosenLanguage() {
        const struct {
            void (TForm1::*choose)();
            const char *title, *quit, *import, *exportText, *label13;
        } languages[] = {
            {&TForm1::fantiClick, "芯片編輯", "退出", "導入", "導出", "擴展關聯"},
            {&TForm1::EnlishClick, "Chip Editor", "Quit", "Import", "Export", "Extend"},
        };
        auto w = window();
        for (const auto &l : languages) {
            ((*w).*l.choose)();
            inEditor(*w, [&](TForm2 &e) {
                QCOMPARE(e.windowTitle(), QString::fromUtf8(l.title));
                QCOMPARE(e.BtnExit->text(), QString::fromUtf8(l.quit));
                QCOMPARE(e.BtnImport->text(), QString::fromUtf8(l.import));
                QCOMPARE(e.BtnExport->text(), QString::fromUtf8(l.exportText));
                QCOMPARE(e.Label13->text(), QString::fromUtf8(l.label13));
                // The title row and the list texts keep their designed form.
                QCOMPARE(e.StringGrid1->horizontalHeaderItem(0)->text(),
                         QStringLiteral("芯片类型"));
                QCOMPARE(e.ComboBox4->itemText(4), QStringLiteral("AVR 系列"));
                screenshot(&e, "editor-language");
            });
        }
    }

    void theMenuEntryOpensTheEditorToo() {
        auto w = window();
        bool shown = false;
        QTimer::singleShot(0, w.get(), [&] {
            shown = w->editorWindow()->isVisible();
            w->editorWindow()->reject();
        });
        w->findChild<QAction *>(QStringLiteral("N3"))->trigger();
        QVERIFY(shown);
    }

    // A double-click loads the row it selects, with the sub-type the family change
    // would not have chosen; on the title row it loads nothing.
    void doubleClickLoadsAChipRowButNotTheTitleRow() {
        auto w = window();
        inEditor(*w, [&](TForm2 &e) {
            clickRow(e.StringGrid1, 2); // a chip row is selected, W25Q64
            QCOMPARE(e.selectedRow(), 3);
            QHeaderView *titles = e.StringGrid1->horizontalHeader();
            QTest::mouseDClick(titles->viewport(), Qt::LeftButton, {},
                               QPoint(titles->sectionViewportPosition(2) + 10, 5));
            QCOMPARE(e.ComboBox3->currentText(), QStringLiteral("W25Q80"));
            QCOMPARE(e.ComboBox4->currentIndex(), 0);
            QCOMPARE(e.ComboBox9->currentText(), QStringLiteral("0"));

            doubleClickRow(e.StringGrid1, 1);
            QCOMPARE(e.selectedRow(), 2);
            QCOMPARE(e.ComboBox3->currentText(), QStringLiteral("AT93C66"));
            QCOMPARE(e.ComboBox4->currentText(), QStringLiteral("93 eeprom 系列"));
            QCOMPARE(e.ComboBox8->currentText(), QStringLiteral("93C66 16 BITS"));
            QCOMPARE(e.ComboBox5->currentText(), QStringLiteral("512B"));
            QCOMPARE(e.ComboBox6->currentText(), QStringLiteral("256"));
            QCOMPARE(e.ComboBox10->currentText(), QStringLiteral("0B"));

            doubleClickRow(e.StringGrid1, 3); // 24 series, 2 KiB, algorithm cell 1
            QCOMPARE(e.ComboBox8->currentText(), QStringLiteral("小于4KB"));
            QVERIFY(m_dialogs.errors.empty());
        });
    }

    // Choosing a family in its popup refills the algorithm list.
    void familyChangeRefillsTheAlgorithmList() {
        auto w = window();
        inEditor(*w, [&](TForm2 &e) {
            pick(e.ComboBox4, QStringLiteral("93 eeprom 系列"));
            QCOMPARE(e.ComboBox8->count(), 10);
            QCOMPARE(e.ComboBox8->currentText(), QStringLiteral("93C46 8 BITS"));
            pick(e.ComboBox4, QStringLiteral("AVR 系列"));
            QCOMPARE(items(e.ComboBox8), QStringList{"标准算法"});
        });
    }

    // A cell that is not an integer stops the load there, with the controls half set.
    void badCellStopsTheLoadHalfway() {
        auto w = window();
        inEditor(*w, [&](TForm2 &e) {
            typeInto(e.ComboBox3, QStringLiteral("LATE"));
            pick(e.ComboBox5, QStringLiteral("16MB"));
            typeInto(e.Edit1, QStringLiteral("soon"));
            pick(e.ComboBox7, QStringLiteral("1.8V"));
            press(e.BtnAdd);
            doubleClickRow(e.StringGrid1, 0); // the controls from a good row
            QCOMPARE(e.ComboBox5->currentText(), QStringLiteral("1MB"));
            QCOMPARE(e.ComboBox7->currentText(), QStringLiteral("3.3V"));
            doubleClickRow(e.StringGrid1, 5);
            QCOMPARE(m_dialogs.errors,
                     std::vector<std::string>{"'soon' is not a valid integer value"});
            // Loaded up to the delay, nothing after it.
            QCOMPARE(e.ComboBox3->currentText(), QStringLiteral("LATE"));
            QCOMPARE(e.ComboBox5->currentText(), QStringLiteral("16MB"));
            QCOMPARE(e.Edit1->text(), QStringLiteral("100"));
            QCOMPARE(e.ComboBox7->currentText(), QStringLiteral("3.3V"));
        });
    }

    // The first row is highlighted when the editor opens: Edit and Delete act on it
    // without a click first.
    void editAndDeleteActOnTheRowHighlightedAtTheStart() {
        auto w = window();
        inEditor(*w, [&](TForm2 &e) {
            QCOMPARE(e.StringGrid1->currentRow(), 0);
            typeInto(e.ComboBox9, QStringLiteral("0xEF4099"));
            press(e.BtnEdit);
            QCOMPARE(cell(e.StringGrid1, 0, 3), QStringLiteral("0xEF4099"));
        });
        inEditor(*w, [&](TForm2 &e) {
            press(e.BtnDelete);
            QCOMPARE(models(e.StringGrid1),
                     (QStringList{"AT93C66", "W25Q64", "AT24C16", "MX25L6405"}));
        });
    }

    void addWritesTheControlsIntoANewLastRow() {
        auto w = window();
        inEditor(*w, [&](TForm2 &e) {
            typeInto(e.ComboBox3, QStringLiteral("NEWCHIP"));
            typeInto(e.ComboBox9, QStringLiteral("0xEF4018"));
            pick(e.ComboBox5, QStringLiteral("16MB"));
            pick(e.ComboBox6, QStringLiteral("256"));
            pick(e.ComboBox8, QStringLiteral("SST大于16M bytes"));
            pick(e.ComboBox10, QStringLiteral("0B"));
            press(e.BtnAdd);
            QCOMPARE(e.StringGrid1->rowCount(), 6);
            QCOMPARE(e.StringGrid1->currentRow(), 5);
            QCOMPARE(e.selectedRow(), 6);
            const QStringList row = [&] {
                QStringList r;
                for (int c = 0; c < kGridColumns; ++c)
                    r << cell(e.StringGrid1, 5, c);
                return r;
            }();
            QCOMPARE(row, (QStringList{"SPI", "Winbond", "NEWCHIP", "0xEF4018", "16777216", "256",
                                       "0", "129", "100", "0", "0", "4", "0"}));
        });
    }

    // Edit writes the one highlighted row; with several highlighted it writes none and
    // says why.
    void editOverwritesTheHighlightedRowAndNoneOfSeveral() {
        auto w = window();
        inEditor(*w, [&](TForm2 &e) {
            const std::vector<GridRow> before = e.gridRows();
            typeInto(e.ComboBox9, QStringLiteral("0x1F"));
            clickRow(e.StringGrid1, 1);
            shiftClickRow(e.StringGrid1, 3);
            press(e.BtnEdit);
            QCOMPARE(e.gridRows(), before);
            QCOMPARE(m_dialogs.information,
                     std::vector<std::string>{"编辑只写入一行：请只选中一行。"});

            clickRow(e.StringGrid1, 2);
            press(e.BtnEdit);
            QCOMPARE(cell(e.StringGrid1, 2, 3), QStringLiteral("0x1F"));
            QCOMPARE(cell(e.StringGrid1, 2, 2), QStringLiteral("W25Q80")); // the controls' model
            QCOMPARE(e.gridRows()[3], before[3]);
        });
        // The selected row is kept across showings.
        inEditor(*w, [&](TForm2 &e) { QCOMPARE(e.selectedRow(), 3); });
    }

    // Delete removes every highlighted row after one question naming how many, No by
    // default; a row the filter hides stays, even inside the highlighted run.
    void deleteRemovesEveryHighlightedRowAfterOneQuestion() {
        auto w = window(&m_dialogs, 2);
        inEditor(*w, [&](TForm2 &e) {
            QTest::keyClicks(e.EditFilter, QStringLiteral("W25"));
            clickRow(e.StringGrid1, 0);
            shiftClickRow(e.StringGrid1, 2); // the run holds the hidden AT93C66
            m_dialogs.answers = {false, true};
            press(e.BtnDelete);
            QCOMPARE(e.StringGrid1->rowCount(), 5);
            QCOMPARE(m_dialogs.questions, std::vector<std::string>{"Delete the 2 selected rows?"});
            QCOMPARE(m_dialogs.defaultNoQuestions, 1);
            press(e.BtnDelete);
            QCOMPARE(models(e.StringGrid1), (QStringList{"AT93C66", "AT24C16", "MX25L6405"}));
        });
    }

    void deleteRemovesTheCurrentRowWithoutAsking() {
        auto w = window();
        inEditor(*w, [&](TForm2 &e) {
            clickRow(e.StringGrid1, 4);
            press(e.BtnDelete); // the last row
            QCOMPARE(models(e.StringGrid1),
                     (QStringList{"W25Q80", "AT93C66", "W25Q64", "AT24C16"}));
            QCOMPARE(e.StringGrid1->currentRow(), 3);
            clickRow(e.StringGrid1, 1);
            press(e.BtnDelete);
            QCOMPARE(models(e.StringGrid1), (QStringList{"W25Q80", "W25Q64", "AT24C16"}));
            QCOMPARE(e.StringGrid1->currentRow(), 1); // the row that moved up
            for (int i = 0; i < 4; ++i)
                press(e.BtnDelete); // the fourth press finds only the title row
            QCOMPARE(e.StringGrid1->rowCount(), 0);
            press(e.BtnEdit);
            QCOMPARE(e.StringGrid1->rowCount(), 0);
            QVERIFY(m_dialogs.questions.empty());
        });
    }

    // Nothing reaches the file before Save; Save writes what the writer makes of the
    // grid, says nothing, and the next showing reads it back.
    void saveWritesTheGridAndTheNextShowingReadsIt() {
        auto w = window();
        const QByteArray original = fileBytes();
        inEditor(*w, [&](TForm2 &e) {
            typeInto(e.ComboBox3, QStringLiteral("UNSAVED"));
            press(e.BtnAdd);
        });
        QCOMPARE(fileBytes(), original);
        std::vector<GridRow> expected;
        inEditor(*w, [&](TForm2 &e) {
            QCOMPARE(e.StringGrid1->rowCount(), 5); // the unsaved row is gone
            doubleClickRow(e.StringGrid1, 2);
            typeInto(e.Edit1, QStringLiteral("300"));
            press(e.BtnEdit);
            clickRow(e.StringGrid1, 0);
            press(e.BtnDelete);
            press(e.BtnSave);
            expected = e.gridRows();
        });
        QVERIFY(m_dialogs.errors.empty());
        Catalogue reference;
        const QString referencePath = m_dir.path() + QStringLiteral("/reference.Dat");
        QCOMPARE(reference.save(expected, referencePath.toStdString()).outcome,
                 CatalogueOutcome::Written);
        QFile ref(referencePath);
        QVERIFY(ref.open(QIODevice::ReadOnly));
        QCOMPARE(fileBytes(), ref.readAll());
        inEditor(*w, [&](TForm2 &e) {
            QCOMPARE(models(e.StringGrid1),
                     (QStringList{"AT93C66", "W25Q64", "AT24C16", "MX25L6405"}));
            QCOMPARE(cell(e.StringGrid1, 1, 8), QStringLiteral("300"));
        });
    }

    // Every value the file cannot hold stops the save with a message naming the row and
    // the column; the file stays as it was.
    void saveRefusesWhatTheFileCannotHold() {
        const struct {
            const char *what;
            std::function<void(TForm2 &)> enter;
            const char *message;
        } cases[] = {
            {"not a number", [](TForm2 &e) { typeInto(e.ComboBox9, QStringLiteral("W25")); },
             "'W25' is not a valid integer value"},
            {"chip ID", [](TForm2 &e) { typeInto(e.ComboBox9, QStringLiteral("0x1000000")); },
             "Row 6, column chip ID: 0x1000000 does not fit the field (0 to 16777215)."},
            {"delay", [](TForm2 &e) { typeInto(e.Edit1, QStringLiteral("65536")); },
             "Row 6, column delay: 65536 does not fit the field (0 to 65535)."},
            {"association", [](TForm2 &e) { typeInto(e.ComboBox12, QStringLiteral("70000")); },
             "Row 6, column association: 70000 does not fit the field (0 to 65535)."},
            {"EEPROM size", [](TForm2 &e) { pick(e.ComboBox10, QStringLiteral("64KB")); },
             "Row 6, column EEPROM: 65536 does not fit the field (0 to 65535)."},
            {"EEPROM page", [](TForm2 &e) { pick(e.ComboBox11, QStringLiteral("256")); },
             "Row 6, column EEPROM page: 256 does not fit the field (0 to 255)."},
            {"long name", [](TForm2 &e) { typeInto(e.ComboBox3, QString(40, QLatin1Char('M'))); },
             "Row 6, column model: the name "
             "\"SPI,Winbond,MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM\" "
             "is longer than 47 bytes."},
            {"not GBK", [](TForm2 &e) { typeInto(e.ComboBox2, QStringLiteral("Wő")); },
             "Row 6, column maker: the name \"SPI,Wő,W25Q80\" holds characters that cannot be "
             "stored."},
            // The main window's lists would take "Corp" for the model.
            {"blank", [](TForm2 &e) { typeInto(e.ComboBox2, QStringLiteral("Acme Corp")); },
             "Row 6, column maker: the name \"SPI,Acme Corp,W25Q80\" cannot hold a blank."},
        };
        const QByteArray original = fileBytes();
        for (const auto &c : cases) {
            m_dialogs.errors.clear();
            auto w = window(&m_dialogs, 2); // the controls keep what the previous case typed
            inEditor(*w, [&](TForm2 &e) {
                c.enter(e);
                press(e.BtnAdd);
                press(e.BtnSave);
            });
            QCOMPARE(m_dialogs.errors.size(), 1u);
            QCOMPARE(QString::fromStdString(m_dialogs.errors[0]), QString::fromUtf8(c.message));
            QVERIFY2(fileBytes() == original, c.what);
            QCOMPARE(w->catalogue().chipCount(), 5);
        }
    }

    // The main window selects again the chip that was current, by its name, after a
    // save moved it; its buffer stays while its record is unchanged.
    void theMainWindowKeepsItsChipAfterASaveMovedIt() {
        auto w = window();
        pick(w->ComboBox3, QStringLiteral("W25Q64")); // slot 2
        QCOMPARE(w->currentChip(), 2);
        w->buffers().flash()[0] = 0x5A;
        inEditor(*w, [&](TForm2 &e) {
            clickRow(e.StringGrid1, 1); // AT93C66, above it
            press(e.BtnDelete);
            press(e.BtnSave);
        });
        QCOMPARE(w->currentChip(), 1);
        QCOMPARE(w->ComboBox3->currentText(), QStringLiteral("W25Q64"));
        QCOMPARE(w->catalogue().name(w->currentChip()), std::string("SPI,Winbond,W25Q64"));
        QCOMPARE(w->buffers().flash()[0], std::uint8_t{0x5A});
        QCOMPARE(w->savedPositions(), (std::array<int, 3>{0, 0, 1}));

        // A new delay and page size keep what the buffer holds; the page box follows.
        inEditor(*w, [&](TForm2 &e) {
            doubleClickRow(e.StringGrid1, 1);
            typeInto(e.Edit1, QStringLiteral("300"));
            pick(e.ComboBox6, QStringLiteral("128"));
            press(e.BtnEdit);
            press(e.BtnSave);
        });
        QCOMPARE(w->catalogue().slot(1).delay, std::uint16_t{300});
        QCOMPARE(w->Edit2->text(), QStringLiteral("128"));
        QCOMPARE(w->buffers().flash()[0], std::uint8_t{0x5A});

        // Its size changed: selected again with the new size, the buffer reset.
        inEditor(*w, [&](TForm2 &e) {
            doubleClickRow(e.StringGrid1, 1);
            pick(e.ComboBox5, QStringLiteral("4MB"));
            press(e.BtnEdit);
            press(e.BtnSave);
        });
        QCOMPARE(w->currentChip(), 1);
        QCOMPARE(w->Edit1->text(), QStringLiteral("4194304"));
        QCOMPARE(w->FlashEditor->dataSize(), std::size_t{4194304});
        QCOMPARE(w->buffers().flash()[0], std::uint8_t{0xFF});

        // It is gone: the first chip.
        inEditor(*w, [&](TForm2 &e) {
            clickRow(e.StringGrid1, 1);
            press(e.BtnDelete);
            press(e.BtnSave);
        });
        QCOMPARE(w->currentChip(), 0);
        QCOMPARE(w->ComboBox3->currentText(), QStringLiteral("W25Q80"));
        QCOMPARE(items(w->ComboBox1), (QStringList{"SPI", "EEPROM24"}));
    }

    // Export writes the grid as CSV, Import appends such a file: the catalogue saved
    // from the imported rows is the original file byte for byte. Real file dialogs.
    void csvExportThenImportGivesTheSameCatalogue() {
        std::vector<GridRow> chips = kChips;
        chips.push_back(chip("SPI,兆易,GD25Q64", "0xC84017", "8388608", "0"));
        writeCatalogue(chips);
        const QByteArray original = fileBytes();
        const QString csv = m_dir.path() + QStringLiteral("/chips.csv");
        auto w = window(nullptr);
        inEditor(*w, [&](TForm2 &e) {
            whenModal<QFileDialog>([&](QFileDialog *d) { typeFileName(d, csv); });
            press(e.BtnExport);
            QVERIFY(QFile::exists(csv));
            while (e.StringGrid1->rowCount() > 0)
                press(e.BtnDelete);
            whenModal<QFileDialog>([&](QFileDialog *d) { typeFileName(d, csv); });
            press(e.BtnImport);
            QCOMPARE(e.StringGrid1->rowCount(), 6);
            QCOMPARE(cell(e.StringGrid1, 5, 1), QStringLiteral("兆易"));
            press(e.BtnSave);
        });
        QCOMPARE(fileBytes(), original);
    }

    // The save's and the CSV files' messages speak the window's language.
    void saveAndCsvMessagesSpeakTheLanguage() {
        const QString csv = m_dir.path() + QStringLiteral("/bad.csv");
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write((writeCatalogueCsv({kChips[0]}) + "SPI,W,X,0x1,64,1,0,0,100,0,zz,4,0\n").c_str());
        f.close();
        auto w = window(&m_dialogs, 1);
        inEditor(*w, [&](TForm2 &e) {
            m_dialogs.files = {csv.toStdString()};
            press(e.BtnImport);
            typeInto(e.Edit1, QStringLiteral("65536"));
            press(e.BtnAdd);
            press(e.BtnSave);
        });
        w->findChild<QAction *>(QStringLiteral("China"))->trigger();
        inEditor(*w, [&](TForm2 &e) {
            typeInto(e.Edit1, QStringLiteral("65536"));
            press(e.BtnAdd);
            press(e.BtnSave);
        });
        QCOMPARE(m_dialogs.errors,
                 (std::vector<std::string>{
                     csv.toStdString() + "：第 3 行，eeprom_size 列：「zz」不是有效的整數",
                     "第 6 行，「延时」列：65536 超出字段的範圍（0 至 65535）。",
                     "第 6 行，“延时”列：65536 超出字段的范围（0 至 65535）。"}));
    }

    // A file with a bad line is refused whole, naming the line and the column; so is one
    // that would pass 999 chips.
    void importRefusesABadFileWhole() {
        const QString csv = m_dir.path() + QStringLiteral("/bad.csv");
        auto writeCsv = [&](const std::string &text) {
            QFile f(csv);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text.data(), static_cast<qint64>(text.size()));
        };
        auto w = window(&m_dialogs, 2);
        inEditor(*w, [&](TForm2 &e) {
            const std::pair<const char *, const char *> bad[] = {
                {"SPI,W,X,0x1,64,1,0,0,100,0,zz,4,0",
                 "line 3, column eeprom_size: 'zz' is not a valid integer value"},
                {"SPI,Acme Corp,X,0x1,64,1,0,0,100,0,0,4,0",
                 "line 3, column maker: the name \"SPI,Acme Corp,X\" cannot hold a blank."},
                {"SPI,W,X,0x1,134217728,1,0,0,100,0,0,4,0",
                 "line 3, column flash_size: 134217728 does not fit the 64 MiB FLASH buffer (0 "
                 "to 67108864)."},
            };
            for (const auto &[line, error] : bad) {
                m_dialogs.errors.clear();
                writeCsv(writeCatalogueCsv({kChips[0]}) + line + "\n");
                m_dialogs.files = {csv.toStdString()};
                press(e.BtnImport);
                QCOMPARE(m_dialogs.errors,
                         std::vector<std::string>{csv.toStdString() + ": " + error});
                QCOMPARE(e.StringGrid1->rowCount(), 5);
            }

            writeCsv(writeCatalogueCsv(std::vector<GridRow>(995, kChips[0])));
            m_dialogs.files = {csv.toStdString()};
            press(e.BtnImport);
            QCOMPARE(m_dialogs.errors.size(), 2u);
            QVERIFY(m_dialogs.errors[1].ends_with("more than the catalogue holds (999)"));
            QCOMPARE(e.StringGrid1->rowCount(), 5);

            // 994 fit; one row more is refused by the save.
            writeCsv(writeCatalogueCsv(std::vector<GridRow>(994, kChips[0])));
            m_dialogs.files = {csv.toStdString()};
            press(e.BtnImport);
            QCOMPARE(e.StringGrid1->rowCount(), 999);
            QCOMPARE(e.selectedRow(), 6); // the first imported row
            press(e.BtnAdd);
            press(e.BtnSave);
            QCOMPARE(m_dialogs.errors.back(),
                     std::string("The catalogue holds at most 999 chips."));
        });
        QCOMPARE(w->catalogue().chipCount(), 5);
    }

    // The filter shows the rows whose name holds the text; Edit and Delete act on the
    // row clicked among them, and never on one the filter hides.
    void filterShowsMatchingRowsAndEditingActsOnThem() {
        auto w = window();
        inEditor(*w, [&](TForm2 &e) {
            clickRow(e.StringGrid1, 3);
            QTest::keyClicks(e.EditFilter, QStringLiteral("w25Q"));
            QCOMPARE(models(e.StringGrid1, true), (QStringList{"W25Q80", "W25Q64"}));
            QCOMPARE(e.StringGrid1->currentRow(), -1); // the current row went out of sight
            QCOMPARE(e.selectedRow(), 0);
            press(e.BtnDelete);
            press(e.BtnEdit);
            QCOMPARE(e.StringGrid1->rowCount(), 5);

            clickRow(e.StringGrid1, 2);
            typeInto(e.ComboBox3, QStringLiteral("W25Q64JV"));
            press(e.BtnEdit);
            QCOMPARE(cell(e.StringGrid1, 2, 2), QStringLiteral("W25Q64JV"));
            press(e.BtnDelete);
            QCOMPARE(models(e.StringGrid1),
                     (QStringList{"W25Q80", "AT93C66", "AT24C16", "MX25L6405"}));
            QCOMPARE(e.StringGrid1->currentRow(), 0); // the nearest row in sight
            QCOMPARE(e.selectedRow(), 1);             // and the selection with it
            const GridRow hidden = e.gridRows()[1];
            typeInto(e.ComboBox9, QStringLiteral("0x77"));
            press(e.BtnEdit);
            QCOMPARE(cell(e.StringGrid1, 0, 3), QStringLiteral("0x77"));
            QCOMPARE(e.gridRows()[1], hidden);
            QTest::keyClick(e.EditFilter, Qt::Key_Return); // presses no button
            QCOMPARE(e.StringGrid1->rowCount(), 4);
            QVERIFY(m_dialogs.choices.empty());

            e.EditFilter->clear();
            QCOMPARE(models(e.StringGrid1, true).size(), 4);
            QTest::keyClicks(e.EditFilter, QStringLiteral("AT24"));
        });
        // The editor opens with the filter cleared, every chip in sight.
        inEditor(*w, [&](TForm2 &e) {
            QVERIFY(e.EditFilter->text().isEmpty());
            QCOMPARE(models(e.StringGrid1, true).size(), 5);
        });
    }

    // The editor's reload names a damaged file in Chinese in every language and shows
    // the catalogue as it is in memory.
    void damagedFileOnShowing() {
        auto w = window(&m_dialogs, 2);
        QFile f(base() + QStringLiteral(".Dat"));
        QVERIFY(f.open(QIODevice::Append));
        f.write("x");
        f.close();
        inEditor(*w, [&](TForm2 &e) { QCOMPARE(e.StringGrid1->rowCount(), 5); });
        QCOMPARE(m_dialogs.errors, std::vector<std::string>{"配置文件被破坏！"});
    }
};

QTEST_MAIN(ChipEditorTest)
#include "ChipEditorTest.moc"
