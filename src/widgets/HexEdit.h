#pragma once
// The key filter of the address and value edits: hexadecimal digits and backspace get
// through, every other key is dropped, and the text is shown in upper case.

class QLineEdit;

void installHexKeyFilter(QLineEdit *edit, int maxLength);
