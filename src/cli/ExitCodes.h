#pragma once
// What korvat-cli exits with, so scripts and production lines can tell failures apart.

namespace korvat::cli {

enum ExitCode : int {
    kSuccess = 0,
    kUsage = 1,         // the command line is wrong
    kNoProgrammer = 2,  // the programmer is not connected, or not the only one
    kChipProblem = 3,   // the chip is unknown, not unique or not present
    kFileError = 4,     // a file cannot be read, written or is refused
    kTransferError = 5, // a transfer to the programmer failed
    kMismatch = 6,      // verify found a difference, or blank check found data
    kEraseTimeout = 7,  // the chip did not finish erasing
    kInterrupted = 130, // Ctrl+C, SIGTERM or SIGHUP
};

constexpr const char *kExitCodeHelp =
    "Exit codes: 0 success; 1 usage; 2 programmer not connected or not unique; 3 chip\n"
    "unknown, not unique or not present; 4 file error; 5 transfer failure; 6 verify\n"
    "mismatch or not blank; 7 erase time-out; 130 interrupted (Ctrl+C, SIGTERM or\n"
    "SIGHUP).";

} // namespace korvat::cli
