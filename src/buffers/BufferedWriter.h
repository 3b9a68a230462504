#pragma once
// Writes a file through a large buffer into an AtomicFile: the target is replaced only
// when every byte was written, and a failure at any point is remembered. Or writes
// through the buffer to a descriptor that is open already (standard output).

#include "base/AtomicFile.h"

#include <string>
#include <vector>

namespace korvat {

class BufferedWriter {
public:
    explicit BufferedWriter(const std::string &path);
    // To the descriptor, which the writer leaves open.
    explicit BufferedWriter(int fd);

    // Creates the temporary file; false when the file cannot be created. Nothing to do
    // for a descriptor.
    bool open();
    // Room for at least n bytes at the returned pointer; commit them with advance(n).
    char *reserve(std::size_t n);
    void advance(std::size_t n) { m_used += n; }
    void put(std::string_view text);
    // Writes out the rest and replaces the target; false when anything failed.
    bool finish();

private:
    void flush();

    AtomicFile m_file;
    int m_fd = -1; // written to instead of m_file when open
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    bool m_ok = true;
};

} // namespace korvat
