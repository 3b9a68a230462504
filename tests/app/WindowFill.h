#pragma once
// Fills a range of the FLASH buffer with a constant byte through the fill window's edits
// and its OK button, as a person would. Texts are hexadecimal, as typed.

#include "Unit1.h"
#include "Unit4.h"

#include <QLineEdit>

inline void fillThroughWindow(TForm1 &w, const char *byte, const char *start, const char *end) {
    TForm4 *fill = w.fillWindow();
    fill->Edit1->setText(QString::fromLatin1(byte));
    fill->Edit3->setText(QString::fromLatin1(start));
    fill->Edit4->setText(QString::fromLatin1(end));
    fill->BitBtn1Click();
}
