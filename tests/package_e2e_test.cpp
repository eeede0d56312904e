// Installing and packaging: cmake --install into a prefix of the user's own
// and through DESTDIR, and the Debian package built by cpack, unpacked into a
// scratch root. In each case the installed programs run: help, and a session
// against the installed simulator that downloads every picture.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sim/camera_data.h"
#include "tests/support/external_tools.h"
#include "tests/support/run_program.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::testing {
namespace {

namespace fs = std::filesystem;

constexpr int DEMO_PICTURES = 2;

bool is_executable_file(const fs::path& p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IXOTH) != 0;
}

std::string file_text(const fs::path& p) {
    const std::vector<unsigned char> bytes = read_file(p);
    return std::string(bytes.begin(), bytes.end());
}

std::string source_text(const fs::path& relative) { return file_text(fs::path(LUMICORD_SOURCE_DIR) / relative); }

// The text of a gzip-compressed file.
std::string gunzipped_text(const fs::path& p) {
    const auto gzip = find_tool("gzip");
    if (!gzip) {
        ADD_FAILURE() << "gzip is not installed";
        return "";
    }
    const program_result r = run_tool(*gzip, {"-dc", p.string()});
    EXPECT_EQ(r.exit_status, 0) << p << r.err;
    return r.out;
}

// The help of the program as built, to compare installed copies with.
std::string built_help() { return run_program(lumicord_run({"-h"})).out; }

// cmake --install puts the manual pages and the licence into a prefix as they
// are in the source tree; the Debian package compresses the pages and holds
// the licence as its copyright file, beside its changelog.
enum class tree_layout { prefix, debian_package };

// What an installed tree must hold, and that its programs work: help, and a
// session against its own simulator that lists and downloads the pictures.
void expect_working_tree(const fs::path& prefix, const fs::path& work, tree_layout layout) {
    const bool debian = layout == tree_layout::debian_package;
    const fs::path bin = prefix / "bin";
    const fs::path man1 = prefix / "share" / "man" / "man1";
    const fs::path doc = prefix / "share" / "doc" / "lumicord";
    const std::string page_suffix = debian ? ".gz" : "";
    ASSERT_TRUE(is_executable_file(bin / "lumicord"));
    ASSERT_TRUE(is_executable_file(bin / "lumicord-sim"));
    for (const std::string page : {"lumicord.1", "lumicord-sim.1"}) {
        const fs::path installed = man1 / (page + page_suffix);
        ASSERT_TRUE(fs::is_regular_file(installed)) << installed;
        EXPECT_EQ(debian ? gunzipped_text(installed) : file_text(installed), source_text(fs::path("man") / page))
            << installed;
    }
    EXPECT_EQ(file_text(doc / "README.md"), source_text("README.md"));
    if (debian) {
        EXPECT_FALSE(fs::exists(man1 / "lumicord.1"));
        EXPECT_FALSE(fs::exists(doc / "LICENSE")) << "the copyright file holds the licence";
        EXPECT_TRUE(fs::is_regular_file(doc / "copyright"));
        EXPECT_EQ(gunzipped_text(doc / "changelog.gz"), source_text(fs::path("packaging") / "changelog"));
    } else {
        EXPECT_EQ(file_text(doc / "LICENSE"), source_text("LICENSE"));
    }

    program_run help = lumicord_run({"-h"});
    help.binary = (bin / "lumicord").string();
    const program_result shown = run_program(help);
    EXPECT_EQ(shown.exit_status, 0);
    EXPECT_EQ(shown.out, built_help());
    EXPECT_NE(shown.out.find(std::string("Version ") + LUMICORD_VERSION), std::string::npos)
        << "the program's version differs from the project's";

    sim_process sim({"--pictures", std::to_string(DEMO_PICTURES)}, (bin / "lumicord-sim").string());
    ASSERT_FALSE(sim.device().empty());
    fs::create_directories(work);
    program_run session = lumicord_run({"-C" + sim.device(), "-B115200"}, "s\nd\nq\n", work.string());
    session.binary = (bin / "lumicord").string();
    const program_result r = run_program(session);
    EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
    const sim::camera_config camera = sim::camera_with_pictures(DEMO_PICTURES);
    for (int p = 1; p <= DEMO_PICTURES; ++p) {
        char name[16];
        std::snprintf(name, sizeof name, "dc_%03d.dc2", p);
        EXPECT_NE(r.out.find("\nPicture " + std::to_string(p) + " saved as " + name), std::string::npos) << r.out;
        const std::vector<unsigned char> saved = read_file(work / name);
        EXPECT_TRUE(saved == sim::picture_data(camera.pictures[static_cast<std::size_t>(p - 1)])) << name;
    }
    EXPECT_EQ(sim.stop(), 0);

    const auto man = find_man_db();
    if (!man) return;
    for (const std::string page : {"lumicord.1", "lumicord-sim.1"}) {
        const program_result m =
            run_tool(*man, {"--warnings", "-l", (man1 / (page + page_suffix)).string()}, {"MANWIDTH=80"});
        EXPECT_EQ(m.exit_status, 0) << page;
        EXPECT_EQ(m.err, "") << page;
    }
    // A user who installed under a prefix of their own finds the pages
    // through MANPATH.
    const program_result where =
        run_tool(*man, {"-w", "lumicord"}, {"MANPATH=" + (prefix / "share" / "man").string()});
    EXPECT_EQ(where.exit_status, 0) << where.err;
    EXPECT_EQ(where.out, (man1 / ("lumicord.1" + page_suffix)).string() + "\n");
}

