#pragma once
// Writes a file so that a crash or a failed write never leaves a half-written file in
// place of a good one: the bytes go to a temporary file in the same folder, which is
// renamed over the target only when everything was written and flushed. The temporary
// file has no name until then where the file system allows (O_TMPFILE), so a process
// killed while it writes leaves nothing behind; elsewhere it is a hidden named file.
//
// Symbolic links are followed, so the file they lead to is written and the links stay.
// A file that cannot be written is refused, as writing to it would be. Renaming would
// lose what belongs to the old file rather than to its name, so the target is written
// in place instead when it has further hard links, when its owner and group cannot be
// given to the new file, or when its folder does not let this user add a file. The
// bytes are then collected in an unnamed file in the staging folder and copied over the
// target only by commit(), once the room for them is reserved.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace korvat {

class AtomicFile {
public:
    // stagingFolder: where the bytes wait when the target is written in place.
    explicit AtomicFile(std::string target, std::string stagingFolder = P_tmpdir);
    ~AtomicFile(); // leaves the target untouched and no temporary file unless committed
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Prepares the writing; false when neither a replacement nor writing in place works.
    bool open();
    // Appends bytes; false (and the file is spoilt) when not all were written.
    bool write(const void *data, std::size_t size);
    // Flushes and puts the bytes in place of the old contents; false when any step failed.
    bool commit();

    const std::string &target() const { return m_target; }

private:
    enum class Mode { Replace, InPlace };

    bool openReplacement();
    bool openInPlace();
    bool commitReplacement();
    bool linkReplacement();
    bool commitInPlace();
    void discard();

    std::string m_target;
    std::string m_staging;
    std::string m_final; // the target with its symbolic links followed
    std::string m_temp;  // the replacement's name while it exists
    Mode m_mode = Mode::Replace;
    bool m_unnamed = false; // the replacement is an unnamed file until commit()
    int m_fd = -1;       // receives the bytes: the replacement or the anonymous file
    int m_targetFd = -1; // the target itself when it is written in place
    bool m_failed = false;
    std::size_t m_written = 0; // bytes written so far
    std::size_t m_kicked = 0;  // bytes whose write-back has been started
};

// One-shot form: the whole contents at once.
bool writeFileAtomically(const std::string &path, std::string_view contents,
                         const std::string &stagingFolder = P_tmpdir);

} // namespace korvat
