// Waiting out a camera that is busy taking or erasing pictures.
#pragma once

namespace lumicord::camlink {

// Reads and discards whatever the camera sends until 1.5 s pass in silence
// (or a few blocks' worth of bytes have come: a camera that never stops
// talking must not hold the program for ever).
// RES_USER_BREAK when the user asked to stop, else 0.
int drain();

// Up to tries single-byte reads; 0 as soon as one yields 0x00. A timeout or
// any other byte uses up a try. RES_NO_RESPONSE when the tries run out.
int await_done_byte(int tries);

}  // namespace lumicord::camlink
