#include "files/picture_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lumicord::files {

file_name picture_file_name(long number) {
    file_name name{};
    std::snprintf(name.data(), name.size(), "dc_%03ld.dc2", number);
    return name;
}

file_name image_file_name(long number) {
    file_name name{};
    std::snprintf(name.data(), name.size(), "dc_%03ld.img", number);
    return name;
}

bool file_exists(const char* name) {
    struct stat st {};
    return lstat(name, &st) == 0;
}

create_result create_picture_file(const char* name, std::FILE*& stream) {
    stream = nullptr;
    // O_EXCL also refuses a symbolic link, dangling or not.
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) return errno == EEXIST ? create_result::exists : create_result::failed;
    stream = fdopen(fd, "wb");
    if (stream == nullptr) {
        ::close(fd);
        ::unlink(name);
        return create_result::failed;
    }
    return create_result::created;
}

void write_converter_file(long first_new_number) {
    std::FILE* f = std::fopen(CONVERTER_FILE_NAME, "w");
    if (f == nullptr) return;
    std::fprintf(f, "-x%ld -a\n", first_new_number);
    std::fclose(f);
}

void delete_converter_file() { std::remove(CONVERTER_FILE_NAME); }

}  // namespace lumicord::files
