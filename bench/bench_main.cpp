// lumicord-bench: runs the real lumicord binary against a camera simulator
// that keeps the serial line's real pace, compares every run with the least
// time the line allows, and writes the figures as a Markdown report.
#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bare_client.h"
#include "bench/camera_timing.h"
#include "bench/line_budget.h"
#include "bench/numbering_timing.h"
#include "bench/program_child.h"
#include "files/picture_files.h"
#include "sim/camera_data.h"
#include "sim/camera_sim.h"

namespace lumicord::bench {

namespace {

constexpr const char* PROMPT = "\n: ";
constexpr const char* THUMBNAIL_FILE = "thumbnls.dc2";
constexpr auto RUN_DEADLINE = std::chrono::minutes(8);

// The targets the figures are held against.
constexpr double WALL_RATIO_TARGET = 1.01;
constexpr double CPU_SHARE_TARGET = 0.01;
constexpr long RSS_TARGET_KIB = 4096;
constexpr double NUMBERING_TARGET_MS = 50;

constexpr long FLOOR_BAUD = 115200;

enum class run_kind { startup, pictures, thumbnails };

struct bench_case {
    run_kind kind;
    long baud;
    bool low_res;
    int pictures;        // stored in the camera; all of them are transferred
    int adapter_ms = 0;  // the bytes come through a USB-serial adapter with this latency timer; 0: a serial port
};

struct case_result {
    bench_case what{};
    std::string problem;      // empty when the run did what it should
    double wall = 0;          // of the measured part: start-up, or key to next prompt
    line_budget budget;       // the line's minimum for the same part
    double run_wall = 0;      // the whole process, start to exit
    double cpu = 0;           // user + system of the whole process
    long max_rss_kib = 0;
    bool camera_realtime = false;
};

struct settings {
    std::string lumicord = LUMICORD_BINARY;
    std::string out = "bench/results.md";
    std::string scratch;
    std::string command = "bench/run";
    int latency_us = 500;
    bool quick = false;
    bool realtime_program = false;
};

double seconds(clock::duration d) { return std::chrono::duration<double>(d).count(); }

double cpu_seconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

std::vector<unsigned char> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string read_text(const std::filesystem::path& path) {
    const std::vector<unsigned char> bytes = read_file(path);
    return {bytes.begin(), bytes.end()};
}

const char* kind_name(run_kind kind) {
    switch (kind) {
        case run_kind::startup: return "start-up to first prompt";
        case run_kind::pictures: return "download (D)";
        case run_kind::thumbnails: return "thumbnails (T)";
    }
    return "";
}

std::string case_label(const bench_case& c) {
    std::string label = kind_name(c.kind);
    if (c.kind == run_kind::pictures) label += c.low_res ? ", low res" : ", high res";
    if (c.adapter_ms > 0) label += ", adapter timer " + std::to_string(c.adapter_ms) + " ms";
    return label;
}

int transferred(const bench_case& c) { return c.kind == run_kind::startup ? 0 : c.pictures; }

// What the run should have left in its directory, checked byte for byte.
std::string check_files(const bench_case& c, const sim::camera_config& camera, const std::filesystem::path& dir) {
    if (c.kind == run_kind::pictures) {
        for (int i = 1; i <= c.pictures; ++i) {
            const files::file_name name = files::picture_file_name(i);
            const std::vector<std::uint8_t> expected = sim::picture_data(camera.pictures[static_cast<std::size_t>(i - 1)]);
            const std::vector<unsigned char> got = read_file(dir / name.data());
            if (got.size() != expected.size() || !std::equal(got.begin(), got.end(), expected.begin()))
                return std::string(name.data()) + " differs from the camera's picture";
        }
    }
    if (c.kind == run_kind::thumbnails) {
        std::vector<std::uint8_t> expected;
        for (const sim::stored_picture& p : camera.pictures) {
            const std::vector<std::uint8_t> t = sim::thumbnail_data(p);
            expected.insert(expected.end(), t.begin(), t.end());
        }
        const std::vector<unsigned char> got = read_file(dir / THUMBNAIL_FILE);
        if (got.size() != expected.size() || !std::equal(got.begin(), got.end(), expected.begin()))
            return std::string(THUMBNAIL_FILE) + " differs from the camera's thumbnails";
    }
    return {};
}

case_result run_case(const settings& s, const bench_case& c) {
    case_result r;
    r.what = c;
    // The camera's thread keeps time as a UART does; the program, forked
    // later, runs as any program does.
    std::unique_ptr<sim::camera_sim> owned_camera;
    {
        const camera_timing timing;
        r.camera_realtime = timing.realtime();
        sim::pacing_config pacing{true, s.latency_us};
        if (c.adapter_ms > 0) pacing.adapter = {true, c.adapter_ms};
        owned_camera = std::make_unique<sim::camera_sim>(sim::camera_with_pictures(c.pictures, c.low_res),
                                                         sim::fault_config{}, pacing);
    }
    sim::camera_sim& camera = *owned_camera;
    std::string pattern = s.scratch + "/lumicord-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a directory in " + s.scratch);
    const std::filesystem::path dir = pattern;

