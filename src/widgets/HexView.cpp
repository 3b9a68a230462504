#include "HexView.h"

#include <QFontDatabase>
#include <QInputDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cstring>
#include <functional>

namespace {

constexpr int kBytesPerRow = 16;
const QColor kOddColumn = Qt::blue;
const QColor kEvenColumn = QColor(0, 0, 128);  // navy
const QColor kChangedText = QColor(128, 0, 0); // maroon
const QColor kChangedBack = QColor(255, 255, 168);

QFont viewFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(15);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(15);
    }
    return font;
}

int hexDigit(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key - Qt::Key_0;
    if (key >= Qt::Key_A && key <= Qt::Key_F)
        return key - Qt::Key_A + 10;
    return -1;
}

} // namespace

HexView::HexView(QWidget *parent) : QAbstractScrollArea(parent) {
    setFont(viewFont());
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(true);
    auto *goTo = new QAction(this);
    goTo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    goTo->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(goTo, &QAction::triggered, this, &HexView::askGoTo);
    addAction(goTo);
    auto *findAction = new QAction(this);
    findAction->setShortcut(QKeySequence::Find);
    findAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(findAction, &QAction::triggered, this, &HexView::askFind);
    addAction(findAction);
}

void HexView::setGroupSize(int bytes) {
    m_groupSize = bytes == 2 ? 2 : 1;
    updateScrollBars();
    viewport()->update();
}

void HexView::setOffsetPrefix(const QString &prefix) {
    m_prefix = prefix;
    updateScrollBars();
    viewport()->update();
}

void HexView::setRulerVisible(bool visible) {
    m_ruler = visible;
    updateScrollBars();
    viewport()->update();
}

