// From the command line to the interactive loop or video mode.
#pragma once

namespace lumicord::front {

[[noreturn]] void run_program(int argc, char** argv);

}  // namespace lumicord::front
