// A symbolic link to the simulator's terminal, for scripts that want a
// fixed name. Only a symbolic link at that name is ever replaced, never a
// file or directory someone may need; at the end the name is removed only
// if it is still a symbolic link to the terminal.
#pragma once

#include <string>

namespace lumicord::sim {

// Why path cannot become the link (it exists and is not a symbolic link),
// or an empty string. Asked before anything else is set up.
std::string link_refusal(const std::string& path);

class device_link {
public:
    device_link() = default;
    ~device_link();
    device_link(const device_link&) = delete;
    device_link& operator=(const device_link&) = delete;

    // Makes path a symbolic link to target; an empty string on success,
    // else why not.
    std::string make(const std::string& target, const std::string& path);

    // Points the link made by make at a new target in one step, so that a
    // program opening the path finds the old terminal or the new one,
    // never nothing; an empty string on success, else why not.
    std::string retarget(const std::string& target);

    // Removes the link while its terminal is gone, as the system removes an
    // unplugged adapter's names; retarget makes it again.
    void remove();

private:
    std::string path_;
    std::string target_;
    bool made_ = false;
};

}  // namespace lumicord::sim
