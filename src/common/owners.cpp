#include "common/owners.h"

#include <unistd.h>

#include <utility>

namespace lumicord {

owned_stream::owned_stream(owned_stream&& other) noexcept : stream_(std::exchange(other.stream_, nullptr)) {}

owned_stream& owned_stream::operator=(owned_stream&& other) noexcept {
    if (this != &other) {
        close();
        stream_ = std::exchange(other.stream_, nullptr);
    }
    return *this;
}

owned_stream::~owned_stream() { close(); }

bool owned_stream::close() noexcept {
    if (stream_ == nullptr) return false;
    // fclose releases the stream even when it fails: never try again.
    return std::fclose(std::exchange(stream_, nullptr)) == 0;
}

owned_descriptor::owned_descriptor(owned_descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

owned_descriptor& owned_descriptor::operator=(owned_descriptor&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

owned_descriptor::~owned_descriptor() { close(); }

void owned_descriptor::close() noexcept {
    // Not retried on EINTR: on Linux the descriptor is gone by then, and a
    // second close could hit one opened meanwhile.
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

int owned_descriptor::release() noexcept { return std::exchange(fd_, -1); }

owned_stream owned_descriptor::into_stream(const char* mode) noexcept {
    if (fd_ < 0) return {};
    std::FILE* stream = fdopen(fd_, mode);
    if (stream == nullptr) return {};
    // From here on the stream closes the descriptor.
    fd_ = -1;
    return owned_stream(stream);
}

}  // namespace lumicord
