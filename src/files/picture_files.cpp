#include "files/picture_files.h"

#include <cstdio>

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

void write_converter_file(picture_number first_new_number) {
    const owned_stream f = create_replacement_file(CONVERTER_FILE_NAME);
    if (!f) return;
    std::fprintf(f.get(), "-x%lld -a\n", first_new_number);
}

}  // namespace lumicord::files
