#pragma once
// Whether the installed fonts can show a text: Qt lays it out as a label would, with
// the fonts it falls back on, and no character may come out as the missing glyph (the
// empty box).

#include <QFont>
#include <QString>

bool fontsDraw(const QString &text, const QFont &font);
