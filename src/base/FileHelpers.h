#pragma once
// Small file helpers every floor uses: the folder part of a path, and a write that
// goes on until the whole block is written.

#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>

namespace korvat {

// The folder part of a path with its final '/', or nothing for a bare name.
std::string folderOf(const std::string &path);

// Writes all size bytes to fd, going on after a short write or an interrupted call;
// false on the first error. at: where in the file they go (the file's position is then
// left as it was); without it they go at the file's position, which moves past them.
bool writeAll(int fd, const void *data, std::size_t size, std::optional<off_t> at = std::nullopt);

} // namespace korvat
