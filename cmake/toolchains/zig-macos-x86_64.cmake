# Cross build for macOS on Intel processors with zig's bundled macOS headers
# and libSystem: compiles and links, but nothing built here can run here.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LUMICORD_ZIG_TARGET x86_64-macos)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
