// A fresh directory for one test, removed afterwards; a file read whole; a
// stream that refuses every write.
#pragma once

#include <cstdio>
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

// A stream that refuses every write, as a full disk does: the writing end of
// a pipe whose reader is gone (Linux's /dev/full is not on every system).
// SIGPIPE is ignored from the first call on, so that the write fails
// instead of ending the test. Null when no pipe could be made.
std::FILE* full_disk_stream();

}  // namespace lumicord::testing
