// The six camera operations as a table, so that what every one of them must
// do alike can be tested once for each.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>

#include "link/camera.h"

namespace lumicord::testing {

struct camera_operation {
    const char* name;
    int (*run)();
};

namespace ops_detail {
inline int thumbnails_to_temp_file() {
    std::FILE* f = std::tmpfile();
    const int result = camlink::fetch_thumbnails(f);
    std::fclose(f);
    return result;
}
inline int picture_to_temp_file() {
    std::FILE* f = std::tmpfile();
    const int result = camlink::fetch_picture(1, f);
    std::fclose(f);
    return result;
}
inline int picture_info() { return camlink::fetch_picture_info(camlink::picture_info_table); }
}  // namespace ops_detail

inline constexpr camera_operation CAMERA_OPERATIONS[] = {
    {"snap_picture", camlink::snap_picture},
    {"erase_memory", camlink::erase_memory},
    {"switch_resolution", camlink::switch_resolution},
    {"fetch_picture_info", ops_detail::picture_info},
    {"fetch_thumbnails", ops_detail::thumbnails_to_temp_file},
    {"fetch_picture", ops_detail::picture_to_temp_file},
};

inline std::string operation_name(const camera_operation& op) { return op.name; }

// For test names and failure messages.
inline void PrintTo(const camera_operation& op, std::ostream* os) { *os << op.name; }

}  // namespace lumicord::testing
