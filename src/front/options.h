// The command-line settings.
#pragma once

#include <cstdio>

namespace lumicord::front {

struct options_record {
    int port = 1;                 // -C
    const char* device = nullptr; // -C with a value naming a device (see names_device): the device itself
    long baud = 9600;             // -B, as given, even when the line cannot run at it
    int search_top = 100;         // -N
    int video_count = 0;          // -V; 0 = interactive
};
extern options_record options;

// Fills options from the arguments, scanning from the last to the first so
// that the leftmost of two equal options wins. A help request (-h, -H, -?
// or --help) prints the banner and the closing notice and exits with status
// 0; --version prints "lumicord <version>" and --ports lists the serial
// ports, each exiting with status 0. They act where the scan meets them, so
// options to their right are in effect.
void read_options(int argc, char** argv);

// The serial device the options choose: the path given with -C, or the
// device of the port number.
const char* chosen_device();

// For every option that takes a value (-B, -C, -N, -V) written alone and
// followed by a word that does not begin with "-", one line to the stream
// saying that the separate word is ignored, which a user would not guess,
// and naming the one-word form where joining gives what was meant: a
// number, a device named as -C takes it (a path from /; on Windows a port's
// name), or for -C a name found below /dev or from the working directory,
// given as its full path. Returns the number of lines written.
int hint_separate_values(int argc, char** argv, std::FILE* to);

// atoi and atol as the C library reads them, but a value beyond the type's
// range saturates instead of being undefined.
int read_int(const char* text);
long read_long(const char* text);

}  // namespace lumicord::front
