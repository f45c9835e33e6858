// The least that any memory monitor has to do per refresh, as a program of its own:
// cost.sh runs it beside Plenwick and top and compares their CPU time per refresh.
//
//   procreader [interval-ms [snapshots]]      (1000 ms, until killed)
//
// Each snapshot is one read of the bare reader (barereader.h), of at most 1024
// identifiers as the scan takes them.
#include "barereader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

int main(int argc, char **argv)
{
    const long interval = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
    const long count = argc > 2 ? std::strtol(argv[2], nullptr, 10) : -1;
    if (interval < 0 || argc > 3) {
        std::fprintf(stderr, "usage: procreader [interval-ms [snapshots]]\n");
        return 2;
    }
    plenwick::bench::BareProcReader reader;
    volatile unsigned long long sink = 0;
    for (long i = 0; count < 0 || i < count; ++i) {
        sink = sink + reader.read(1024).sum;
        timespec pause{interval / 1000, (interval % 1000) * 1000000};
        while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }
    return 0;
}
