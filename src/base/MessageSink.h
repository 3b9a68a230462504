#pragma once
// Where the file loader and the codecs send what the user must be told. The application
// shows each message in an error box; tests record them.

#include <cstdint>
#include <string_view>

namespace korvat {

// Where in a file a message about it arose: the line of a text file, counted from 1 (0:
// the message is about no one line), and the system's error number of the open, read
// or write that failed (0: none did).
struct FileSpot {
    std::uint32_t line = 0;
    int error = 0;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showError(std::string_view text) = 0;
    // A message about the file being loaded or saved, with where it arose. A sink that
    // can name the file (the command line) says where; any other shows the text alone,
    // as the window's error box does.
    virtual void showFileError(std::string_view text, const FileSpot &) { showError(text); }
};

} // namespace korvat
