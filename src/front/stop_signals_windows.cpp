#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "front/stop_signals.h"
#include "front/stop_waits_windows.h"
#include "link/line.h"
#include "link/stop_request.h"

namespace lumicord::front {

namespace {

// The status of a program that Ctrl-C ended (STATUS_CTRL_C_EXIT_STATUS).
constexpr UINT CTRL_C_EXIT_STATUS = 0xC000013AU;
// Windows ends a process this long after its console window was closed;
// the goodbye gets most of it, the device the rest.
constexpr DWORD CLOSE_GOODBYE_MS = 4000;

// The console's control handler runs on a thread of its own, beside the
// program: atomics, and an event for the waits it cuts short.
std::atomic<int> pending_signal{0};
std::atomic<bool> saying_goodbye{false};
HANDLE stop_event = nullptr;     // set by a stop, never reset: the program ends after it
HANDLE goodbye_done = nullptr;   // set when the goodbye has put everything back

int signal_for(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return SIGINT;
        case CTRL_BREAK_EVENT:
            return SIGBREAK;
        default:
            return SIGTERM;  // the window closed, the user logged off, the system shuts down
    }
}

[[noreturn]] void end_now() {
    // From the handler's thread: no run-time library clean-up, which could
    // wait for a lock the program's thread holds.
    TerminateProcess(GetCurrentProcess(), CTRL_C_EXIT_STATUS);
    ExitProcess(CTRL_C_EXIT_STATUS);
}

BOOL WINAPI on_console_event(DWORD event) {
    const bool closing = event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT;
    if (saying_goodbye) {
        // A user who sees the program stopping and insists: put the device
        // back and go, without waiting for the camera. Safe beside the
        // goodbye only because nothing opens the line again once it has
        // begun; the line keeps its own flag against a change in progress.
        if (!closing) {
            camlink::restore_device();
            end_now();
        }
    } else {
        pending_signal = signal_for(event);
        camlink::request_stop();
        if (stop_event != nullptr) SetEvent(stop_event);
    }
    if (!closing) return TRUE;
    // The window goes (or the session ends) when this handler returns: wait
    // for the goodbye, whose exit ends the process, and after the time
    // Windows allows put the device back here.
    if (goodbye_done != nullptr) WaitForSingleObject(goodbye_done, CLOSE_GOODBYE_MS);
    camlink::restore_device();
    end_now();
}

}  // namespace

void install_stop_handlers() {
    stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    goodbye_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

int stop_signal() { return pending_signal; }

wait_outcome wait_for_handle(HANDLE handle, DWORD timeout_ms) {
    if (pending_signal != 0) return wait_outcome::stopped;
    const HANDLE both[2] = {stop_event, handle};
    const DWORD count = handle != nullptr ? 2 : 1;
    if (stop_event == nullptr) {
        if (handle == nullptr) {
            Sleep(timeout_ms);
            return wait_outcome::timed_out;
        }
        return WaitForSingleObject(handle, timeout_ms) == WAIT_OBJECT_0 ? wait_outcome::ready : wait_outcome::timed_out;
    }
    const DWORD woken = WaitForMultipleObjects(count, both, FALSE, timeout_ms);
    if (woken == WAIT_OBJECT_0 || pending_signal != 0) return wait_outcome::stopped;
    if (woken == WAIT_OBJECT_0 + 1) return wait_outcome::ready;
    return wait_outcome::timed_out;
}

wait_outcome wait_for(int, int, int timeout_ms) {
    return wait_for_handle(nullptr, timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms));
}

int begin_goodbye() {
    // In this order, so that a stop arriving at any point is either returned
    // here or ends the process in the handler; none is lost.
    saying_goodbye = true;
    const int signal_number = pending_signal.exchange(0);
    camlink::withdraw_stop();
    return signal_number;
}

void end_by_signal(int) {
    if (goodbye_done != nullptr) SetEvent(goodbye_done);
    ExitProcess(CTRL_C_EXIT_STATUS);
}

}  // namespace lumicord::front
