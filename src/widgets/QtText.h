#pragma once
// The core's texts are UTF-8; the windows show them as QString.

#include <QString>
#include <string_view>

inline QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
