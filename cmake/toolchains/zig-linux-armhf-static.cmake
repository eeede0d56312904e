# Static build for Linux on 32-bit ARM with hardware floating point (a
# Raspberry Pi on the 32-bit system) with musl, zig's bundled C library: one
# file that runs on any Linux kernel for its processor, whatever C library
# the system has.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(LUMICORD_ZIG_TARGET arm-linux-musleabihf)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
