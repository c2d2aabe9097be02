// SPDX-License-Identifier: Apache-2.0
// Memory of one large write transaction: ROWS rows of the benchmarks' ten
// columns loaded, in one transaction, into a new table keyed on its Long ID
// in a copy of testPromotionV2000.mdb. Prints the rows per second, the file
// it made and the process's peak resident memory, which should not grow
// with the transaction. Not a test: one load per run, so that the peak is
// this load's alone.
//
// With `update`, the load runs in a child and this process then changes
// every row's Quantity in one transaction, so that every data page is
// rewritten and its original image journaled: the peak printed is the
// update's, which should not grow with the table either.
//
//   bench_bulk_load [CORPUS_DIR] [ROWS] [update]   (defaults: ../shared/testdata, 1580000)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/table_writer.h"
#include "support/bench_table.h"
#include "support/job_table.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakKb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// In place: Quantity is a Long, so no row moves and the scan stays valid.
long updateEveryRow(const std::string& path) {
    jet::Database db(path, "");
    db.begin();
    jet::TableWriter w(db, "Orders");
    jet::TableScan scan(db, w.table());
    std::vector<jet::Value> values;
    long rows = 0;
    while (scan.next()) {
        scan.read(values);
        values[2] = values[2].as<int32_t>() + 1;
        w.update(scan.rowId(), values);
        ++rows;
    }
    db.commit();
    return rows;
}

// The load, in a child when its peak is not the one to measure.
bool load(const std::string& path, long rows, bool in_child) {
    pid_t child = in_child ? fork() : 0;
    if (child > 0) {
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    try {
        auto start = std::chrono::steady_clock::now();
        MakeOrders(path, "Orders", "ID", rows);
        double s = secondsSince(start);
        std::printf("%ld rows, primary key ID, one transaction: %.0f rows/s, %.3f s\n", rows, rows / s, s);
        std::printf("  file %.1f MB, peak memory %ld KB\n", double(std::filesystem::file_size(path)) / 1e6, peakKb());
    } catch (const jet::Error& e) {
        std::fprintf(stderr, "bench_bulk_load: %s\n", e.what());
        if (in_child) _exit(1);
        return false;
    }
    std::fflush(stdout);
    if (in_child) _exit(0);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string corpus = argc > 1 ? argv[1] : std::string(PELLINORDB_TESTDATA);
    long rows = argc > 2 ? std::atol(argv[2]) : 1580000;
    bool update = argc > 3 && std::string(argv[3]) == "update";
    std::string dir;
    std::string path = CopyJobSource(corpus, "bench_bulk_load", dir);
    if (path.empty()) return 1;
    bool ok = load(path, rows, update);
    if (ok && update) {
        try {
            auto start = std::chrono::steady_clock::now();
            long changed = updateEveryRow(path);
            double s = secondsSince(start);
            std::printf("%ld rows updated, one transaction: %.0f rows/s, %.3f s\n", changed, changed / s, s);
            std::printf("  peak memory %ld KB\n", peakKb());
        } catch (const jet::Error& e) {
            std::fprintf(stderr, "bench_bulk_load: %s\n", e.what());
            ok = false;
        }
    }
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