    const std::vector<std::string> args{"-C" + camera.device_path(), "-B" + std::to_string(c.baud)};
    program_child child(s.lumicord, args, dir.string(), (dir / "stderr.txt").string(), s.realtime_program);
    const clock::time_point deadline = child.started() + RUN_DEADLINE;
    if (!child.await_output(PROMPT, deadline)) {
        r.problem = "no prompt after start-up";
    } else {
        const clock::time_point prompt = clock::now();
        const line_record at_prompt = record_of(camera);
        if (c.kind == run_kind::startup) {
            r.wall = seconds(prompt - child.started());
            r.budget = budget_between(line_record{}, at_prompt, s.latency_us);
        } else {
            const clock::time_point key = clock::now();
            child.send_keys(c.kind == run_kind::pictures ? "D\n" : "T\n");
            if (!child.await_output(PROMPT, deadline)) {
                r.problem = "no prompt after the transfer";
            } else {
                r.wall = seconds(clock::now() - key);
                r.budget = budget_between(at_prompt, record_of(camera), s.latency_us);
            }
        }
        child.send_keys("Q\n");
    }
    const program_end end = child.finish(deadline);
    r.run_wall = seconds(end.ended - child.started());
    r.cpu = cpu_seconds(end.usage);
    r.max_rss_kib = end.usage.ru_maxrss;
    if (r.problem.empty() && (!end.exited || end.exit_code != 0))
        r.problem = "ended with status " + std::to_string(end.exit_code);
    if (r.problem.empty()) r.problem = check_files(c, camera.camera(), dir);
    if (!r.problem.empty()) {
        std::fprintf(stderr, "%s at %ld baud: %s\n--- output:\n%s\n--- errors:\n%s\n", case_label(c).c_str(), c.baud,
                     r.problem.c_str(), child.out().c_str(), read_text(dir / "stderr.txt").c_str());
    }
    std::filesystem::remove_all(dir);
    return r;
}

// How long merely starting and ending the program takes here: "-h" prints
// the banner and exits without touching the line.
struct process_start {
    double fastest = 0;
    double median = 0;
};

process_start time_process_start(const settings& s, int repeats) {
    std::vector<double> walls;
    for (int i = 0; i < repeats; ++i) {
        program_child child(s.lumicord, {"-h"}, s.scratch, "/dev/null");
        const program_end end = child.finish(child.started() + std::chrono::seconds(30));
        if (!end.exited || end.exit_code != 0) throw std::runtime_error("lumicord -h failed");
        walls.push_back(seconds(end.ended - child.started()));
    }
    std::sort(walls.begin(), walls.end());
    return {walls.front(), walls[walls.size() / 2]};
}

// An FTDI adapter's latency timer is 16 ms unless the driver is asked for
// low latency, which on Linux makes it 1 ms.
constexpr int ADAPTER_DEFAULT_MS = 16;
constexpr int ADAPTER_LOW_LATENCY_MS = 1;

std::vector<bench_case> cases(bool quick) {
    if (quick)
        return {
            {run_kind::startup, 115200, false, 1},
            {run_kind::pictures, 115200, false, 1},
            {run_kind::pictures, 115200, false, 1, ADAPTER_DEFAULT_MS},
            {run_kind::pictures, 115200, false, 1, ADAPTER_LOW_LATENCY_MS},
            {run_kind::thumbnails, 115200, false, 2},
        };
    // A high-resolution picture takes some 2.4 minutes at 9600 baud: one of
    // each kind there is plenty.
    return {
        {run_kind::startup, 9600, false, 3},
        {run_kind::startup, 115200, false, 3},
        {run_kind::pictures, 9600, false, 1},
        {run_kind::pictures, 9600, true, 1},
        {run_kind::pictures, 38400, false, 1},
        {run_kind::pictures, 38400, true, 1},
        {run_kind::pictures, 115200, false, 3},
        {run_kind::pictures, 115200, true, 3},
        {run_kind::pictures, 115200, false, 1, ADAPTER_DEFAULT_MS},
        {run_kind::pictures, 115200, false, 1, ADAPTER_LOW_LATENCY_MS},
        {run_kind::thumbnails, 115200, false, 4},
    };
}

std::string first_line_of(const char* path, const char* key) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) return {};
        std::size_t from = colon + 1;
        while (from < line.size() && line[from] == ' ') ++from;
        return line.substr(from);
    }
    return {};
}

