#include "link/group_name.h"

#include <charconv>
#include <fstream>
#include <string_view>

namespace lumicord::camlink {

std::string group_name(gid_t gid, const char* group_file) {
    std::ifstream in(group_file);
    std::string line;
    while (std::getline(in, line)) {
        // "+name" and "-name" lines only point the name service elsewhere.
        if (line.empty() || line[0] == '+' || line[0] == '-' || line[0] == '#') continue;
        const std::string_view text(line);
        const std::size_t name_end = text.find(':');
        const std::size_t gid_start = name_end == std::string_view::npos ? name_end : text.find(':', name_end + 1);
        if (name_end == 0 || gid_start == std::string_view::npos) continue;
        const std::string_view number = text.substr(gid_start + 1, text.find(':', gid_start + 1) - gid_start - 1);
        unsigned long long value = 0;
        const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (error == std::errc{} && end == number.data() + number.size() && !number.empty() &&
            value == static_cast<unsigned long long>(gid))
            return line.substr(0, name_end);
    }
    return {};
}

}  // namespace lumicord::camlink
