// The manual pages: they render without a warning, and they keep up with the
// programs: every menu key, option, port device and exit status that the
// built programs show is documented.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "link/device_names.h"
#include "sim/camera_data.h"
#include "sim/camera_sim.h"
#include "tests/support/external_tools.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::testing {
namespace {

const std::filesystem::path PAGE_DIR = std::filesystem::path(LUMICORD_SOURCE_DIR) / "man";
const std::filesystem::path LUMICORD_PAGE = PAGE_DIR / "lumicord.1";
const std::filesystem::path SIM_PAGE = PAGE_DIR / "lumicord-sim.1";

std::string trimmed(const std::string& line) {
    const std::size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? "" : line.substr(first);
}

class manual_page_test : public ::testing::Test {
protected:
    void SetUp() override {
        const auto found = find_tool("groff");
        if (!found) GTEST_SKIP() << "groff is not installed (Debian: groff-base)";
        groff_ = *found;
    }

    // The page as plain text, wide and unhyphenated so that names stay whole.
    std::vector<std::string> render(const std::filesystem::path& page) const {
        const program_result r =
            run_tool(groff_, {"-t", "-man", "-Tutf8", "-P-cbou", "-rLL=250n", "-rHY=0", page.string()});
        EXPECT_EQ(r.exit_status, 0) << r.err;
        return lines_of(r.out);
    }

    // The lines of one section: after its heading, up to the next heading.
    static std::vector<std::string> section(const std::vector<std::string>& text, const std::string& heading) {
        std::vector<std::string> lines;
        bool inside = false;
        for (const std::string& line : text) {
            const bool is_heading = !line.empty() && line[0] != ' ';
            if (is_heading) inside = line == heading;
            else if (inside) lines.push_back(line);
        }
        return lines;
    }

    static bool has_line_starting(const std::vector<std::string>& lines, const std::string& start) {
        for (const std::string& line : lines) {
            const std::string t = trimmed(line);
            if (t.rfind(start, 0) == 0) return true;
        }
        return false;
    }

    // A tag of an indented list: the text alone, or followed by blanks.
    static bool has_tag(const std::vector<std::string>& lines, const std::string& tag) {
        for (const std::string& line : lines) {
            const std::string t = trimmed(line);
            if (t == tag || t.rfind(tag + "  ", 0) == 0 || t.rfind(tag + " ", 0) == 0) return true;
        }
        return false;
    }

    // The lines as one text, every run of blanks one blank: a sentence
    // the renderer wrapped or spaced out reads as written.
    static std::string flowing(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) {
            for (const char c : line) {
                if (c == ' ' && (text.empty() || text.back() == ' ')) continue;
                text += c;
            }
            if (!text.empty() && text.back() != ' ') text += ' ';
        }
        return text;
    }

    static std::vector<std::string> headings(const std::vector<std::string>& text) {
        std::vector<std::string> found;
        // The first and last lines are the running header and footer.
        for (std::size_t i = 1; i + 1 < text.size(); ++i)
            if (!text[i].empty() && text[i][0] != ' ') found.push_back(text[i]);
        return found;
    }

    std::string groff_;
};

TEST_F(manual_page_test, both_pages_render_without_a_warning) {
    for (const auto& page : {LUMICORD_PAGE, SIM_PAGE}) {
        const program_result r = run_tool(groff_, {"-t", "-man", "-Tutf8", "-ww", "-z", page.string()});
        EXPECT_EQ(r.exit_status, 0) << page;
        EXPECT_EQ(r.err, "") << page;
        const auto man = find_man_db();
        if (!man) continue;
        const program_result shown = run_tool(*man, {"--warnings", "-l", page.string()}, {"MANWIDTH=80"});
        EXPECT_EQ(shown.exit_status, 0) << page << shown.err;
        EXPECT_EQ(shown.err, "") << page;
        EXPECT_NE(shown.out.find("NAME"), std::string::npos) << page;
    }
}

TEST_F(manual_page_test, pages_have_the_usual_sections_in_the_usual_order_and_the_projects_version) {
    const std::vector<std::string> lumicord = render(LUMICORD_PAGE);
    EXPECT_EQ(headings(lumicord), (std::vector<std::string>{"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "COMMANDS",
                                                            "EXIT STATUS", "FILES", "DIAGNOSTICS", "NOTES",
                                                            "EXAMPLES", "SEE ALSO"}));
    const std::vector<std::string> sim = render(SIM_PAGE);
    EXPECT_EQ(headings(sim), (std::vector<std::string>{"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS",
                                                       "FILES", "EXAMPLES", "SEE ALSO"}));
    for (const auto* text : {&lumicord, &sim}) {
        ASSERT_FALSE(text->empty());
        EXPECT_NE(text->back().find(std::string("Lumicord ") + LUMICORD_VERSION), std::string::npos) << text->back();
    }
}

TEST_F(manual_page_test, every_key_of_the_menu_is_a_command) {
    // The program prints its menu before it opens the device.
    scratch_dir dir;
    const program_result r = run_program(lumicord_run({"-C" + (dir / "no-device").string()}, "", dir.path().string()));
    const std::regex menu_line("^  (\\S)  - .*");
    std::vector<std::string> keys;
    for (const std::string& line : lines_of(r.out)) {
        std::smatch m;
        if (std::regex_match(line, m, menu_line)) keys.push_back(m[1]);
    }
    ASSERT_GE(keys.size(), 8u) << r.out;

    const std::vector<std::string> commands = section(render(LUMICORD_PAGE), "COMMANDS");
    for (const std::string& key : keys) EXPECT_TRUE(has_tag(commands, key)) << "key " << key;
    EXPECT_TRUE(has_tag(commands, "1 ... 8"));
}

