#include "tests/support/path_search.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace lumicord::testing {

std::optional<std::string> find_tool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (dir.empty()) continue;
        const std::filesystem::path candidate = std::filesystem::path(dir) / name;
        std::error_code error;
        if (::access(candidate.c_str(), X_OK) == 0 && !std::filesystem::is_directory(candidate, error))
            return candidate.string();
    }
    return std::nullopt;
}

}  // namespace lumicord::testing
