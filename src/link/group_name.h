// A group's name, read from the group file itself. The name service would
// ask the same file on almost every system, but a statically linked
// program cannot load it, and the name only serves a hint.
#pragma once

#include <sys/types.h>

#include <string>

namespace lumicord::camlink {

// The name of group gid in a file laid out as /etc/group ("name:password:
// gid:members" a line); empty when the file cannot be read or has no such
// group.
std::string group_name(gid_t gid, const char* group_file = "/etc/group");

}  // namespace lumicord::camlink
