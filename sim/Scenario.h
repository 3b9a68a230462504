#pragma once
// Scenario files: a few lines of text that set up a Simulator (the chip in the socket,
// its contents, faults, decoys, timing). The format is described in sim/README.md.

#include <string>
#include <string_view>

namespace ksim {

class Simulator;

// Applies the scenario to a fresh simulator. Relative image paths are taken from
// baseDir. Returns an empty string, or the first problem with its line number.
std::string applyScenario(Simulator &sim, std::string_view text, const std::string &baseDir = ".");

// Reads the file and applies it; an unreadable file is reported like a bad line.
std::string applyScenarioFile(Simulator &sim, const std::string &path);

} // namespace ksim