TEST_F(manual_page_test, every_option_is_described) {
    const program_result help = run_program(lumicord_run({"-h"}));
    // The usage line names some options; -N, the help letters and the long
    // forms it leaves out.
    std::set<std::string> options{"-N", "-h", "-H", "-?", "--help", "--version", "--ports"};
    const std::regex usage_option("\\[(-[A-Za-z])");
    for (const std::string& line : lines_of(help.out)) {
        if (line.rfind("Lumicord [", 0) != 0) continue;
        for (std::sregex_iterator it(line.begin(), line.end(), usage_option), end; it != end; ++it)
            options.insert((*it)[1]);
    }
    ASSERT_GE(options.size(), 7u) << help.out;

    const std::vector<std::string> described = section(render(LUMICORD_PAGE), "OPTIONS");
    for (const std::string& option : options) {
        bool found = has_line_starting(described, option);
        for (const std::string& line : described)
            if (trimmed(line).rfind("-", 0) == 0 && line.find(", " + option) != std::string::npos) found = true;
        EXPECT_TRUE(found) << option;
    }

    // The page quotes the version line and the hint as the program prints
    // them.
    const program_result version = run_program(lumicord_run({"--version"}));
    ASSERT_EQ(version.exit_status, 0);
    const program_result hinted = run_program(lumicord_run({"-N", "5", "--help"}));
    const std::vector<std::string> hint = lines_of(hinted.err);
    ASSERT_EQ(hint.size(), 1u) << hinted.err;
    const std::string text = flowing(described);
    for (const std::string& quoted : {lines_of(version.out).at(0), hint[0]})
        EXPECT_NE(text.find("\u201c" + quoted + "\u201d"), std::string::npos) << quoted;
}

TEST_F(manual_page_test, the_device_of_every_port_is_in_the_table) {
    const std::vector<std::string> page = render(LUMICORD_PAGE);
    // One row per system: this system's names the devices of ports 1 to 4
    // in order.
    bool row_found = false;
    for (const std::string& line : page) {
        std::size_t from = 0;
        bool all = true;
        for (int port = 1; port <= 4 && all; ++port) {
            const std::size_t at = line.find(camlink::device_path_for(port), from);
            all = at != std::string::npos;
            from = at + 1;
        }
        row_found = row_found || all;
    }
    EXPECT_TRUE(row_found);
    // Any other number is port 1's, as the page says.
    for (int port : {0, 5, -1}) EXPECT_STREQ(camlink::device_path_for(port), camlink::device_path_for(1)) << port;
    EXPECT_NE(flowing(page).find("Any other port number selects the device of port 1."), std::string::npos);
}

TEST_F(manual_page_test, every_exit_status_the_program_gives_is_explained) {
    std::set<int> statuses;
    scratch_dir dir;
    const std::string work = dir.path().string();
    statuses.insert(run_program(lumicord_run({"-h"})).exit_status);
    statuses.insert(run_program(lumicord_run({"-C" + (dir / "no-device").string()}, "", work)).exit_status);
    {
        sim::camera_sim sim(sim::camera_with_pictures(1));
        // Video mode refuses a camera that is not empty.
        statuses.insert(run_program(lumicord_run({"-C" + sim.device_path(), "-V2"}, "", work)).exit_status);
        statuses.insert(run_program(lumicord_run({"-C" + sim.device_path()}, "q\n", work)).exit_status);
        program_run stopped = lumicord_run({"-C" + sim.device_path()}, "", work);
        stopped.close_input = false;
        stopped.signal_when = "\n: ";
        stopped.signal_number = SIGTERM;
        // Ended by the signal itself; a shell shows 128 + its number.
        const program_result by_signal = run_program(stopped);
        EXPECT_EQ(by_signal.killed_by, SIGTERM);
        statuses.insert(128 + by_signal.killed_by);
    }
    ASSERT_EQ(statuses.size(), 4u);

    const std::vector<std::string> explained = section(render(LUMICORD_PAGE), "EXIT STATUS");
    for (int status : statuses) {
        if (status > 128 && status < 128 + 64) {
            EXPECT_TRUE(has_tag(explained, "128 + N"));
            bool value_named = false;
            for (const std::string& line : explained)
                if (line.find(std::to_string(status) + " for SIG") != std::string::npos) value_named = true;
            EXPECT_TRUE(value_named) << status;
        } else {
            EXPECT_TRUE(has_tag(explained, std::to_string(status))) << status;
        }
    }
}

TEST_F(manual_page_test, every_option_of_the_simulator_is_described_and_so_is_every_exit_status) {
    const program_result help = run_tool(LUMICORD_SIM_BINARY, {"--help"});
    std::set<std::string> options;
    const std::regex long_option("--[a-z][a-z-]*");
    for (std::sregex_iterator it(help.out.begin(), help.out.end(), long_option), end; it != end; ++it)
        options.insert(it->str());
    ASSERT_GE(options.size(), 20u) << help.out;

    const std::vector<std::string> page = render(SIM_PAGE);
    const std::vector<std::string> described = section(page, "OPTIONS");
    for (const std::string& option : options) EXPECT_TRUE(has_line_starting(described, option)) << option;

    scratch_dir dir;
    const std::set<int> statuses{
        help.exit_status,
        run_tool(LUMICORD_SIM_BINARY, {"--no-such-option"}).exit_status,
        run_tool(LUMICORD_SIM_BINARY, {"--log", (dir / "missing" / "log").string()}).exit_status,
    };
    ASSERT_EQ(statuses.size(), 3u);
    const std::vector<std::string> explained = section(page, "EXIT STATUS");
    for (int status : statuses) EXPECT_TRUE(has_tag(explained, std::to_string(status))) << status;
}

}  // namespace
}  // namespace lumicord::testing
