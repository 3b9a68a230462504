// The fill window on its own: its edits, its key filter and the fills it performs.
#include "HexView.h"
#include "Unit4.h"
#include "app/RecordingDialogs.h"
#include "buffers/Buffers.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace korvat;

class FillWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Buffers> m_buffers;
    std::unique_ptr<HexView> m_view;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<TForm4> m_fill;

    void fill(const char *start, const char *end) {
        m_fill->Edit3->setText(QString::fromLatin1(start));
        m_fill->Edit4->setText(QString::fromLatin1(end));
        m_fill->BitBtn1->click();
    }
    std::uint8_t at(std::size_t address) const { return m_buffers->flash()[address]; }

private slots:
    void init() {
        m_buffers = std::make_unique<Buffers>();
        m_view = std::make_unique<HexView>();
        m_dialogs = std::make_unique<RecordingDialogs>();
        m_fill = std::make_unique<TForm4>(*m_buffers, *m_view, *m_dialogs);
    }

    void startsWithItsDesignedEdits() {
        QVERIFY(m_fill->RadioButton1->isChecked());
        QCOMPARE(m_fill->Edit1->text(), QStringLiteral("FF"));
        QCOMPARE(m_fill->Edit2->text(), QStringLiteral("FFFF"));
        QCOMPARE(m_fill->Edit3->text(), QStringLiteral("00000"));
        QCOMPARE(m_fill->Edit4->text(), QStringLiteral("FFFF"));
        QCOMPARE(m_fill->windowTitle(), QStringLiteral("填充"));
    }

    void editsTakeHexadecimalDigitsOnlyInUpperCase() {
        for (QLineEdit *edit : {m_fill->Edit1, m_fill->Edit2, m_fill->Edit3, m_fill->Edit4}) {
            edit->clear();
            QTest::keyClicks(edit, "g 1z");
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, "a-b");
            QCOMPARE(edit->text(), QStringLiteral("AB"));
        }
        m_fill->Edit1->clear();
        QTest::keyClicks(m_fill->Edit1, "abc");
        QCOMPARE(m_fill->Edit1->text(), QStringLiteral("AB")); // two characters at most
        m_fill->Edit2->clear();
        QTest::keyClicks(m_fill->Edit2, "12345");
        QCOMPARE(m_fill->Edit2->text(), QStringLiteral("1234"));
    }

    void constantByteFillsTheInclusiveRangeAndLoadsTheView() {
        m_fill->Edit1->setText(QStringLiteral("5A"));
        fill("100", "1FF");
        QCOMPARE(at(0xFF), 0xFF);
        QCOMPARE(at(0x100), 0x5A);
        QCOMPARE(at(0x1FF), 0x5A);
        QCOMPARE(at(0x200), 0xFF);
        QCOMPARE(m_buffers->loadedLength, 0x200);
        QCOMPARE(m_view->dataSize(), std::size_t{0x200});
        QCOMPARE(m_view->bytes()[0x150], 0x5A);
        QVERIFY(m_dialogs->errors.empty());
    }

    void constantWordStartsOnAnEvenAddressAndLeavesAnOddTail() {
        m_fill->RadioButton2->setChecked(true);
        m_fill->Edit2->setText(QStringLiteral("1234"));
        fill("1", "4");
        const std::uint8_t expected[] = {0x34, 0x12, 0x34, 0x12, 0xFF};
        for (std::size_t i = 0; i < 5; ++i)
            QCOMPARE(at(i), expected[i]);
        QCOMPARE(m_buffers->loadedLength, 5);
    }

    void randomFillWritesTheWholeRange() {
        m_fill->RadioButton3->setChecked(true);
        fill("0", "FFF");
        int ff = 0;
        for (std::size_t i = 0; i < 0x1000; ++i)
            ff += at(i) == 0xFF;
        QVERIFY(ff < 64); // about 16 expected from random bytes
        QCOMPARE(m_buffers->loadedLength, 0x1000);
    }

    void refusedRangesChangeNothingAndSayWhy() {
        fill("20", "1F");
        fill("0", "4000000"); // one past the 64 MiB buffer
        m_fill->Edit1->clear();
        fill("0", "F");
        QCOMPARE(m_dialogs->errors.size(), std::size_t{3});
        QVERIFY(m_dialogs->errors[2].find("'0x'") != std::string::npos);
        QCOMPARE(at(0), 0xFF);
        QCOMPARE(m_buffers->loadedLength, 0);
        QCOMPARE(m_view->dataSize(), std::size_t{0});
    }
};

QTEST_MAIN(FillWindowTest)
#include "FillWindowTest.moc"
