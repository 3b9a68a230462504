#pragma once
// The key filter of the address and value edits: hexadecimal digits and backspace get
// through, every other key is dropped, and the text is shown in upper case. And the
// width such an edit needs to show a whole address.

class QLineEdit;

void installHexKeyFilter(QLineEdit *edit, int maxLength);

// The edit never gets narrower than it takes to show so many hexadecimal digits.
void setMinimumDigits(QLineEdit *edit, int digits);
