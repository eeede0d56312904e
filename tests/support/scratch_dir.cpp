#include "tests/support/scratch_dir.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

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
    // Asked of every number up to the limit rather than read from a listing
    // of the process's descriptors, which not every system has.
    long limit = sysconf(_SC_OPEN_MAX);
    if (limit < 0 || limit > 65536) limit = 65536;
    std::size_t count = 0;
    for (int fd = 0; fd < limit; ++fd) count += fcntl(fd, F_GETFD) != -1 ? 1 : 0;
    return count;
}

std::FILE* full_disk_stream() {
    std::signal(SIGPIPE, SIG_IGN);
    int fds[2];
    if (::pipe(fds) != 0) return nullptr;
    ::close(fds[0]);
    std::FILE* stream = ::fdopen(fds[1], "wb");
    if (stream == nullptr) ::close(fds[1]);
    return stream;
}

}  // namespace lumicord::testing
