#include "HexView.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

class HexViewTest : public QObject {
    Q_OBJECT

    static std::vector<std::uint8_t> counting(std::size_t n) {
        std::vector<std::uint8_t> v(n);
        for (std::size_t i = 0; i < n; ++i)
            v[i] = static_cast<std::uint8_t>(i);
        return v;
    }

private slots:
    void loadReplacesBytesAndClearsTheChangedFlag() {
        HexView view;
        view.load(counting(100));
        QCOMPARE(view.dataSize(), std::size_t{100});
        QVERIFY(!view.modified());
        std::vector<std::uint8_t> out(10);
        view.copyOut(out);
        QCOMPARE(out[9], std::uint8_t{9});
    }

    void typingHexDigitsEditsBytesInPlace() {
        HexView view;
        view.load(counting(32));
        QSignalSpy spy(&view, &HexView::modifiedChanged);
        view.show();
        QTest::keyClicks(&view, "aB1");
        QCOMPARE(view.bytes()[0], std::uint8_t{0xAB});
        QCOMPARE(view.bytes()[1], std::uint8_t{0x11}); // high digit of byte 1
        QVERIFY(view.modified());
        QVERIFY(view.isChanged(0));
        QVERIFY(view.isChanged(1));
        QVERIFY(!view.isChanged(2));
        QCOMPARE(spy.count(), 1);
        QTest::keyClicks(&view, "g z-");
        QCOMPARE(view.bytes()[1], std::uint8_t{0x11}); // other keys change nothing
        view.setModified(false);
        QVERIFY(!view.isChanged(0));

        view.goTo(31);
        QTest::keyClicks(&view, "123"); // the last byte keeps taking its low digit
        QCOMPARE(view.bytes()[31], std::uint8_t{0x13});
        QCOMPARE(view.cursor(), std::size_t{31});
    }

    void cursorKeysMoveWithinTheData() {
        HexView view;
        view.load(counting(40));
        view.show();
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.cursor(), std::size_t{16});
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(view.cursor(), std::size_t{39});
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.cursor(), std::size_t{39});
        QTest::keyClick(&view, Qt::Key_Home);
        QCOMPARE(view.cursor(), std::size_t{32});
        QTest::keyClick(&view, Qt::Key_Left);
        QCOMPARE(view.cursor(), std::size_t{31});
    }

    void goToScrollsTheAddressIntoSight() {
        HexView view;
        view.resize(600, 300);
        view.load(std::vector<std::uint8_t>(1 << 20, 0xFF));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.goTo(0x80000);
        QCOMPARE(view.cursor(), std::size_t{0x80000});
        const int row = 0x80000 / 16;
        const int first = view.verticalScrollBar()->value();
        QVERIFY(first <= row && row < first + view.verticalScrollBar()->pageStep());
        view.goTo(std::size_t{1} << 40); // clamped to the last byte
        QCOMPARE(view.cursor(), std::size_t{(1 << 20) - 1});
    }

    void findLooksForwardAndWraps() {
        HexView view;
        std::vector<std::uint8_t> data(4096, 0);
        std::memcpy(&data[100], "KORVAT", 6);
        data[3000] = 0xEF;
        data[3001] = 0x40;
        data[3002] = 0x17;
        view.load(data);
        QCOMPARE(view.find(HexView::needleFromText("EF 40 17")), std::optional<std::size_t>(3000));
        QCOMPARE(view.cursor(), std::size_t{3000});
        QCOMPARE(view.find(HexView::needleFromText("KORVAT")), std::optional<std::size_t>(100));
        QCOMPARE(view.find(HexView::needleFromText("KORVAT")), std::optional<std::size_t>(100));
        QVERIFY(!view.find(HexView::needleFromText("absent")));
        QCOMPARE(HexView::needleFromText("ef40"), QByteArray("\xEF\x40", 2));
        QCOMPARE(HexView::needleFromText("E4 0"), QByteArray("E4 0")); // an odd digit count is text
    }

    void paintsOnlyTheVisibleRows() {
        HexView view;
        view.setRulerVisible(true);
        view.setGroupSize(2);
        view.setOffsetPrefix(QStringLiteral("0x"));
        view.resize(640, 320);
        view.load(std::vector<std::uint8_t>(64u << 20, 0x5A));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.viewport()->repaint();
        const int rows = view.lastPaintedRows();
        QVERIFY(rows > 0);
        QVERIFY(rows < 40);
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
        view.viewport()->repaint();
        QVERIFY(view.lastPaintedRows() <= rows);
        QVERIFY(view.lastPaintedRows() > 0);
    }
};

QTEST_MAIN(HexViewTest)
#include "HexViewTest.moc"
