#include "files/picture_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace lumicord::files {

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

// unlink, not remove: a directory of that name is not ours to delete.
void delete_converter_file() { ::unlink(CONVERTER_FILE_NAME); }

void remove_picture_file(const char* name) { ::unlink(name); }

}  // namespace lumicord::files
