# Static build for Linux on 64-bit ARM (a Raspberry Pi on a 64-bit system)
# with musl, zig's bundled C library: one file that runs on any Linux kernel
# for its processor, whatever C library the system has.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(LUMICORD_ZIG_TARGET aarch64-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
