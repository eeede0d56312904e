// Checksummed data blocks from the camera and the completion byte that ends
// each exchange.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumicord::camlink {

inline constexpr std::size_t LARGE_BLOCK = 1024;  // picture and thumbnail data
inline constexpr std::size_t SMALL_BLOCK = 256;   // status and picture information

// The block most recently received: data bytes, then the XOR checksum.
extern std::array<std::uint8_t, LARGE_BLOCK + 1> transfer_buffer;

// True when the XOR of the n data bytes equals the byte after them.
bool block_checksum_ok(const std::uint8_t* block, std::size_t n);

// Receives one block of n data bytes (256 or 1024) plus its checksum into
// transfer_buffer, asking for it again (BLOCK_RESEND) after a bad checksum or
// 1.5 s of silence, five attempts in all. Does not acknowledge a good block:
// the caller sends BLOCK_OK when it is done with it. RES_BAD_PACKET after the
// fifth failed attempt, RES_USER_BREAK when the user asked to stop.
int receive_block(std::size_t n);

// Reads the one completion byte that ends an exchange; its value does not
// matter. RES_NO_DATA when none arrives within the line's timeout.
int await_completion();

}  // namespace lumicord::camlink
