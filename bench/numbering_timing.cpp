#include "bench/numbering_timing.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "files/numbering.h"
#include "files/picture_files.h"
#include "front/options.h"

namespace lumicord::bench {

namespace {

// Half of the numbers as picture files, the other half as .img files,
// which the download commands also count.
void fill(const std::filesystem::path& dir, int file_count) {
    for (int k = 1; k <= file_count; ++k) {
        const files::file_name name = k <= file_count / 2 ? files::picture_file_name(k) : files::image_file_name(k);
        const int fd = ::open((dir / name.data()).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) throw std::runtime_error(std::string("cannot create ") + name.data());
        ::close(fd);
    }
}

int search_top_for(const std::string& option) {
    std::string name = "lumicord";
    std::string arg = option;
    std::array<char*, 3> argv{name.data(), arg.data(), nullptr};
    front::options = front::options_record{};
    front::read_options(2, argv.data());
    return front::options.search_top;
}

}  // namespace

std::vector<numbering_timing> time_numbering_search(const std::string& parent, int file_count,
                                                    const std::vector<std::string>& options, int repeats) {
    std::string pattern = parent + "/lumicord-numbering-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a directory in " + parent);
    const std::filesystem::path dir = pattern;
    fill(dir, file_count);

    const int home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (home < 0 || ::chdir(dir.c_str()) != 0) throw std::runtime_error("cannot enter " + dir.string());
    std::vector<numbering_timing> timings;
    for (const std::string& option : options) {
        numbering_timing t;
        t.option = option;
        t.search_top = search_top_for(option);
        for (int i = 0; i < repeats; ++i) {
            const auto start = std::chrono::steady_clock::now();
            t.result = files::find_last_number(t.search_top, true);
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            if (i == 0) t.first_ms = ms;
            if (ms > t.slowest_ms) t.slowest_ms = ms;
        }
        timings.push_back(t);
    }
    if (::fchdir(home) != 0) std::perror("fchdir");
    ::close(home);
    std::filesystem::remove_all(dir);
    return timings;
}

}  // namespace lumicord::bench
