#include "HexEdit.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

void installHexKeyFilter(QLineEdit *edit, int maxLength) {
    // The validator refuses any text with a character outside 0-9, a-f and A-F, so a
    // typed or pasted character that is not a digit never reaches the edit.
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]*")), edit));
    edit->setMaxLength(maxLength);
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &text) {
        const int at = edit->cursorPosition();
        edit->setText(text.toUpper());
        edit->setCursorPosition(at);
    });
}

void setMinimumDigits(QLineEdit *edit, int digits) {
    // As QLineEdit sizes itself, with room for the widest hexadecimal digit.
    const QFontMetrics fm(edit->font());
    int widest = 0;
    for (const QChar c : QStringLiteral("0123456789ABCDEF"))
        widest = std::max(widest, fm.horizontalAdvance(c));
    constexpr int kInnerMargin = 2; // QLineEdit's own space on each side of its text
    const QMargins text = edit->textMargins();
    const QSize contents(widest * digits + 2 * kInnerMargin + text.left() + text.right(),
                         fm.height());
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    edit->setMinimumWidth(
        edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, edit).width());
}
