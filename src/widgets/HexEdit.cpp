#include "HexEdit.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>

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
