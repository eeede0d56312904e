# Cross build for macOS on Apple silicon with zig's bundled macOS headers
# and libSystem: compiles and links, but nothing built here can run here.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(LUMICORD_ZIG_TARGET aarch64-macos)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
