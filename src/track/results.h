// The results file "@results.txt": the race's finishers with their laps,
// total and best times, and every finisher's crossing times.
#pragma once

#include <ctime>
#include <string>

namespace zv::track {

constexpr const char* k_results_file = "@results.txt";

// The file's text for the current race ("\r\n" line ends): the final list
// once it exists, else the running standings; finished riders only.
std::string format_results(std::time_t now);
// Writes it (created in the home folder); false, silently, when the file
// cannot be created.
bool write_results_file();
bool write_results_file(std::time_t now);

}  // namespace zv::track
