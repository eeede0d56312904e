// What the Windows parts share: an owner for a handle, names in the wide
// characters Windows' own calls take, and the system's words for an error.
// Included by the *_windows.cpp files only.
#pragma once

#include <windows.h>

#include <array>
#include <cstdio>
#include <utility>

namespace lumicord {

// A handle, closed when its owner goes. Move-only.
class owned_handle {
public:
    owned_handle() noexcept = default;
    explicit owned_handle(HANDLE handle) noexcept : handle_(handle) {}
    owned_handle(owned_handle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    owned_handle& operator=(owned_handle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    owned_handle(const owned_handle&) = delete;
    owned_handle& operator=(const owned_handle&) = delete;
    ~owned_handle() { reset(); }

    HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE release() noexcept { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    void reset() noexcept {
        if (*this) CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Room for a path, in the system's wide characters.
using wide_path = std::array<wchar_t, MAX_PATH + 1>;

// name, as the program's own text (the ANSI code page, as the command line
// comes), for Windows' wide-character calls; empty when it does not fit.
inline wide_path wide_name(const char* name) {
    wide_path wide{};
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), static_cast<int>(wide.size())) == 0) wide[0] = L'\0';
    return wide;
}

// "call: the system's words for error", as perror writes it on Unix.
inline void report_windows_error(const char* call, DWORD error) {
    std::array<char, 512> words{};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  words.data(), static_cast<DWORD>(words.size()), nullptr);
    while (length > 0 && (words[length - 1] == '\n' || words[length - 1] == '\r' || words[length - 1] == ' ')) --length;
    if (length == 0)
        std::fprintf(stderr, "%s: error %lu\n", call, static_cast<unsigned long>(error));
    else
        std::fprintf(stderr, "%s: %.*s\n", call, static_cast<int>(length), words.data());
}

}  // namespace lumicord
