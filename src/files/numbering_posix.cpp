#include "files/numbering.h"

#include <dirent.h>

#include <cerrno>
#include <memory>

#include "files/number_search.h"

namespace lumicord::files {

namespace {

struct directory_closer {
    void operator()(DIR* dir) const noexcept { closedir(dir); }
};
using owned_directory = std::unique_ptr<DIR, directory_closer>;

}  // namespace

int find_last_number(int top, bool include_img) {
    if (top <= 0) return 0;
    // One pass over the directory answers at once for any top, where trying
    // every number from the top down could take hours.
    const owned_directory dir(opendir("."));
    if (!dir) return probe_downwards(top, include_img);
    picture_number best = 0;
    for (;;) {
        // readdir tells its end from a failure only by errno: a failing
        // card (EIO), or an entry a 32-bit build cannot describe
        // (EOVERFLOW). What was read up to then may miss the highest
        // number, so it is not the answer.
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) return probe_downwards(top, include_img);
            break;
        }
        const picture_number number = listed_number(entry->d_name, include_img);
        if (number <= top && number > best) best = number;
    }
    return static_cast<int>(best);
}

}  // namespace lumicord::files
