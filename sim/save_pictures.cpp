#include "sim/save_pictures.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace lumicord::sim {

std::string saved_picture_name(int number) { return "picture-" + std::to_string(number) + ".raw"; }

bool save_pictures(const camera_config& camera, const std::string& dir) {
    for (std::size_t i = 0; i < camera.pictures.size(); ++i) {
        const std::string path = dir + "/" + saved_picture_name(static_cast<int>(i + 1));
        const std::vector<std::uint8_t> data = picture_data(camera.pictures[i]);
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
        const bool written = file != nullptr && std::fwrite(data.data(), 1, data.size(), file.get()) == data.size() &&
                             std::fclose(file.release()) == 0;
        if (!written) {
            std::perror(path.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace lumicord::sim