TEST(install_test, a_prefix_of_the_users_own_gets_the_programs_and_their_manual_pages) {
    scratch_dir dir;
    const fs::path prefix = dir / "prefix";
    const program_result r = run_tool(LUMICORD_CMAKE_COMMAND, {"--install", LUMICORD_BUILD_DIR, "--prefix", prefix.string()});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    expect_working_tree(prefix, dir / "work", tree_layout::prefix);
}

TEST(install_test, destdir_stages_the_installation_without_touching_the_prefix) {
    scratch_dir dir;
    const fs::path prefix = fs::path("/opt") / ("lumicord-staged-" + std::to_string(getpid()));
    const fs::path stage = dir / "stage";
    const program_result r = run_tool(LUMICORD_CMAKE_COMMAND, {"--install", LUMICORD_BUILD_DIR, "--prefix", prefix.string()},
                                      {"DESTDIR=" + stage.string()});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    EXPECT_FALSE(fs::exists(prefix));
    expect_working_tree(stage / prefix.relative_path(), dir / "work", tree_layout::prefix);
}

class deb_package_test : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"dpkg", "dpkg-deb"}) {
            const auto found = find_tool(tool);
            if (!found) GTEST_SKIP() << tool << " is not installed";
            tools_[tool] = *found;
        }
    }

    // cpack -G DEB from the build, into out: the one package it made, or an
    // empty path.
    static fs::path make_package(const fs::path& out) {
        const program_result built = run_tool(LUMICORD_CPACK_COMMAND,
                                              {"-G", "DEB", "-B", out.string(), "--config",
                                               (fs::path(LUMICORD_BUILD_DIR) / "CPackConfig.cmake").string()},
                                              {}, LUMICORD_BUILD_DIR);
        EXPECT_EQ(built.exit_status, 0) << built.out << built.err;
        std::vector<fs::path> debs;
        if (fs::is_directory(out))
            for (const auto& entry : fs::directory_iterator(out))
                if (entry.path().extension() == ".deb") debs.push_back(entry.path());
        EXPECT_EQ(debs.size(), 1u);
        return debs.size() == 1 ? debs[0] : fs::path();
    }

    // dpkg-deb -f: the control fields of the package.
    std::string field(const fs::path& deb, const std::string& name) {
        const program_result r = run_tool(tools_["dpkg-deb"], {"-f", deb.string(), name});
        EXPECT_EQ(r.exit_status, 0) << r.err;
        std::string value = r.out;
        while (!value.empty() && value.back() == '\n') value.pop_back();
        return value;
    }

    std::map<std::string, std::string> tools_;
};

