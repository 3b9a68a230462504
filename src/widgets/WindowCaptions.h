#pragma once
// Puts a window's captions from a caption table on its controls, found by object name.

#include "app/Captions.h"

#include <QString>
#include <span>
#include <string_view>

class QWidget;

// "window" is the window's title; any other name is looked up among the window's own
// controls and actions (not those of the dialogs it owns, which reuse names such as
// "BitBtn1") and set by kind: group box title, button, label or action text, menu title.
// False when the window has no such control, so a window can handle its own cases.
bool setCaption(QWidget &window, std::string_view control, const QString &text);

// Every caption of the table, in its order, for the language.
void applyCaptions(QWidget &window, std::span<const korvat::Caption> captions, int language);
