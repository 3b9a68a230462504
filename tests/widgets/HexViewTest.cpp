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
    // The view's copy keeps uniform pages as one value; edits, copies and finds must
    // not see the difference.
    void uniformPagesAreSharedUntilEdited() {
        constexpr std::size_t page = PagedBytes::kPageSize;
        std::vector<std::uint8_t> image(4 * page + 100, 0xFF);
        image[2 * page + 7] = 0x12; // page 2 holds data; the short last page is uniform
        PagedBytes bytes;
        bytes.assign(image);
        QCOMPARE(bytes.storedPages(), std::size_t{1});
        QCOMPARE(bytes[4 * page + 99], std::uint8_t{0xFF});
        bytes.set(page + 1, 0xFF); // the same value: the page stays shared
        QCOMPARE(bytes.storedPages(), std::size_t{1});
        bytes.set(page + 1, 0x00);
        QCOMPARE(bytes.storedPages(), std::size_t{2});
        QCOMPARE(bytes[page], std::uint8_t{0xFF});
        QCOMPARE(bytes[page + 1], std::uint8_t{0x00});
        std::vector<std::uint8_t> out(3 * page + 50);
        bytes.copyOut(page, out); // across shared and stored pages, cut at the end
        QCOMPARE(out[1], std::uint8_t{0x00});
        QCOMPARE(out[page + 7], std::uint8_t{0x12});
        QCOMPARE(out[3 * page + 49], std::uint8_t{0xFF});
        bytes.assign(std::vector<std::uint8_t>(10, 0x00)); // a smaller load frees the rest
        QCOMPARE(bytes.storedPages(), std::size_t{0});
        QCOMPARE(bytes.size(), std::size_t{10});
    }

    void findSeesMatchesAcrossPageAndBlockEdges() {
        std::vector<std::uint8_t> image(3u << 20, 0xFF);
        const std::size_t edge = 1u << 20; // a page edge and the search's block edge
        image[edge - 2] = 'a';
        image[edge - 1] = 'b';
        image[edge] = 'c';
        image[edge + 1] = 'd';
        HexView view;
        view.load(image);
        QCOMPARE(view.find(QByteArray("abcd")), std::optional<std::size_t>(edge - 2));
        QCOMPARE(view.find(QByteArray("\xFF\xFF\xFF", 3)), std::optional<std::size_t>(edge + 2));
        PagedBytes bytes;
        bytes.assign(image);
        const std::uint8_t tail[] = {'c', 'd'};
        QVERIFY(!bytes.find(tail, 0, edge + 1)); // must lie wholly inside the range
        QCOMPARE(bytes.find(tail, 0, edge + 2), std::optional<std::size_t>(edge));
    }
};

QTEST_MAIN(HexViewTest)
#include "HexViewTest.moc"