std::string machine_text() {
    std::ostringstream m;
    utsname u{};
    ::uname(&u);
    // The processor's model is read from Linux's /proc; elsewhere it is left out.
    const std::string model = first_line_of("/proc/cpuinfo", "model name");
    m << sysconf(_SC_NPROCESSORS_ONLN) << " processors (nproc), " << (model.empty() ? "" : model + ", ") << u.sysname
      << " " << u.release << " " << u.machine;
    return m.str();
}

// From Linux's /proc; "not known" elsewhere.
std::string load_average() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    if (!(in >> one >> five >> fifteen)) return "not known";
    return one + " " + five + " " + fifteen;
}

std::string fixed(double value, int places) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%.*f", places, value);
    return text.data();
}

const char* mark(bool met) { return met ? "yes" : "**no**"; }

void write_report(const settings& s, const std::vector<case_result>& results, const bare_result& floor,
                  const process_start& start, const std::vector<numbering_timing>& numbering, int numbering_files,
                  int numbering_repeats, const std::string& load_before, double total_seconds, int pinned_cpu) {
    bool realtime = !results.empty();
    for (const case_result& c : results) realtime = realtime && c.camera_realtime;
    const double floor_ratio = floor.wall / floor.line_minimum;
    const double floor_cpu = floor.cpu / floor.child_wall;

    std::ostringstream r;
    r << "# Lumicord benchmark\n\n";
    r << "Produced by `" << s.command << "`" << (s.quick ? " (quick set)" : "") << " in " << fixed(total_seconds / 60, 1)
      << " minutes.\n\n";
    r << "- Machine: " << machine_text() << ".\n";
    if (pinned_cpu >= 0)
        r << "- Driver, camera and every program run pinned to processor " << pinned_cpu
          << ": a wake-up across processors costs an\n"
             "  inter-processor interrupt whose price on a virtual machine swings tenfold from run to run, and the\n"
             "  processor time of the same work with it.\n";
    else
        r << "- Not pinned to one processor (refused, or no sched_setaffinity here): processor times may swing from\n"
             "  run to run.\n";
    r << "- Load average (1, 5, 15 min) before: " << load_before << "; after: " << load_average() << ".\n";
    r << "- Camera: the simulator, paced at the line's rate (11 bits a byte) in 16-byte bursts, hearing the host's\n"
         "  bytes a byte-time after they are written and answering "
      << s.latency_us << " µs after it heard; its thread "
      << (realtime ? "at real-time priority" : "at ordinary priority (real-time was refused, or is not to be had here)")
#if defined(LUMICORD_HAVE_PR_SET_TIMERSLACK)
      << " with exact timers"
#endif
      << ". The program at "
      << (s.realtime_program ? "real-time priority too (a diagnostic run, not how users run it)" : "ordinary priority")
      << ".\n";
    r << "- Line minimum: every byte both ways at its line speed, 13/128 s before each command, the camera's\n"
         "  latency before each answer.\n";
    r << "- Wall: start-up to the first prompt, or from the key to the prompt after the transfer; the line minimum\n"
         "  covers the same stretch. CPU (user + system) and peak resident memory are the whole process's\n"
         "  (start-up, transfer, quitting), from wait4.\n";
    r << "- Floor: a bare client fetching one high-resolution picture through the same camera and\n"
         "  pseudo-terminal with nothing but the protocol's reads, writes and pause (no files, no output).\n\n";

    r << "| Run | Baud | Pictures | Commands | Bytes to / from camera | Wall (s) | Line minimum (s) | Ratio | "
         "CPU of run (ms) | CPU per picture (ms) | CPU / wall | Peak RSS (KiB) |\n";
    r << "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const case_result& c : results) {
        if (c.what.adapter_ms > 0) continue;
        const int items = transferred(c.what);
        r << "| " << case_label(c.what) << (c.problem.empty() ? "" : " — FAILED: " + c.problem) << " | " << c.what.baud
          << " | " << (items > 0 ? std::to_string(items) : "—") << " | " << c.budget.commands << " | "
          << c.budget.host_bytes << " / " << c.budget.camera_bytes << " | " << fixed(c.wall, 3) << " | "
          << fixed(c.budget.total(), 3) << " | " << fixed(c.wall / c.budget.total(), 4) << " | "
          << fixed(c.cpu * 1e3, 1) << " | " << (items > 0 ? fixed(c.cpu * 1e3 / items, 1) : "—") << " | "
          << fixed(100 * c.cpu / c.run_wall, 2) << " % | " << c.max_rss_kib << " |\n";
    }
    r << "| floor: bare client, high res" << (floor.ok ? "" : " — FAILED") << " | " << FLOOR_BAUD << " | 1 | 1 | — | "
      << fixed(floor.wall, 3) << " | " << fixed(floor.line_minimum, 3) << " | " << fixed(floor_ratio, 4) << " | "
      << fixed(floor.cpu * 1e3, 1) << " | " << fixed(floor.cpu * 1e3, 1) << " | " << fixed(100 * floor_cpu, 2)
      << " % | — |\n\n";
    bool adapter_rows = false;
    for (const case_result& c : results) adapter_rows = adapter_rows || c.what.adapter_ms > 0;
    if (adapter_rows) {
        r << "Through a USB-serial adapter: the same camera behind the simulator's adapter model, 62-byte packets,\n"
             "a full one passed on as soon as its last byte is in, a partly filled one only when the latency timer,\n"
             "started by its first byte, runs out. The line minimum is the same. \"Timer\" is how long, in all, the\n"
             "program waited for the last packet of an answer after its last byte had arrived; \"rest\" is what is\n"
             "left of the wall time after minimum and timer.\n\n";
        r << "| Run | Baud | Latency timer (ms) | Wall (s) | Line minimum (s) | Ratio | Timer (s) | Rest (s) | "
             "CPU of run (ms) | CPU / wall | Peak RSS (KiB) |\n";
        r << "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
        for (const case_result& c : results) {
            if (c.what.adapter_ms == 0) continue;
            r << "| " << case_label(c.what) << (c.problem.empty() ? "" : " — FAILED: " + c.problem) << " | "
              << c.what.baud << " | " << c.what.adapter_ms << " | " << fixed(c.wall, 3) << " | "
              << fixed(c.budget.total(), 3) << " | " << fixed(c.wall / c.budget.total(), 4) << " | "
              << fixed(c.budget.adapter_seconds, 3) << " | "
              << fixed(c.wall - c.budget.total() - c.budget.adapter_seconds, 3) << " | " << fixed(c.cpu * 1e3, 1)
              << " | " << fixed(100 * c.cpu / c.run_wall, 2) << " % | " << c.max_rss_kib << " |\n";
        }
        r << "\n";
    }
    r << "Starting and ending the process alone (`lumicord -h`, fork to exit) takes " << fixed(start.median * 1e3, 1)
      << " ms here (fastest " << fixed(start.fastest * 1e3, 1)
      << " ms); the start-up rows include it, the line minimum does not.\n\n";

    r << "Numbering search in a directory of " << numbering_files << " files (half dc_NNN.dc2, half dc_NNN.img), "
      << numbering_repeats << " searches each:\n\n";
    r << "| Option | Search top | Found | First (ms) | Slowest (ms) |\n|---|---:|---:|---:|---:|\n";
    for (const numbering_timing& t : numbering)
        r << "| " << t.option << " | " << t.search_top << " | " << t.result << " | " << fixed(t.first_ms, 3) << " | "
          << fixed(t.slowest_ms, 3) << " |\n";

    double worst_ratio = 0;          // transfers
    double worst_startup_ratio = 0;  // start-up, which also pays for starting the process
    double worst_cpu = 0;
    long worst_rss = 0;
    double worst_search = 0;
    bool all_ran = true;
    for (const case_result& c : results) {
        // The adapter's timer is not the program's doing; its rows show it.
        if (c.what.adapter_ms == 0) {
            double& worst = c.what.kind == run_kind::startup ? worst_startup_ratio : worst_ratio;
            worst = std::max(worst, c.wall / c.budget.total());
        }
        worst_cpu = std::max(worst_cpu, c.cpu / c.run_wall);
        worst_rss = std::max(worst_rss, c.max_rss_kib);
        all_ran = all_ran && c.problem.empty();
    }
    for (const numbering_timing& t : numbering) worst_search = std::max(worst_search, t.slowest_ms);
    r << "\n| Target | Worst run | Floor | Met |\n|---|---:|---:|---|\n";
    r << "| every run completes, its files byte for byte the camera's | — | — | " << mark(all_ran) << " |\n";
    r << "| transfers on a serial port: wall time within 1 % of the line minimum | ratio " << fixed(worst_ratio, 4) << " | ratio "
      << fixed(floor_ratio, 4) << " | " << mark(worst_ratio <= WALL_RATIO_TARGET) << " |\n";
    r << "| start-up: wall time within 1 % of the line minimum | ratio " << fixed(worst_startup_ratio, 4) << " | — | "
      << mark(worst_startup_ratio <= WALL_RATIO_TARGET) << " |\n";
    r << "| CPU time under 1 % of wall time | " << fixed(100 * worst_cpu, 2) << " % | " << fixed(100 * floor_cpu, 2)
      << " % | " << mark(worst_cpu < CPU_SHARE_TARGET) << " |\n";
    r << "| peak resident memory under 4 MiB | " << worst_rss << " KiB | — | " << mark(worst_rss < RSS_TARGET_KIB)
      << " |\n";
    r << "| numbering search under 50 ms for any -N | " << fixed(worst_search, 3) << " ms | — | "
      << mark(worst_search < NUMBERING_TARGET_MS) << " |\n";

    std::ofstream out(s.out);
    out << r.str();
    std::fputs(r.str().c_str(), stdout);
}

