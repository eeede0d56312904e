// Output taken apart into its lines.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace lumicord::testing {

// The lines of text without their newlines; a last line without one counts.
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace lumicord::testing
