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

std::FILE* create_replacement_file(const char* name) {
    // O_NOFOLLOW: a link planted under the name (in a shared directory, say)
    // would otherwise have us empty whatever it points to. O_NONBLOCK: a
    // FIFO under the name would otherwise hold the open until some reader
    // came. Emptied only once it is known to be a plain file.
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st {};
    const bool plain = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const int flags = fcntl(fd, F_GETFL);
    if (!plain || ftruncate(fd, 0) != 0 || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* stream = fdopen(fd, "wb");
    if (stream == nullptr) ::close(fd);
    return stream;
}

void write_converter_file(long first_new_number) {
    std::FILE* f = create_replacement_file(CONVERTER_FILE_NAME);
    if (f == nullptr) return;
    std::fprintf(f, "-x%ld -a\n", first_new_number);
    std::fclose(f);
}

// unlink, not remove: a directory of that name is not ours to delete.
void delete_converter_file() { ::unlink(CONVERTER_FILE_NAME); }

}  // namespace lumicord::files
