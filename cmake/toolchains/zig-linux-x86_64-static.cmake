# Static build for Linux on x86-64 (64-bit PC) with musl, zig's bundled C
# library: one file that runs on any Linux kernel for its processor,
# whatever C library the system has.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LUMICORD_ZIG_TARGET x86_64-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
