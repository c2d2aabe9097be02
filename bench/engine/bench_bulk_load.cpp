// SPDX-License-Identifier: Apache-2.0
// Memory of one large write transaction: ROWS rows of the benchmarks' ten
// columns loaded, in one transaction, into a new table keyed on its Long ID
// in a copy of testPromotionV2000.mdb. Prints the rows per second, the file
// it made and the process's peak resident memory, which should not grow
// with the transaction. Not a test: one load per run, so that the peak is
// this load's alone.
//
//   bench_bulk_load [CORPUS_DIR] [ROWS]   (defaults: ../shared/testdata, 1580000)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "jet/error.h"
#include "support/bench_table.h"
#include "support/job_table.h"

int main(int argc, char** argv) {
    std::string corpus = argc > 1 ? argv[1] : std::string(PELLINORDB_TESTDATA);
    long rows = argc > 2 ? std::atol(argv[2]) : 1580000;
    std::string dir;
    std::string path = CopyJobSource(corpus, "bench_bulk_load", dir);
    if (path.empty()) return 1;
    try {
        auto start = std::chrono::steady_clock::now();
        MakeOrders(path, "Orders", "ID", rows);
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%ld rows, primary key ID, one transaction: %.0f rows/s, %.3f s\n", rows, rows / s, s);
        std::printf("  file %.1f MB, peak memory %ld KB\n", double(std::filesystem::file_size(path)) / 1e6,
                    usage.ru_maxrss);
    } catch (const jet::Error& e) {
        std::fprintf(stderr, "bench_bulk_load: %s\n", e.what());
        std::filesystem::remove_all(dir);
        return 1;
    }
    std::filesystem::remove_all(dir);
    return 0;
}
