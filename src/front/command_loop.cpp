#include "front/command_loop.h"

#include <cstdio>

#include "files/picture_files.h"
#include "front/console.h"
#include "front/download.h"
#include "front/goodbye.h"
#include "front/keys.h"
#include "front/line_return.h"
#include "front/picture_list.h"
#include "front/saving.h"
#include "link/camera.h"
#include "link/line.h"

namespace lumicord::front {

namespace {

// Set by the first download command that finds an existing picture file;
// the converter starts there.
files::picture_number first_new_number = -1;

int fold_key(int c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

void show_prompt() { std::fputs("\n: ", stdout); }

void run_operation(int (*operation)()) {
    const int result = operation();
    if (result != camlink::RES_OK)
        report_result(result);
    else
        show_status(false);
}

void download_and_exit() {
    const download_outcome outcome = download_pictures(1, false, first_new_number);
    goodbye_if_interrupted();
    // The command file depends only on the files saved, so it is written
    // before the wait for a lost line, which may end the program.
    const bool finished = outcome != download_outcome::status_failed;
    if (finished && first_new_number >= 1) files::write_converter_file(first_new_number);
    // Camera and port go back as they were before the goodbye, if they can.
    bring_line_back();
    // A failed status exchange leaves the user at the prompt to try again.
    if (!finished) return;
    say_goodbye(outcome == download_outcome::all_saved ? 0 : 1);
}

}  // namespace

void run_command_loop() {
    show_prompt();
    for (;;) {
        std::fflush(stdout);
        const int c = read_key();
        // No more keys can come (or the user interrupted): leave as "Q" does.
        if (c == EOF) say_goodbye(0);
        if (c == KEY_LINE_HANGUP) {
            // Unplugged while nobody was using it: the next key will work.
            if (camlink::line_hung_up() && bring_line_back()) show_prompt();
            continue;
        }
        const int key = fold_key(c);
        switch (key) {
            case '\0':
            case '\r':
            case ' ':
                break;
            case '\n':
                show_prompt();
                break;
            case '1': case '2': case '3': case '4':
            case '5': case '6': case '7': case '8':
                download_pictures(key - '0', true, first_new_number);
                break;
            case 'D':
                download_pictures(1, false, first_new_number);
                break;
            case 'X':
                download_and_exit();
                break;
            case 'E':
                run_operation(camlink::erase_memory);
                break;
            case 'P':
                run_operation(camlink::snap_picture);
                break;
            case 'Q':
                say_goodbye(0);
            case 'R':
                run_operation(camlink::switch_resolution);
                break;
            case 'S':
                show_picture_list();
                break;
            case 'T':
                save_thumbnails();
                break;
            default:
                show_menu();
                break;
        }
        goodbye_if_interrupted();
        // The command that failed on a lost line is not repeated: the user
        // decides what to do once the line is back.
        bring_line_back();
    }
}

}  // namespace lumicord::front
