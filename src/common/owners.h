// Owners of what the program opens: an open stream and an open descriptor
// (for the picture files, and for the serial device while it is being set
// up). Whatever way a function leaves, what it opened is closed, and closed
// once. Every subsystem uses them, so they belong to none.
#pragma once

#include <cstdio>

namespace lumicord {

// An open stream, closed when its owner goes. Move-only.
class owned_stream {
public:
    owned_stream() noexcept = default;
    explicit owned_stream(std::FILE* stream) noexcept : stream_(stream) {}
    owned_stream(owned_stream&& other) noexcept;
    owned_stream& operator=(owned_stream&& other) noexcept;
    owned_stream(const owned_stream&) = delete;
    owned_stream& operator=(const owned_stream&) = delete;
    ~owned_stream();

    std::FILE* get() const noexcept { return stream_; }
    explicit operator bool() const noexcept { return stream_ != nullptr; }

    // Closes the stream now, leaving the owner empty; false when the close
    // failed (the last buffer could not be written out) or there was
    // nothing to close.
    bool close() noexcept;

private:
    std::FILE* stream_ = nullptr;
};

// An open descriptor, closed when its owner goes. Move-only.
class owned_descriptor {
public:
    owned_descriptor() noexcept = default;
    explicit owned_descriptor(int fd) noexcept : fd_(fd) {}
    owned_descriptor(owned_descriptor&& other) noexcept;
    owned_descriptor& operator=(owned_descriptor&& other) noexcept;
    owned_descriptor(const owned_descriptor&) = delete;
    owned_descriptor& operator=(const owned_descriptor&) = delete;
    ~owned_descriptor();

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }

    // Closes the descriptor now, leaving the owner empty.
    void close() noexcept;

    // Hands the descriptor over to a holder of its own (the serial line's
    // record, say); the owner no longer closes it.
    int release() noexcept;

    // Hands the descriptor over to a stream opened on it with mode (as
    // fdopen does). When no stream can be had the descriptor stays here,
    // to be closed with its owner, and the stream returned is empty.
    owned_stream into_stream(const char* mode) noexcept;

private:
    int fd_ = -1;
};

}  // namespace lumicord
