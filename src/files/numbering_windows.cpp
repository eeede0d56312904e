#include <windows.h>

#include "common/windows_text.h"
#include "files/number_search.h"
#include "files/numbering.h"

namespace lumicord::files {

namespace {

struct search_closer {
    HANDLE search;
    ~search_closer() { FindClose(search); }
};

// A directory entry's name as the program's own text; false for a name
// that is no picture's (one with other than plain ASCII characters).
bool ascii_name(const wchar_t* wide, file_name& name) {
    std::size_t i = 0;
    for (; wide[i] != L'\0'; ++i) {
        if (i + 1 >= name.size() || wide[i] > 0x7F) return false;
        name[i] = static_cast<char>(wide[i]);
    }
    name[i] = '\0';
    return true;
}

}  // namespace

int find_last_number(int top, bool include_img) {
    if (top <= 0) return 0;
    // One pass over the directory answers at once for any top, where trying
    // every number from the top down could take hours. Windows compares
    // names without regard to case, which listed_number allows for.
    WIN32_FIND_DATAW entry{};
    const HANDLE search = FindFirstFileW(L"*", &entry);
    if (search == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return 0;
        return probe_downwards(top, include_img);
    }
    const search_closer closer{search};
    picture_number best = 0;
    do {
        file_name name{};
        if (!ascii_name(entry.cFileName, name)) continue;
        const picture_number number = listed_number(name.data(), include_img);
        if (number <= top && number > best) best = number;
    } while (FindNextFileW(search, &entry));
    // Anything but the end may have missed the highest number.
    if (GetLastError() != ERROR_NO_MORE_FILES) return probe_downwards(top, include_img);
    return static_cast<int>(best);
}

}  // namespace lumicord::files
