#pragma once
// The application's start-up: an error that escapes creating and showing the main
// window (the 64 MiB buffer cannot be allocated, say) is shown in an error box, and the
// application ends instead of vanishing without a word.

#include <QWidget>
#include <functional>
#include <memory>

namespace korvat {
class MessageSink;
}

// The window that create makes and shows, or null after its error was shown.
std::unique_ptr<QWidget> startUp(const std::function<std::unique_ptr<QWidget>()> &create,
                                 korvat::MessageSink &messages);
