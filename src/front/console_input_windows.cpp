#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "front/console_input.h"
#include "front/stop_waits_windows.h"
#include "link/line.h"

namespace lumicord::front {

namespace {

// Ctrl-Z typed at the start of a line: the console's end of input.
constexpr unsigned char CONSOLE_END = 0x1A;
// A console read cut short by Ctrl-C may return before the control
// handler's thread has said so: this long it may still come.
constexpr DWORD CTRL_C_GRACE_MS = 250;
// How often the serial line is looked at while the program waits for a key.
constexpr DWORD HANGUP_LOOK_MS = 1000;

// Standard input is read on a thread of its own, one read whenever the
// program asks for keys, so that the program waits for its input and a
// stop together: Windows cannot wait for a pipe, nor cut a console read
// short reliably. The two events hand each read over.
struct reader_record {
    HANDLE wanted = nullptr;  // the program wants a read
    HANDLE done = nullptr;    // the read is over
    unsigned char* buffer = nullptr;
    DWORD size = 0;
    DWORD count = 0;
    DWORD error = 0;
    bool ok = false;
};

reader_record reader;

DWORD WINAPI read_standard_input(void*) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        WaitForSingleObject(reader.wanted, INFINITE);
        reader.ok = ReadFile(input, reader.buffer, reader.size, &reader.count, nullptr) != 0;
        reader.error = reader.ok ? ERROR_SUCCESS : GetLastError();
        SetEvent(reader.done);
    }
}

bool start_reader() {
    if (reader.wanted != nullptr) return true;
    reader.wanted = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    reader.done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (reader.wanted == nullptr || reader.done == nullptr) return false;
    const HANDLE thread = CreateThread(nullptr, 0, read_standard_input, nullptr, 0, nullptr);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
}

bool reading_console() { return GetFileType(GetStdHandle(STD_INPUT_HANDLE)) == FILE_TYPE_CHAR; }

// A read still under way when a stop came is left to the reader thread: the
// program ends without asking for more.
bool read_in_flight = false;
// A read that ended together with the line's loss: handed over once the
// line has been dealt with.
bool read_held = false;

}  // namespace

void prepare_console() {
    // Text mode would write "\r\n" for each "\n": every text stays byte for
    // byte as on Unix.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

console_read read_console_input(unsigned char* buffer, std::size_t size) {
    if (!start_reader()) return {0, input_end::end};
    const auto line_gone = [] { return camlink::line_open() && camlink::line_hung_up(); };
    if (!read_held) {
        if (!read_in_flight) {
            reader.buffer = buffer;
            reader.size = static_cast<DWORD>(size);
            read_in_flight = true;
            SetEvent(reader.wanted);
        }
        // An adapter pulled out while the program waits for a key is noticed
        // within a second, as a hang-up is on Unix.
        wait_outcome outcome = wait_for_handle(reader.done, HANGUP_LOOK_MS);
        while (outcome == wait_outcome::timed_out) {
            if (line_gone()) return {0, input_end::line_hangup};
            outcome = wait_for_handle(reader.done, HANGUP_LOOK_MS);
        }
        if (outcome == wait_outcome::stopped) return {0, input_end::stopped};
        read_in_flight = false;
        // A key typed after the adapter went waits for the line's return, as
        // on Unix, where the hang-up is seen before the key: it must not go
        // to a line that is no longer there.
        if (line_gone()) {
            read_held = true;
            return {0, input_end::line_hangup};
        }
    }
    read_held = false;
    const bool ended = !reader.ok || reader.count == 0 || reader.buffer[0] == CONSOLE_END;
    if (!ended) return {reader.count, input_end::none};
    // Ctrl-C ends the console's read with nothing read, like its end.
    if (reading_console() && wait_for_handle(nullptr, CTRL_C_GRACE_MS) == wait_outcome::stopped)
        return {0, input_end::stopped};
    return {0, input_end::end};
}

}  // namespace lumicord::front
