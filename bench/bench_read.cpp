// Read throughput and memory of pellinordb-sql beside mdb-export (mdbtools)
// on the same tables, measured in one run. Not a test: it prints figures.
//
//   bench_read [CORPUS_DIR]     (default: ../shared/testdata beside the repo)
//
// Each command runs several times with its output thrown away; the median
// wall time gives rows per second, wait4 gives each child's peak resident
// memory. A small table is measured too, to show that memory does not grow
// with the size of the table read.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/child_run.h"

namespace {

void compare(const std::string& tool, const std::string& file, const std::string& table, long rows, int times) {
    ChildRun ours = medianRun({tool, file, "SELECT * FROM [" + table + "]"}, times);
    ChildRun peer = medianRun({"mdb-export", file, table}, times);
    std::printf("%s, %ld rows (median of %d runs)\n", table.c_str(), rows, times);
    std::printf("  pellinordb-sql  %10.0f rows/s  %7.3f s  peak %6ld KB\n", rows / ours.seconds, ours.seconds, ours.peak_kb);
    std::printf("  mdb-export      %10.0f rows/s  %7.3f s  peak %6ld KB\n", rows / peer.seconds, peer.seconds, peer.peak_kb);
    std::printf("  throughput ratio (pellinordb-sql / mdb-export): %.2f\n", peer.seconds / ours.seconds);
}

}  // namespace

int main(int argc, char** argv) {
    std::string self = argv[0];
    std::string dir = self.substr(0, self.rfind('/') + 1);
    std::string corpus = argc > 1 ? argv[1] : std::string(PELLINORDB_TESTDATA);
    std::string tool = dir + "../tools/pellinordb-sql";
    std::string big = corpus + "/large/big100k.mdb";
    if (access(big.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "bench_read: %s not found; pass the corpus folder\n", big.c_str());
        return 1;
    }
    if (system("command -v mdb-export >/dev/null") != 0) {
        std::fprintf(stderr, "bench_read: mdb-export (mdbtools) is not installed\n");
        return 1;
    }
    compare(tool, big, "BigTable", 98969, 5);
    compare(tool, corpus + "/mdb/compIndexTestV2000.mdb", "Table1", 512, 5);
    return 0;
}
