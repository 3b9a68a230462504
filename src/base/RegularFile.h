#pragma once
// Opening a file to read it without waiting for ever. open() of a named pipe waits until
// something writes to it, and reading it then waits for what is written; a device or a
// folder is no file to load either. Only a regular file, or a link to one, is opened.

#include <cstddef>
#include <string>

namespace korvat {

class RegularFile {
public:
    enum class Problem { None, CannotOpen, NotRegular };

    // Looks at the path first, so that no device is opened, then opens it without
    // blocking and looks again at what was opened, in case the name was given to a pipe
    // meanwhile. Reads of the regular file then wait as usual.
    explicit RegularFile(const std::string &path);
    ~RegularFile();
    RegularFile(RegularFile &&other) noexcept;
    RegularFile(const RegularFile &) = delete;
    RegularFile &operator=(const RegularFile &) = delete;
    RegularFile &operator=(RegularFile &&) = delete;

    explicit operator bool() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    Problem problem() const { return m_problem; }
    // Hands the descriptor over to the caller, who closes it.
    int release();
    // Reads on until size bytes are in out or the file ends; false on a read error.
    bool readInto(char *out, std::size_t size, std::size_t &got) const;

private:
    int m_fd = -1;
    Problem m_problem = Problem::CannotOpen;
};

// Whether something other than a regular file is at the path; a missing path is not.
bool isIrregularFile(const std::string &path);

// That the path is not an ordinary file and was not opened, in the language.
std::string notRegularFileText(const std::string &path, int language);

} // namespace korvat
