# Shared by the zig-*.cmake toolchain files, which set LUMICORD_ZIG_TARGET
# (zig's name for the target) and the system first: zig's clang as the
# compiler and zig's archiver, through the wrappers beside this file, which
# run the pinned zig, which tools/zig fetch installs first.
set(CMAKE_C_COMPILER "${CMAKE_CURRENT_LIST_DIR}/zig-cc")
set(CMAKE_CXX_COMPILER "${CMAKE_CURRENT_LIST_DIR}/zig-c++")
set(CMAKE_C_COMPILER_TARGET ${LUMICORD_ZIG_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${LUMICORD_ZIG_TARGET})
set(CMAKE_AR "${CMAKE_CURRENT_LIST_DIR}/zig-ar" CACHE FILEPATH "zig's archiver")
set(CMAKE_RANLIB "${CMAKE_CURRENT_LIST_DIR}/zig-ranlib" CACHE FILEPATH "zig's ranlib")
# Libraries and headers for the target (GoogleTest built for it, say) are
# found only below CMAKE_FIND_ROOT_PATH, never this machine's own.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
