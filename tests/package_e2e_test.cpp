// Installing and packaging: cmake --install into a prefix of the user's own
// and through DESTDIR, and the Debian package built by cpack, unpacked into a
// scratch root. In each case the installed programs run: help, and a session
// against the installed simulator that downloads every picture.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

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

// The help of the program as built, to compare installed copies with.
std::string built_help() { return run_program(lumicord_run({"-h"})).out; }

// What an installed tree must hold, and that its programs work: help, and a
// session against its own simulator that lists and downloads the pictures.
void expect_working_tree(const fs::path& prefix, const fs::path& work) {
    const fs::path bin = prefix / "bin";
    const fs::path man1 = prefix / "share" / "man" / "man1";
    ASSERT_TRUE(is_executable_file(bin / "lumicord"));
    ASSERT_TRUE(is_executable_file(bin / "lumicord-sim"));
    for (const char* page : {"lumicord.1", "lumicord-sim.1"}) {
        ASSERT_TRUE(fs::is_regular_file(man1 / page)) << page;
        EXPECT_EQ(file_text(man1 / page), file_text(fs::path(LUMICORD_SOURCE_DIR) / "man" / page)) << page;
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

    const auto man = find_tool("man");
    if (!man) return;
    for (const char* page : {"lumicord.1", "lumicord-sim.1"}) {
        const program_result m = run_tool(*man, {"--warnings", "-l", (man1 / page).string()}, {"MANWIDTH=80"});
        EXPECT_EQ(m.exit_status, 0) << page;
        EXPECT_EQ(m.err, "") << page;
    }
    // A user who installed under a prefix of their own finds the pages
    // through MANPATH.
    const program_result where =
        run_tool(*man, {"-w", "lumicord"}, {"MANPATH=" + (prefix / "share" / "man").string()});
    EXPECT_EQ(where.exit_status, 0) << where.err;
    EXPECT_EQ(where.out, (man1 / "lumicord.1").string() + "\n");
}

TEST(install_test, a_prefix_of_the_users_own_gets_the_programs_and_their_manual_pages) {
    scratch_dir dir;
    const fs::path prefix = dir / "prefix";
    const program_result r = run_tool(LUMICORD_CMAKE_COMMAND, {"--install", LUMICORD_BUILD_DIR, "--prefix", prefix.string()});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    expect_working_tree(prefix, dir / "work");
}

TEST(install_test, destdir_stages_the_installation_without_touching_the_prefix) {
    scratch_dir dir;
    const fs::path prefix = fs::path("/opt") / ("lumicord-staged-" + std::to_string(getpid()));
    const fs::path stage = dir / "stage";
    const program_result r = run_tool(LUMICORD_CMAKE_COMMAND, {"--install", LUMICORD_BUILD_DIR, "--prefix", prefix.string()},
                                      {"DESTDIR=" + stage.string()});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    EXPECT_FALSE(fs::exists(prefix));
    expect_working_tree(stage / prefix.relative_path(), dir / "work");
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
    const fs::path out = dir / "package";
    const program_result built = run_tool(LUMICORD_CPACK_COMMAND,
                                          {"-G", "DEB", "-B", out.string(), "--config",
                                           (fs::path(LUMICORD_BUILD_DIR) / "CPackConfig.cmake").string()},
                                          {}, LUMICORD_BUILD_DIR);
    ASSERT_EQ(built.exit_status, 0) << built.out << built.err;
    std::vector<fs::path> debs;
    for (const auto& entry : fs::directory_iterator(out))
        if (entry.path().extension() == ".deb") debs.push_back(entry.path());
    ASSERT_EQ(debs.size(), 1u);
    const fs::path deb = debs[0];

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
    expect_working_tree(root / "usr", dir / "work");
}

}  // namespace
}  // namespace lumicord::testing
