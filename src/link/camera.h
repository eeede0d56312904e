// The camera link's interface for the front end: the camera's last reported
// state, the result codes and the operations. The front end never touches
// the serial device except through these functions.
#pragma once

#include <cstdint>
#include <cstdio>

namespace lumicord::camlink {

// Result codes are single bits so that a caller can tell them apart at a
// glance; RES_NOT_FOUND is the one combination (no byte from a DC20).
inline constexpr int RES_OK = 0;
inline constexpr int RES_NO_DATA = 1;
inline constexpr int RES_WRONG_DATA = 2;
inline constexpr int RES_NOT_FOUND = 3;
inline constexpr int RES_BAD_PACKET = 4;
inline constexpr int RES_NO_RESPONSE = 8;
inline constexpr int RES_IMPOSSIBLE = 16;
inline constexpr int RES_SAVE_ERROR = 32;
inline constexpr int RES_USER_BREAK = 64;
inline constexpr int RES_NOT_ON_DC25 = 128;

inline constexpr std::uint8_t MODEL_DC20 = 0x20;
inline constexpr std::uint8_t MODEL_DC25 = 0x25;

// Written only by query_status.
struct camera_state_record {
    std::uint8_t model = MODEL_DC25;  // until the first status exchange
    std::uint8_t resolution = 0;      // 1 = low, anything else = high
    std::uint8_t battery = 0;         // 0 = good
    std::uint8_t pictures_taken = 0;
    std::uint8_t pictures_free = 0;
};
extern camera_state_record camera_state;

// One record per picture number 1..32, filled by fetch_picture_info.
struct picture_info {
    std::uint8_t aperture = 0;  // information byte 16
    std::uint8_t exposure = 0;  // information byte 35
    std::uint8_t low_res = 0;   // information byte 4
};
inline constexpr int PICTURE_INFO_COUNT = 32;
struct picture_info_array {
    picture_info records[PICTURE_INFO_COUNT + 1];  // index 0 unused: pictures count from 1
};
extern picture_info_array picture_info_table;

// Connection (connection.cpp). device is the serial device's path.
int camera_connect(const char* device, long baud);
// After a lost line was opened again (reopen_line in line.h): finds the
// camera, at 9600 or at the working speed when it kept its power, and moves
// camera and line to the working speed, as camera_connect does.
int camera_refind(long baud);
void camera_disconnect();
int query_status();  // status.cpp

// Operations; each starts with its own query_status.
int snap_picture();                                    // snap.cpp
int erase_memory();                                    // erase.cpp
int switch_resolution();                               // resolution.cpp
int fetch_picture_info(picture_info_array& table);     // picture_info.cpp
int fetch_thumbnails(std::FILE* stream);               // thumbnails.cpp
int fetch_picture(int number, std::FILE* stream);      // picture.cpp

}  // namespace lumicord::camlink
