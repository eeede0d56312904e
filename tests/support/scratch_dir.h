// A fresh directory for one test, removed afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lumicord::testing {

class scratch_dir {
public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    // Creates an empty file (or one with the given content).
    void touch(const std::string& name, const std::string& content = "") const;
    // The names in the directory, sorted.
    std::vector<std::string> names() const;

private:
    std::filesystem::path path_;
};

// Makes dir the working directory until destroyed.
class scoped_cwd {
public:
    explicit scoped_cwd(const std::filesystem::path& dir);
    ~scoped_cwd();
    scoped_cwd(const scoped_cwd&) = delete;
    scoped_cwd& operator=(const scoped_cwd&) = delete;

private:
    std::filesystem::path previous_;
};

std::vector<unsigned char> read_file(const std::filesystem::path& path);

// How many descriptors this process has open now: equal before and after
// a call that must not leave one behind.
std::size_t open_descriptor_count();

}  // namespace lumicord::testing