void usage() {
    std::puts(
        "Usage: lumicord-bench [options]\n"
        "Runs the lumicord binary against a paced camera simulator and writes a Markdown report.\n"
        "  --lumicord PATH     the binary to measure (default: the one built beside this driver)\n"
        "  --out FILE          where the report goes (default bench/results.md)\n"
        "  --latency-us US     camera response latency (default 500)\n"
        "  --scratch DIR       where the runs' directories are made (default: the temporary directory)\n"
        "  --command TEXT      the command line to name in the report (default bench/run)\n"
        "  --quick             a few runs at 115200 baud only\n"
        "  --realtime-program  run lumicord at real-time priority too (to see how much of the\n"
        "                      wall time is waiting for a processor; not how users run it)");
}

bool parse(int argc, char** argv, settings& s) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--quick") {
            s.quick = true;
        } else if (a == "--realtime-program") {
            s.realtime_program = true;
        } else if (a == "--lumicord" && has_value) {
            s.lumicord = argv[++i];
        } else if (a == "--out" && has_value) {
            s.out = argv[++i];
        } else if (a == "--scratch" && has_value) {
            s.scratch = argv[++i];
        } else if (a == "--command" && has_value) {
            s.command = argv[++i];
        } else if (a == "--latency-us" && has_value) {
            char* end = nullptr;
            const long v = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || v < 0 || v > 1'000'000) return false;
            s.latency_us = static_cast<int>(v);
        } else {
            return false;
        }
    }
    if (s.scratch.empty()) s.scratch = std::filesystem::temp_directory_path().string();
    // The runs happen in directories of their own.
    s.lumicord = std::filesystem::absolute(s.lumicord).string();
    return true;
}

}  // namespace

