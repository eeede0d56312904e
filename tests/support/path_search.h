// Finding a program on PATH, as a shell would.
#pragma once

#include <optional>
#include <string>

namespace lumicord::testing {

// The path of an executable named name in a directory on PATH (or, without
// PATH, in /usr/local/bin, /usr/bin and /bin), if there is one.
std::optional<std::string> find_tool(const std::string& name);

}  // namespace lumicord::testing
