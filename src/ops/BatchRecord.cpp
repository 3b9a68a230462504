#include "BatchRecord.h"

#include "base/FileHelpers.h"
#include "base/HexText.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace korvat {
namespace {

constexpr std::string_view kHeader = "time,pass,type,maker,model,id,result,step,address,crc32,"
                                     "seconds";
constexpr std::string_view kFileName = "korvat-batch.csv";
constexpr std::uint32_t kIdMask = 0xFFFFFF;

// Local date and time with the offset written "+01:00", as ISO 8601 has it; strftime's
// %z gives "+0100". Empty when the time cannot be broken down.
std::string localTimeText(std::int64_t when) {
    const auto t = static_cast<std::time_t>(when);
    std::tm tm{};
    if (static_cast<std::int64_t>(t) != when || localtime_r(&t, &tm) == nullptr)
        return {};
    std::array<char, 64> text{};
    const std::size_t n = std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S%z", &tm);
    if (n < 5)
        return {};
    std::string s(text.data(), n);
    const char sign = s[n - 5];
    if (sign == '+' || sign == '-')
        s.insert(n - 2, 1, ':');
    return s;
}

// Three decimals with a '.': std::to_chars ignores the locale, unlike printf.
std::string secondsText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        seconds = 0;
    std::array<char, 400> text{}; // room for the largest double in fixed notation
    const auto [end, error] =
        std::to_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed, 3);
    if (error != std::errc())
        return "0.000";
    return {text.data(), end};
}

// A field as CSV readers take it: in double quotes, with its double quotes doubled, when
// it holds a character that would otherwise end the field or the line.
std::string csvField(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(field);
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// False when the file may not grow to size bytes in this process, where a write would
// stop half-way.
bool withinSizeLimit(std::uint64_t size) {
    rlimit limit{};
    return getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
           size <= limit.rlim_cur;
}

// The last byte of the file open on fd, read through fd; nothing when it cannot be read
// (a file this user may only write).
std::optional<char> lastByte(int fd, off_t size, bool readable) {
    char c = 0;
    if (!readable || size <= 0)
        return std::nullopt;
    ssize_t n = 0;
    do
        n = ::pread(fd, &c, 1, size - 1);
    while (n < 0 && errno == EINTR);
    return n == 1 ? std::optional<char>(c) : std::nullopt;
}

// Flushes a new file's folder entry to the disk. The folder may not be readable to this
// user, so this is done where it can be and its failure is not the record's.
void syncFolderOf(const std::string &path) {
    const std::string folder = folderOf(path);
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    ::close(fd);
}

// The header of the files written before the run column.
std::string headerWithoutRun(bool withSerial) {
    return std::string(kHeader) + (withSerial ? ",serial" : "");
}

// The record's line; withRun adds the run column (empty when the record has no run).
std::string lineOf(const PassRecord &record, bool withRun) {
    const PassOutcome &outcome = record.outcome;
    const bool failed = !outcome.passed;
    const std::string fields[] = {
        localTimeText(record.when),
        std::to_string(record.number),
        record.type,
        record.maker,
        record.model,
        std::to_string(record.idType) + ":" + hexText(record.chipId & kIdMask, 6),
        failed             ? "FAIL"
        : outcome.verified ? "PASS"
                           : "UNVERIFIED",
        std::string(failed ? stepWord(outcome.failedStep) : std::string_view()),
        failed && outcome.failedAddress ? hexText(*outcome.failedAddress, 1) : std::string(),
        outcome.dataCrc ? hexText(*outcome.dataCrc, 8) : std::string(),
        secondsText(outcome.seconds),
    };
    std::string line;
    for (const std::string &field : fields) {
        if (&field != fields)
            line += ',';
        line += csvField(field);
    }
    if (record.serial)
        line += "," + csvField(*record.serial);
    if (withRun)
        line += "," + (record.run ? localTimeText(*record.run) : std::string());
    return line;
}

// The file's first line, read without waiting (a FIFO at the path gives nothing); empty
// for a file that is missing, empty, cannot be read or is no regular file.
std::string firstLineOf(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st {};
    std::array<char, 512> head{}; // far more than any header
    ssize_t n = 0;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        do
            n = ::pread(fd, head.data(), head.size(), 0);
        while (n < 0 && errno == EINTR);
    }
    ::close(fd);
    const std::string_view text(head.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
    std::string_view line = text.substr(0, text.find('\n'));
    if (line.ends_with('\r')) // a file saved again by a spreadsheet
        line.remove_suffix(1);
    return std::string(line);
}

} // namespace

std::string recordLine(const PassRecord &record) {
    return lineOf(record, record.run.has_value());
}

std::string recordHeader(bool withSerial) {
    return headerWithoutRun(withSerial) + ",run";
}

BatchRecord::BatchRecord(std::string path, bool withSerial)
    : m_path(std::move(path)), m_withSerial(withSerial) {}

bool BatchRecord::append(const PassRecord &record) {
    if (!m_runColumn)
        readLayout();
    return appendText(lineOf(record, *m_runColumn));
}

bool BatchRecord::ready() {
    if (!appendText({}))
        return false;
    readLayout();
    return !m_otherLayout; // its lines would not read as one table with these
}

void BatchRecord::readLayout() {
    const std::string first = firstLineOf(m_path);
    m_runColumn = first != headerWithoutRun(m_withSerial);
    m_otherLayout =
        first == recordHeader(!m_withSerial) || first == headerWithoutRun(!m_withSerial);
}

// Adds text as a line (nothing for empty text) after the header, which comes first when
// the file is empty. Everything goes out in one write at the end of the file.
bool BatchRecord::appendText(std::string_view text) {
    // Read access too where the file allows it, to see whether it ends in a line break.
    // O_NONBLOCK keeps a FIFO at the path from holding the pass up; it is refused below.
    constexpr int kFlags = O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK;
    bool readable = true;
    int fd = ::open(m_path.c_str(), O_RDWR | kFlags, 0644);
    if (fd < 0 && errno == EACCES) {
        readable = false;
        fd = ::open(m_path.c_str(), O_WRONLY | kFlags, 0644);
    }
    if (fd < 0)
        return false;

    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const bool empty = st.st_size == 0;
    std::string bytes;
    if (empty) {
        bytes.append(recordHeader(m_withSerial)).append("\n");
    } else if (!text.empty()) {
        const std::optional<char> last = lastByte(fd, st.st_size, readable);
        if (last && *last != '\n')
            bytes += '\n';
    }
    if (!text.empty())
        bytes.append(text).append("\n");
    if (bytes.empty())
        return ::close(fd) == 0;

    // A full disk or the process's file size limit would stop the write half-way; see
    // to both before anything is written.
    const auto end = static_cast<std::uint64_t>(st.st_size);
    bool ok = withinSizeLimit(end + bytes.size());
    if (ok && fallocate(fd, FALLOC_FL_KEEP_SIZE, st.st_size, static_cast<off_t>(bytes.size())) != 0)
        ok = errno != ENOSPC && errno != EDQUOT; // file systems without it just write
    ok = ok && writeAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && empty)
        syncFolderOf(m_path);
    return ok;
}

std::string batchRecordPathFor(const std::string &settingsPath) {
    return folderOf(settingsPath) + std::string(kFileName);
}

} // namespace korvat
