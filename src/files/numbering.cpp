#include "files/numbering.h"

#include <climits>
#include <cstring>

#include "files/number_search.h"

namespace lumicord::files {

namespace {

// Without a directory that can be read to its end the names can only be
// tried one by one; the search then stops this far down so that a huge top
// cannot stall it.
constexpr int PROBE_LIMIT = 100000;

}  // namespace

int probe_downwards(int top, bool include_img) {
    const int bottom = top > PROBE_LIMIT ? top - PROBE_LIMIT : 0;
    for (int k = top; k > bottom; --k) {
        if (file_exists(picture_file_name(k).data())) return k;
        if (include_img && file_exists(image_file_name(k).data())) return k;
    }
    return 0;
}

// The number a directory entry stands for. On a file system that compares
// names without regard to case (FAT or exFAT on a memory card), another
// tool's DC_005.DC2 is what the existence test finds under dc_005.dc2, so
// such a spelling counts when that test finds the program's own; elsewhere
// it names a different file and does not.
picture_number listed_number(const char* entry, bool include_img) {
    const picture_number number = picture_number_of(entry, include_img);
    if (number != 0) return number;
    file_name lowered{};
    const std::size_t length = std::strlen(entry);
    if (length >= lowered.size()) return 0;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = entry[i];
        lowered[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const picture_number folded = picture_number_of(lowered.data(), include_img);
    return folded != 0 && file_exists(lowered.data()) ? folded : 0;
}

picture_number picture_number_of(const char* name, bool include_img) {
    constexpr const char* PREFIX = "dc_";
    if (std::strncmp(name, PREFIX, 3) != 0) return 0;
    const char* digits = name + 3;
    const char* end = digits;
    picture_number number = 0;
    while (*end >= '0' && *end <= '9') {
        // Beyond INT_MAX no number is a picture's; stopping there keeps
        // the sum far from overflowing.
        if (number > INT_MAX) return 0;
        number = number * 10 + (*end - '0');
        ++end;
    }
    if (end == digits || number < 1 || number > INT_MAX) return 0;
    const bool dc2 = std::strcmp(end, ".dc2") == 0;
    const bool img = include_img && std::strcmp(end, ".img") == 0;
    if (!dc2 && !img) return 0;
    // Only the spelling the program itself writes names the number.
    const file_name canonical = dc2 ? picture_file_name(number) : image_file_name(number);
    return std::strcmp(canonical.data(), name) == 0 ? number : 0;
}

}  // namespace lumicord::files
