// Programs of the system that the install, package and manual page tests
// use (groff, man, cpack, dpkg), and the lumicord-sim tool run as a separate
// process the way a user runs it.
#pragma once

#include <string>
#include <vector>

#include "tests/support/path_search.h"
#include "tests/support/run_program.h"
#include "tests/support/sim_process.h"
#include "tests/support/text_lines.h"

namespace lumicord::testing {

// Runs binary with args, with environment settings ("NAME=value") over the
// test's own.
inline program_result run_tool(const std::string& binary, std::vector<std::string> args,
                               const std::vector<std::string>& environment = {}, const std::string& cwd = "",
                               std::string input = "") {
    program_run run;
    run.binary = binary;
    run.args = std::move(args);
    run.environment = environment;
    run.cwd = cwd;
    run.input = std::move(input);
    run.timeout_seconds = 200;
    return run_program(run);
}

}  // namespace lumicord::testing
