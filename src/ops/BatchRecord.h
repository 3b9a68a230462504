#pragma once
// The production record of batch mode: every programming pass of a batch run adds one
// CSV line to a record file beside the settings file, so what was programmed when, and
// what failed where, can be traced afterwards. Lines are only ever appended: a record
// never loses or changes what it already holds.

#include "ops/Outcome.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvat {

struct PassRecord {
    std::int64_t when = 0;          // seconds since the epoch (local time is printed)
    int number = 0;                 // pass number in this batch run, from 1
    std::string type, maker, model; // the selected chip's name items
    int idType = 0;                 // detection type code
    std::uint32_t chipId = 0;       // detected 24-bit ID
    PassOutcome outcome;
    std::optional<std::string> serial; // the serial number written into the chip, if any
    // The start of the batch run the pass belongs to, seconds since the epoch; the passes
    // of one run share it, so runs kept in one file are told apart.
    std::optional<std::int64_t> run;
};

// One CSV line without its line end, fields in the order of recordHeader():
//   time     local date and time with its offset, "2026-12-08T14:03:27+01:00" (empty
//            when the system cannot express the time)
//   pass     the pass number
//   type, maker, model
//   id       "<type code>:<6 upper-case hex digits>", "1:EF4017"; "2:000000" for a type
//            without an ID (only the low 24 bits of chipId are printed)
//   result   "PASS" (the pass verified the chip), "UNVERIFIED" (every step it ran
//            succeeded, but none was a verify) or "FAIL"
//   step     stepWord() of the failed step; empty unless FAIL
//   address  first failing address in upper-case hex, "1F00"; empty for a PASS or when
//            unknown
//   crc32    eight upper-case hex digits, or empty when unknown
//   seconds  elapsed seconds with three decimals and a '.' whatever the locale,
//            "12.345" (negative or non-finite times print as "0.000")
//   serial   only in a record of serial numbers: the one written into the chip
//   run      when the record has a run: the run's start, written as the time is
// A field holding a comma, a double quote, CR or LF is put in double quotes, with its
// double quotes doubled, as CSV readers expect.
std::string recordLine(const PassRecord &record);

// The first line of every new record file:
// "time,pass,type,maker,model,id,result,step,address,crc32,seconds", then ",serial" in
// a record of serial numbers, then ",run". The run came last so that every column keeps
// its place from the files written before it; such a file (its header without ",run")
// goes on in its own layout.
std::string recordHeader(bool withSerial = false);

// The record file. Each call opens, writes, flushes to the disk and closes it, so a
// crash or a pulled plug loses at most the pass being recorded.
class BatchRecord {
public:
    // withSerial: a record of serial numbers, with the serial column.
    explicit BatchRecord(std::string path, bool withSerial = false);

    const std::string &path() const { return m_path; }

    // Adds the record's line, preceded by the header when the file is new or empty; the
    // run is left out in a file whose header has no run column, so its lines stay one
    // table with those above them. The
    // file is created with permissions 0644 (less the umask). The bytes are written in
    // one go at the file's end and flushed to the disk; earlier content is never
    // rewritten or cut. Room for them is reserved first where the file system allows,
    // so a full disk refuses the line rather than leaving a piece of it. When the file
    // does not end in a line break (a line cut short by a crash), one is added first, so
    // the new line always starts a line of its own. False when the file cannot be
    // opened, written in full, flushed or closed.
    bool append(const PassRecord &record);

    // Makes sure records can be added: opens the file for appending, creating it with
    // its header when missing or empty, and reads which layout its header names. False
    // when that fails, or when the file is a record of the other layout (with or without
    // serial numbers), whose lines would not read as one table with these. Meant for the
    // start of a run, so that a production line never runs unrecorded.
    bool ready();

private:
    bool appendText(std::string_view text);
    // Reads the file's header: whether its lines carry the run (a file that cannot be
    // read is taken for one of today's layout), and whether it is of the other layout.
    void readLayout();

    std::string m_path;
    bool m_withSerial;
    std::optional<bool> m_runColumn; // known once the header was read
    bool m_otherLayout = false;
};

// The record file's path for a settings file's path: "korvat-batch.csv" in the same
// folder (the current folder for a bare file name).
std::string batchRecordPathFor(const std::string &settingsPath);

} // namespace korvat
