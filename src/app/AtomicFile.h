#pragma once
// Writes a file so that a crash or a full disk never leaves a half-written file in
// place of a good one: the bytes go to a temporary file in the same folder, which is
// renamed over the target only when everything was written and flushed.

#include <cstddef>
#include <string>
#include <string_view>

namespace korvat {

class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile(); // removes the temporary file unless commit() succeeded
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the temporary file; false when the folder does not allow it.
    bool open();
    // Appends bytes; false (and the file is spoilt) when not all were written.
    bool write(const void *data, std::size_t size);
    // Flushes, closes and renames over the target; false when any step failed.
    bool commit();

    const std::string &target() const { return m_target; }

private:
    void discard();

    std::string m_target;
    std::string m_temp;
    int m_fd = -1;
    bool m_failed = false;
    std::size_t m_written = 0; // bytes written so far
    std::size_t m_kicked = 0;  // bytes whose write-back has been started
};

// One-shot form: the whole contents at once.
bool writeFileAtomically(const std::string &path, std::string_view contents);

} // namespace korvat
