#include "front/picture_list.h"

#include <array>
#include <cstdio>

#include "front/console.h"
#include "link/camera.h"

namespace lumicord::front {

namespace {

struct shutter_step {
    int lowest_exposure;
    int denominator;
};

// Each row holds from its exposure up to the next row's.
constexpr std::array<shutter_step, 9> SHUTTER_STEPS = {{
    {0, 30},
    {18, 60},
    {26, 125},
    {33, 250},
    {40, 500},
    {48, 1000},
    {56, 2000},
    {62, 4000},
    {67, 8000},
}};

constexpr std::uint8_t SMALL_APERTURE_ABOVE = 6;

}  // namespace

int shutter_denominator(std::uint8_t exposure) {
    int denominator = SHUTTER_STEPS[0].denominator;
    for (const shutter_step& step : SHUTTER_STEPS)
        if (exposure >= step.lowest_exposure) denominator = step.denominator;
    return denominator;
}

void show_picture_list() {
    int result = camlink::query_status();
    if (result != camlink::RES_OK) {
        report_result(result);
        return;
    }
    show_status(true);
    result = camlink::fetch_picture_info(camlink::picture_info_table);
    if (result != camlink::RES_OK) {
        report_result(result);
        return;
    }
    for (int p = 1; p <= camlink::camera_state.pictures_taken && p <= camlink::PICTURE_INFO_COUNT; ++p) {
        const camlink::picture_info& info = camlink::picture_info_table.records[p];
        std::printf("\nPicture %2d: %s 1/%d", p, info.aperture > SMALL_APERTURE_ABOVE ? "f/11" : "f/4 ",
                    shutter_denominator(info.exposure));
        std::fputs(info.low_res != 0 ? " (low res)" : " (high res)", stdout);
    }
}

}  // namespace lumicord::front