void HexView::load(std::span<const std::uint8_t> bytes) {
    m_data.assign(bytes);
    m_changed.clear();
    m_cursor = 0;
    m_lowNibble = false;
    setModified(false);
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void HexView::setModified(bool modified) {
    if (!modified)
        m_changed.clear();
    if (m_modified == modified)
        return;
    m_modified = modified;
    viewport()->update();
    emit modifiedChanged(modified);
}

void HexView::copyOut(std::span<std::uint8_t> out) const {
    m_data.copyOut(0, out);
}

bool HexView::isChanged(std::size_t offset) const {
    return offset / 64 < m_changed.size() && (m_changed[offset / 64] >> (offset % 64)) & 1;
}

int HexView::rowHeight() const {
    return fontMetrics().height();
}
int HexView::charWidth() const {
    return fontMetrics().horizontalAdvance(QLatin1Char('0'));
}
int HexView::topMargin() const {
    return m_ruler ? rowHeight() : 0;
}

int HexView::offsetColumns() const {
    int digits = 6;
    while (digits < 16 && (std::uint64_t{1} << (4 * digits)) < m_data.size())
        ++digits;
    return static_cast<int>(m_prefix.size()) + digits;
}

int HexView::hexStart() const {
    return (offsetColumns() + 2) * charWidth();
}

int HexView::byteX(int byteInRow) const {
    // Two digits a byte; the blanks between the groups share the spacing evenly.
    const int group = byteInRow / m_groupSize, gaps = kBytesPerRow / m_groupSize - 1;
    return byteInRow * 2 * charWidth() + group * m_spacing / gaps;
}

int HexView::charsStart() const {
    return hexStart() + byteX(kBytesPerRow - 1) + 4 * charWidth();
}

void HexView::layOutColumns() {
    // A blank of one character between the groups where the hexadecimal columns fit so;
    // where they do not, the blanks narrow (to a third of a character) before any column
    // leaves the view. The characters column, last in the row, is the first to go.
    const int w = charWidth(), gaps = kBytesPerRow / m_groupSize - 1;
    const int room = viewport()->width() - hexStart() - 2 * kBytesPerRow * w - w / 2;
    m_spacing = std::clamp(room, gaps * std::max(1, w / 3), gaps * w);
}

int HexView::contentWidth() const {
    return charsStart() + (kBytesPerRow + 1) * charWidth();
}

void HexView::updateScrollBars() {
    const auto rows = static_cast<long long>((m_data.size() + kBytesPerRow - 1) / kBytesPerRow);
    const int visible = std::max(1, (viewport()->height() - topMargin()) / rowHeight());
    verticalScrollBar()->setRange(0, static_cast<int>(std::max<long long>(0, rows - visible)));
    verticalScrollBar()->setPageStep(visible);
    layOutColumns();
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth() - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

QRect HexView::cellRect(std::size_t offset) const {
    const auto row = static_cast<long long>(offset / kBytesPerRow) - verticalScrollBar()->value();
    const int x = hexStart() - horizontalScrollBar()->value() +
                  byteX(static_cast<int>(offset % kBytesPerRow));
    return QRect(x, topMargin() + static_cast<int>(row) * rowHeight(), 2 * charWidth(),
                 rowHeight());
}

int HexView::charsColumnX() const {
    return charsStart() - horizontalScrollBar()->value();
}

void HexView::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void HexView::ensureVisible(std::size_t offset) {
    const auto row = static_cast<int>(offset / kBytesPerRow);
    const int first = verticalScrollBar()->value();
    const int visible = std::max(1, verticalScrollBar()->pageStep());
    if (row < first)
        verticalScrollBar()->setValue(row);
    else if (row >= first + visible)
        verticalScrollBar()->setValue(row - visible + 1);
}

void HexView::paintEvent(QPaintEvent *) {
    QPainter p(viewport());
    const int h = rowHeight(), w = charWidth(), ascent = fontMetrics().ascent();
    const int x0 = -horizontalScrollBar()->value();
    const int hexX = x0 + hexStart();
    const int charsX = x0 + charsStart();
    const QPalette &pal = palette();

    // Offset column on the button face, as the rest of the window's chrome.
    p.fillRect(QRect(0, 0, x0 + (offsetColumns() + 1) * w, viewport()->height()),
               pal.color(QPalette::Button));
    if (m_ruler) {
        p.setPen(Qt::black);
        for (int b = 0; b < kBytesPerRow; b += m_groupSize)
            p.drawText(hexX + byteX(b), ascent,
                       QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    }

    const int first = verticalScrollBar()->value();
    const int rows = (viewport()->height() - topMargin()) / h + 1;
    int painted = 0;
    char digits[2];
    for (int r = 0; r < rows; ++r) {
        const std::size_t start = static_cast<std::size_t>(first + r) * kBytesPerRow;
        if (start >= m_data.size())
            break;
        const int y = topMargin() + r * h;
        p.setPen(Qt::black);
        p.drawText(x0 + w / 2, y + ascent,
                   m_prefix + QString::number(start, 16).toUpper().rightJustified(
                                  offsetColumns() - m_prefix.size(), QLatin1Char('0')));
        const std::size_t end = std::min(start + kBytesPerRow, m_data.size());
        QString chars;
        for (std::size_t i = start; i < end; ++i) {
            const int b = static_cast<int>(i - start);
            const std::uint8_t v = m_data[i];
            const QRect cell(hexX + byteX(b), y, 2 * w, h);
            if (isChanged(i)) {
                p.fillRect(cell, kChangedBack);
                p.setPen(kChangedText);
            } else {
                p.setPen((b / m_groupSize) % 2 ? kEvenColumn : kOddColumn);
            }
            digits[0] = "0123456789ABCDEF"[v >> 4];
            digits[1] = "0123456789ABCDEF"[v & 0xF];
            p.drawText(cell.x(), y + ascent, QString::fromLatin1(digits, 2));
            if (i == m_cursor && hasFocus()) {
                p.setPen(pal.color(QPalette::Highlight));
                p.drawRect(cell.adjusted(m_lowNibble ? w : 0, 0, m_lowNibble ? -1 : -w - 1, -1));
            }
            chars += v >= 0x20 && v < 0x7F ? QChar(v) : QChar(v >= 0xA0 ? QChar(v) : QChar('.'));
        }
        p.setPen(Qt::black);
        p.drawText(charsX, y + ascent, chars);
        ++painted;
    }
    m_lastPaintedRows = painted;
    if (hasFocus()) {
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.rect = viewport()->rect().adjusted(0, 0, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &p, this);
    }
}

void HexView::setNibble(int value) {
    if (m_cursor >= m_data.size())
        return;
    const std::uint8_t b = m_data[m_cursor];
    m_data.set(m_cursor, m_lowNibble ? static_cast<std::uint8_t>((b & 0xF0) | value)
                                     : static_cast<std::uint8_t>((b & 0x0F) | (value << 4)));
    if (m_changed.empty())
        m_changed.assign((m_data.size() + 63) / 64, 0);
    m_changed[m_cursor / 64] |= std::uint64_t{1} << (m_cursor % 64);
    if (!m_lowNibble) {
        m_lowNibble = true; // the low digit comes next
    } else if (m_cursor + 1 < m_data.size()) {
        ++m_cursor; // on to the next byte's high digit
        m_lowNibble = false;
    }
    setModified(true);
    ensureVisible(m_cursor);
    viewport()->update();
}

void HexView::keyPressEvent(QKeyEvent *event) {
    const int digit =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier) ? -1 : hexDigit(event->key());
    if (digit >= 0) {
        setNibble(digit);
        return;
    }
    if (m_data.empty()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const std::size_t last = m_data.size() - 1;
    const std::size_t page =
        static_cast<std::size_t>(std::max(1, verticalScrollBar()->pageStep())) * kBytesPerRow;
    std::size_t c = m_cursor;
    switch (event->key()) {
    case Qt::Key_Left:
        c = c > 0 ? c - 1 : 0;
        break;
    case Qt::Key_Right:
        c = std::min(c + 1, last);
        break;
    case Qt::Key_Up:
        c = c >= kBytesPerRow ? c - kBytesPerRow : c;
        break;
    case Qt::Key_Down:
        c = c + kBytesPerRow <= last ? c + kBytesPerRow : c;
        break;
    case Qt::Key_PageUp:
        c = c >= page ? c - page : 0;
        break;
    case Qt::Key_PageDown:
        c = std::min(c + page, last);
        break;
    case Qt::Key_Home:
        c = event->modifiers() & Qt::ControlModifier ? 0 : c - c % kBytesPerRow;
        break;
    case Qt::Key_End:
        c = event->modifiers() & Qt::ControlModifier
                ? last
                : std::min(c - c % kBytesPerRow + kBytesPerRow - 1, last);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    goTo(c);
}

void HexView::mousePressEvent(QMouseEvent *event) {
    const int w = charWidth(), h = rowHeight();
    const QPoint at = event->position().toPoint();
    const int x = at.x() + horizontalScrollBar()->value() - hexStart();
    const int row = (at.y() - topMargin()) / h;
    if (x < 0 || at.y() < topMargin())
        return;
    int byte = -1;
    for (int b = 0; b < kBytesPerRow; ++b)
        if (x >= byteX(b) && x < byteX(b) + 2 * w)
            byte = b;
    const std::size_t offset =
        static_cast<std::size_t>(verticalScrollBar()->value() + row) * kBytesPerRow;
    if (byte >= 0 && offset + static_cast<std::size_t>(byte) < m_data.size()) {
        m_cursor = offset + static_cast<std::size_t>(byte);
        m_lowNibble = x >= byteX(byte) + w;
        viewport()->update();
    }
}

void HexView::goTo(std::size_t offset) {
    if (m_data.empty())
        return;
    m_cursor = std::min(offset, m_data.size() - 1);
    m_lowNibble = false;
    ensureVisible(m_cursor);
    viewport()->update();
}

std::optional<std::size_t> HexView::find(const QByteArray &needle) {
    if (needle.isEmpty() || m_data.empty())
        return std::nullopt;
    const std::span n(reinterpret_cast<const std::uint8_t *>(needle.constData()),
                      static_cast<std::size_t>(needle.size()));
    auto search = [&](std::size_t from, std::size_t to) { return m_data.find(n, from, to); };
    const std::size_t from = std::min(m_cursor + 1, m_data.size());
    auto hit = search(from, m_data.size());
    if (!hit) // wrap to the start, up to where the search began
        hit = search(0, std::min<std::size_t>(from + static_cast<std::size_t>(needle.size()) - 1,
                                              m_data.size()));
    if (hit)
        goTo(*hit);
    return hit;
}

QByteArray HexView::needleFromText(const QString &text) {
    QString compact = text;
    compact.remove(QLatin1Char(' '));
    static const QRegularExpression hexPairs(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    if (hexPairs.match(compact).hasMatch())
        return QByteArray::fromHex(compact.toLatin1());
    return text.toUtf8();
}

void HexView::askGoTo() {
    bool ok = false;
    const QString text = QInputDialog::getText(this, tr("Go to"), tr("Address (hexadecimal):"),
                                               QLineEdit::Normal, QString(), &ok);
    const qulonglong address = text.trimmed().toULongLong(&ok, 16);
    if (ok)
        goTo(address);
}

void HexView::askFind() {
    bool ok = false;
    const QString text = QInputDialog::getText(this, tr("Find"), tr("Bytes (hexadecimal) or text:"),
                                               QLineEdit::Normal, QString(), &ok);
    if (ok && !text.isEmpty())
        find(needleFromText(text));
}