// Everything on one processor, this thread first so that the camera's
// threads and every child inherit it: on a virtual machine a wake-up across
// processors costs an inter-processor interrupt whose price swings tenfold
// from run to run, and the processor time of the same work with it. The
// processor is the first one this process may use; -1 when none would do, or
// where the system has no sched_setaffinity.
int pin_to_one_processor() {
#if defined(LUMICORD_HAVE_SCHED_SETAFFINITY)
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return -1;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        return sched_setaffinity(0, sizeof one, &one) == 0 ? cpu : -1;
    }
#endif
    return -1;
}

int run(int argc, char** argv) {
    settings s;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage();
        return 0;
    }
    if (!parse(argc, argv, s)) {
        usage();
        return 2;
    }
    const int pinned_cpu = pin_to_one_processor();
    const clock::time_point began = clock::now();
    const std::string load_before = load_average();

    constexpr int NUMBERING_FILES = 10000;
    constexpr int NUMBERING_REPEATS = 5;
    const std::vector<numbering_timing> numbering =
        time_numbering_search(s.scratch, NUMBERING_FILES, {"-N1", "-N100", "-N2000000000"}, NUMBERING_REPEATS);

    const bare_result floor = run_bare_client(FLOOR_BAUD, false, s.latency_us);
    std::fprintf(stderr, "bare client at %ld baud: %.3f s against %.3f s (ratio %.4f), CPU %.1f ms in %ld reads%s\n",
                 FLOOR_BAUD, floor.wall, floor.line_minimum, floor.wall / floor.line_minimum, floor.cpu * 1e3,
                 floor.reads, floor.ok ? "" : " (FAILED)");

    constexpr int START_REPEATS = 9;
    const process_start start = time_process_start(s, START_REPEATS);

    std::vector<case_result> results;
    bool all_ran = true;
    for (const bench_case& c : cases(s.quick)) {
        std::fprintf(stderr, "%s at %ld baud, %d picture(s)...\n", case_label(c).c_str(), c.baud, c.pictures);
        results.push_back(run_case(s, c));
        const case_result& r = results.back();
        std::fprintf(stderr, "  %.3f s against %.3f s (ratio %.4f), adapter timer %.3f s, CPU %.1f ms, peak RSS %ld KiB\n",
                     r.wall, r.budget.total(), r.wall / r.budget.total(), r.budget.adapter_seconds, r.cpu * 1e3,
                     r.max_rss_kib);
        all_ran = all_ran && r.problem.empty();
    }
    write_report(s, results, floor, start, numbering, NUMBERING_FILES, NUMBERING_REPEATS, load_before,
                 seconds(clock::now() - began), pinned_cpu);
    return all_ran ? 0 : 1;
}

}  // namespace lumicord::bench

int main(int argc, char** argv) {
    try {
        return lumicord::bench::run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumicord-bench: %s\n", e.what());
        return 1;
    }
}
