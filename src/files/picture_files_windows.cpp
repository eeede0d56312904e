#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <utility>

#include "common/windows_text.h"
#include "files/picture_files.h"

namespace lumicord::files {

namespace {

// A stream over an open file handle; the handle goes with it, or is closed
// here when no stream can be had.
owned_stream stream_on(owned_handle file) {
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(file.get()), _O_WRONLY | _O_BINARY);
    if (fd < 0) return {};
    file.release();
    return owned_descriptor(fd).into_stream("wb");
}

// Only a plain file: no directory, no device, and no link or junction
// (opened as itself, never followed).
bool is_plain_file(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) return false;
    return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace

bool file_exists(const char* name) {
    // The attributes of a link itself: a dangling one exists too.
    return GetFileAttributesW(wide_name(name).data()) != INVALID_FILE_ATTRIBUTES;
}

created_file create_picture_file(const char* name) {
    const wide_path wide = wide_name(name);
    // CREATE_NEW refuses anything of that name, a link or junction too.
    owned_handle file(CreateFileW(wide.data(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        const bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return {exists ? create_result::exists : create_result::failed, {}};
    }
    owned_stream stream = stream_on(std::move(file));
    if (!stream) {
        DeleteFileW(wide.data());
        return {create_result::failed, {}};
    }
    return {create_result::created, std::move(stream)};
}

owned_stream create_replacement_file(const char* name) {
    // A link planted under the name would otherwise have us empty whatever
    // it points to: it is opened as itself and refused.
    owned_handle file(CreateFileW(wide_name(name).data(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || !is_plain_file(file.get()) || !SetEndOfFile(file.get())) return {};
    return stream_on(std::move(file));
}

// DeleteFile never removes a directory of that name, which is not ours.
void delete_converter_file() { DeleteFileW(wide_name(CONVERTER_FILE_NAME).data()); }

void remove_picture_file(const char* name) { DeleteFileW(wide_name(name).data()); }

}  // namespace lumicord::files