TEST_F(deb_package_test, carries_the_projects_metadata_and_runs_from_a_scratch_root) {
    scratch_dir dir;
    const fs::path deb = make_package(dir / "package");
    ASSERT_FALSE(deb.empty());

    const std::string architecture = lines_of(run_tool(tools_["dpkg"], {"--print-architecture"}).out).at(0);
    EXPECT_EQ(field(deb, "Package"), "lumicord");
    EXPECT_EQ(field(deb, "Version"), LUMICORD_VERSION);
    EXPECT_EQ(field(deb, "Architecture"), architecture);
    EXPECT_EQ(deb.filename().string(), std::string("lumicord_") + LUMICORD_VERSION + "_" + architecture + ".deb");
    const std::string maintainer = field(deb, "Maintainer");
    EXPECT_NE(maintainer.find('<'), std::string::npos) << maintainer;
    EXPECT_NE(maintainer.find('@'), std::string::npos) << maintainer;
    EXPECT_FALSE(field(deb, "Section").empty());
    const std::vector<std::string> description = lines_of(field(deb, "Description"));
    ASSERT_GE(description.size(), 2u) << "a summary line and a longer text";
    EXPECT_FALSE(description[0].empty());
    const std::string depends = field(deb, "Depends");
    for (const char* library : {"libc6", "libstdc++6"})
        EXPECT_NE(depends.find(library), std::string::npos) << depends;

    const fs::path root = dir / "root";
    const program_result unpacked = run_tool(tools_["dpkg"], {"-x", deb.string(), root.string()});
    ASSERT_EQ(unpacked.exit_status, 0) << unpacked.err;
    expect_working_tree(root / "usr", dir / "work", tree_layout::debian_package);

    // The changelog's newest entry is the package's version.
    const fs::path doc = root / "usr" / "share" / "doc" / "lumicord";
    const std::vector<std::string> changes = lines_of(gunzipped_text(doc / "changelog.gz"));
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes[0].rfind(std::string("lumicord (") + LUMICORD_VERSION + ") ", 0), 0u) << changes[0];
}

TEST_F(deb_package_test, copyright_file_is_the_licence_in_debians_machine_readable_format) {
    scratch_dir dir;
    const fs::path deb = make_package(dir / "package");
    ASSERT_FALSE(deb.empty());
    const fs::path root = dir / "root";
    const program_result unpacked = run_tool(tools_["dpkg"], {"-x", deb.string(), root.string()});
    ASSERT_EQ(unpacked.exit_status, 0) << unpacked.err;

    const std::vector<std::string> copyright = lines_of(file_text(root / "usr/share/doc/lumicord/copyright"));
    ASSERT_GE(copyright.size(), 9u);
    EXPECT_EQ(copyright[0], "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/");
    EXPECT_EQ(copyright[1], "Upstream-Name: lumicord");
    const std::vector<std::string> header(copyright.begin(), copyright.begin() + 8);
    for (const char* field : {"Files: *", "Copyright: 2026 The Lumicord developers", "License: Expat"})
        EXPECT_NE(std::find(header.begin(), header.end(), field), header.end()) << field;

    // Below the License field, every line of LICENSE after its copyright
    // line, indented by one blank, a blank line written as " .".
    const std::vector<std::string> licence = lines_of(source_text("LICENSE"));
    auto first_term = std::find_if(licence.begin(), licence.end(),
                                   [](const std::string& l) { return l.rfind("Permission is hereby granted", 0) == 0; });
    ASSERT_NE(first_term, licence.end());
    auto text = std::find(copyright.begin(), copyright.end(), "License: Expat");
    ASSERT_NE(text, copyright.end());
    ++text;
    for (auto line = first_term; line != licence.end(); ++line, ++text) {
        ASSERT_NE(text, copyright.end()) << "licence text cut short before: " << *line;
        EXPECT_EQ(*text, line->empty() ? " ." : " " + *line);
    }
    EXPECT_TRUE(text == copyright.end()) << "more after the licence text: " << *text;
}

}  // namespace
}  // namespace lumicord::testing
