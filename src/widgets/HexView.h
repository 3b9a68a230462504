#pragma once
// HexView: shows and edits a block of bytes as hexadecimal rows of 16 with an offset
// column and a characters column. It keeps its own copy of the bytes, paints only the
// rows in sight and keeps no object per byte, so a 64 MiB block loads and scrolls fast.

#include "PagedBytes.h"
#include "buffers/BufferView.h"

#include <QAbstractScrollArea>
#include <cstdint>
#include <optional>
#include <vector>

class HexView : public QAbstractScrollArea, public korvat::BufferView {
    Q_OBJECT
public:
    explicit HexView(QWidget *parent = nullptr);

    // Appearance: bytes per column group (1 or 2), the offset prefix ("00", "0x"), and
    // whether a column ruler is drawn above the rows.
    void setGroupSize(int bytes);
    void setOffsetPrefix(const QString &prefix);
    void setRulerVisible(bool visible);

    // BufferView
    void load(std::span<const std::uint8_t> bytes) override;
    bool modified() const override { return m_modified; }
    void setModified(bool modified) override;
    std::size_t dataSize() const override { return m_data.size(); }
    void copyOut(std::span<std::uint8_t> out) const override;

    const PagedBytes &bytes() const { return m_data; }
    std::size_t cursor() const { return m_cursor; }
    bool isChanged(std::size_t offset) const;

    // Moves the cursor to the offset (clamped to the data) and scrolls it into sight.
    void goTo(std::size_t offset);
    // The next occurrence of the needle after the cursor, wrapping to the start; the
    // cursor moves there. Nothing when it does not occur.
    std::optional<std::size_t> find(const QByteArray &needle);
    // A find text: hexadecimal byte pairs ("EF 40 17") are bytes, anything else is text.
    static QByteArray needleFromText(const QString &text);

    // Where the byte at the offset is drawn, in viewport coordinates (its two digits), and
    // where the characters column begins.
    QRect cellRect(std::size_t offset) const;
    int charsColumnX() const;

    // Rows painted by the last paint, for tests and benchmarks.
    int lastPaintedRows() const { return m_lastPaintedRows; }

signals:
    void modifiedChanged(bool modified);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void askGoTo();
    void askFind();
    void updateScrollBars();
    void ensureVisible(std::size_t offset);
    void setNibble(int value);
    int rowHeight() const;
    int charWidth() const;
    int offsetColumns() const;
    // In pixels: where the hexadecimal columns begin, a byte's column from there, where
    // the characters column begins and the width of the whole row.
    int hexStart() const;
    int byteX(int byteInRow) const;
    int charsStart() const;
    int contentWidth() const;
    // Sets the blanks between the column groups for the viewport's width.
    void layOutColumns();
    int topMargin() const;

    PagedBytes m_data;
    std::vector<std::uint64_t> m_changed; // one bit per byte, allocated at the first edit
    std::size_t m_cursor = 0;
    bool m_lowNibble = false;
    bool m_modified = false;
    int m_groupSize = 1;
    int m_spacing = 0; // pixels of all the blanks between the column groups of a row
    QString m_prefix = QStringLiteral("00");
    bool m_ruler = false;
    int m_lastPaintedRows = 0;
};
