#include "tests/support/scratch_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <algorithm>

namespace lumicord::testing {

scratch_dir::scratch_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumicord-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

scratch_dir::~scratch_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void scratch_dir::touch(const std::string& name, const std::string& content) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out << content;
}

std::vector<std::string> scratch_dir::names() const {
    std::vector<std::string> result;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) result.push_back(entry.path().filename().string());
    std::sort(result.begin(), result.end());
    return result;
}

scoped_cwd::scoped_cwd(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
}

scoped_cwd::~scoped_cwd() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

std::vector<unsigned char> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t open_descriptor_count() {
    // The listing's own descriptor is counted every time alike.
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

}  // namespace lumicord::testing
