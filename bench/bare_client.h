// The least any program can do on this machine: a child process that
// fetches one picture through the same paced camera and pseudo-terminal with
// nothing but the protocol's reads, writes and pause, the way the program
// reads a block. Its wall time against the line minimum, and its processor
// time, are the floor under the program's figures here.
#pragma once

namespace lumicord::bench {

struct bare_result {
    double wall = 0;           // GET_PICTURE's pause to the completion byte
    double line_minimum = 0;   // for the same stretch
    double cpu = 0;            // user + system of the whole child
    double child_wall = 0;     // the whole child, for the CPU share
    long reads = 0;
    bool ok = false;
};

bare_result run_bare_client(long baud, bool low_res, int latency_us);

}  // namespace lumicord::bench
