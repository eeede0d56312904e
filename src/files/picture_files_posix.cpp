#include "files/picture_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace lumicord::files {

file_name picture_file_name(picture_number number) {
    file_name name{};
    std::snprintf(name.data(), name.size(), "dc_%03lld.dc2", number);
    return name;
}

file_name image_file_name(picture_number number) {
    file_name name{};
    std::snprintf(name.data(), name.size(), "dc_%03lld.img", number);
    return name;
}

bool file_exists(const char* name) {
    struct stat st {};
    return lstat(name, &st) == 0;
}

created_file create_picture_file(const char* name) {
    // O_EXCL also refuses a symbolic link, dangling or not.
    owned_descriptor fd(::open(name, O_WRONLY | O_CREAT | O_EXCL, 0666));
    if (!fd) return {errno == EEXIST ? create_result::exists : create_result::failed, {}};
    owned_stream stream = fd.into_stream("wb");
    if (!stream) {
        fd.close();
        ::unlink(name);
        return {create_result::failed, {}};
    }
    return {create_result::created, std::move(stream)};
}

owned_stream create_replacement_file(const char* name) {
    // O_NOFOLLOW: a link planted under the name (in a shared directory, say)
    // would otherwise have us empty whatever it points to. O_NONBLOCK: a
    // FIFO under the name would otherwise hold the open until some reader
    // came. Emptied only once it is known to be a plain file.
    owned_descriptor fd(::open(name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    if (!fd) return {};
    struct stat st {};
    const bool plain = fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
    const int flags = fcntl(fd.get(), F_GETFL);
    if (!plain || ftruncate(fd.get(), 0) != 0 || flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return {};
    return fd.into_stream("wb");
}

void write_converter_file(picture_number first_new_number) {
    const owned_stream f = create_replacement_file(CONVERTER_FILE_NAME);
    if (!f) return;
    std::fprintf(f.get(), "-x%lld -a\n", first_new_number);
}

// unlink, not remove: a directory of that name is not ours to delete.
void delete_converter_file() { ::unlink(CONVERTER_FILE_NAME); }

}  // namespace lumicord::files
