#pragma once
// Where the file loader and the codecs send what the user must be told. The application
// shows each message in an error box; tests record them.

#include <string_view>

namespace korvat {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showError(std::string_view text) = 0;
};

} // namespace korvat
