// How long the download commands' search for the highest picture number
// takes in a crowded directory, for a few -N values.
#pragma once

#include <string>
#include <vector>

namespace lumicord::bench {

struct numbering_timing {
    std::string option;      // as typed, e.g. "-N1"
    int search_top = 0;      // what the option makes of it
    int result = 0;          // the number found
    double first_ms = 0;     // the first search
    double slowest_ms = 0;   // the slowest of all repeats
};

// Fills a fresh directory under parent with file_count picture files and
// times the search for each option, repeats times each.
std::vector<numbering_timing> time_numbering_search(const std::string& parent, int file_count,
                                                    const std::vector<std::string>& options, int repeats);

}  // namespace lumicord::bench
