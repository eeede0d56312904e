// Programs of the system that the install, package and manual page tests
// use (groff, man, cpack, dpkg), and the lumicord-sim tool run as a separate
// process the way a user runs it.
#pragma once

#include <optional>
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

// The man program where it is man-db's, whose -l (a page by its path),
// --warnings and MANWIDTH the tests use; the BSDs' and macOS's man have none
// of them. Nothing where man is missing or another one.
inline std::optional<std::string> find_man_db() {
    const std::optional<std::string> man = find_tool("man");
    if (!man) return man;
    // man-db says "man 2.11.2".
    const program_result version = run_tool(*man, {"--version"});
    const bool man_db = version.exit_status == 0 && version.out.size() > 4 && version.out.rfind("man ", 0) == 0 &&
                        version.out[4] >= '0' && version.out[4] <= '9';
    return man_db ? man : std::nullopt;
}

}  // namespace lumicord::testing
