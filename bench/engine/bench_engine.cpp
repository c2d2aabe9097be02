// SPDX-License-Identifier: Apache-2.0
// The engine's own write path on a table of a million rows, in one run:
// insert throughput with the Long primary key, beside the same load into a
// table without an index and into one keyed on a text column, and a load
// into a table that refers to it by an enforced relationship (each in a
// copy of its own of the same file); one update at the first and at the
// last row (each in its own flushed transaction, found by row key), a full
// read beside mdb-export of the same table, and the file size beside the
// rows' raw size. Not a test: it prints figures, ratios and peak memory.
//
//   bench_engine [CORPUS_DIR] [ROWS]   (defaults: ../shared/testdata, 1000000)
//
// The table (support/bench_table.h): ten columns with a Long primary key,
// created and filled by the engine in a copy of testPromotionV2000.mdb; the
// output says when the engine refused the key or the table and what stood
// in. Beside the update: one bare flush of a page in the same folder, what
// each of a commit's three flushes costs on this disk at this moment.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/relationships.h"
#include "jet/table_ddl.h"
#include "jet/table_writer.h"
#include "support/child_run.h"
#include "support/bench_table.h"
#include "support/flush_probe.h"
#include "support/job_table.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long peakKb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Bytes a value takes with no framing: text as its characters.
size_t rawSize(const jet::Value& v) {
    return std::visit(
        [](const auto& x) -> size_t {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>) return 0;
            else if constexpr (std::is_same_v<T, std::string>) return x.size();
            else if constexpr (std::is_same_v<T, jet::Binary>) return x.size();
            else return sizeof(T);
        },
        v.storage());
}

struct Row {
    jet::RowId id;
    std::vector<jet::Value> values;
};

// Median milliseconds of changing one number of `row`, one transaction each.
double updateMs(const std::string& path, const BenchTable& t, Row row, int times) {
    jet::Database db(path, "");
    std::vector<double> ms;
    for (int i = 0; i < times; ++i) {
        row.values[t.number_column] = int32_t(7000 + i);
        auto start = Clock::now();
        db.begin();
        jet::TableWriter(db, t.name).update(row.id, row.values);
        db.commit();
        ms.push_back(since(start) * 1000);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Seconds to load `rows` rows, in one transaction, into a new table keyed
// on `key` ("" for none) in a copy of `path`, which goes again after.
double loadSeconds(const std::string& path, const std::string& key, long rows) {
    std::string copy = path + ".load";
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    auto start = Clock::now();
    MakeOrders(copy, "Orders", key, rows);
    double s = since(start);
    std::filesystem::remove(copy);
    return s;
}

// Seconds to load `rows` rows into a new table Lines, keyed on its ID, in a
// copy of `path`, whose OrderID refers to one of the `orders` rows of
// Orders by an enforced relationship: every insert looks its order up first.
double referringLoadSeconds(const std::string& path, long rows, long orders) {
    std::string copy = path + ".lines";
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    double s = 0;
    {
        jet::Database db(copy, "");
        jet::inTransaction(db, [&] {
            std::vector<jet::NewColumn> columns = {{"ID", jet::kLong}, {"OrderID", jet::kLong}, {"Quantity", jet::kLong}};
            columns[0].primary_key = true;
            jet::createTable(db, "Lines", columns);
            jet::TableWriter w(db, "MSysRelationships");
            std::vector<jet::Value> row(w.table().columns.size());
            auto set = [&](const char* column, jet::Value v) { row[size_t(w.table().findColumn(column))] = std::move(v); };
            set("ccolumn", int32_t(1)), set("icolumn", int32_t(0)), set("grbit", int32_t(0));
            set("szRelationship", std::string("OrdersLines"));
            set("szObject", std::string("Lines")), set("szColumn", std::string("OrderID"));
            set("szReferencedObject", std::string("Orders")), set("szReferencedColumn", std::string("ID"));
            w.insert(row);
        });
        auto start = Clock::now();
        jet::inTransaction(db, [&] {
            jet::TableWriter w(db, "Lines");
            for (long i = 1; i <= rows; ++i) w.insert({int32_t(i), int32_t((i * 7919) % orders + 1), int32_t(i % 10)});
        });
        s = since(start);
    }
    std::filesystem::remove(copy);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    std::string corpus = argc > 1 ? argv[1] : std::string(PELLINORDB_TESTDATA);
    long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
    if (system("command -v mdb-export >/dev/null") != 0) {
        std::fprintf(stderr, "bench_engine: mdb-export (mdbtools) is not installed\n");
        return 1;
    }
    std::string dir;
    std::string path = CopyJobSource(corpus, "bench_engine", dir);
    if (path.empty()) return 1;
    try {
        double bare = loadSeconds(path, "", rows);
        double by_text = loadSeconds(path, "Customer", rows);
        auto start = Clock::now();
        BenchTable t = MakeBenchTable(path, rows);
        double insert = since(start);
        std::printf("%s, %ld rows\n", t.how.c_str(), rows);
        std::printf("  insert       %10.0f rows/s  %7.3f s (one transaction%s)\n", rows / insert, insert,
                    t.primary_key ? ", the key's index kept" : "");
        std::printf("  no index     %10.0f rows/s  %7.3f s (the same load, no key); keyed / bare: %.2f\n",
                    rows / bare, bare, insert / bare);
        std::printf("  text key     %10.0f rows/s  %7.3f s (the same load, primary key on Customer, Text(40))\n",
                    rows / by_text, by_text);
        if (t.primary_key) {
            long lines = std::min(rows, 100000L);
            double referring = referringLoadSeconds(path, lines, rows);
            std::printf("  referring    %10.0f rows/s  %7.3f s (%ld rows of three Longs, keyed, each row's order looked "
                        "up by the relationship's check)\n",
                        lines / referring, referring, lines);
        }

        // One scan: the read figure, the raw size, and the row keys of the
        // first and last rows, as the windows keep them.
        Row first, last;
        size_t raw = 0;
        long seen = 0;
        size_t columns = 0;
        start = Clock::now();
        {
            jet::Database db(path, "");
            const jet::TableDef& table = db.table(t.name);
            columns = table.columns.size();
            jet::TableScan scan(db, table);
            std::vector<jet::Value> values;
            while (scan.next()) {
                scan.read(values);
                for (const auto& v : values) raw += rawSize(v);
                if (seen == 0) first = {scan.rowId(), values};
                ++seen;
                if (seen == rows) last = {scan.rowId(), values};
            }
        }
        double read = since(start);
        if (seen != rows) {
            std::fprintf(stderr, "bench_engine: read %ld rows, expected %ld\n", seen, rows);
            return 1;
        }
        ChildRun peer = medianRun({"mdb-export", path, t.name}, 3);
        std::printf("  full read    %10.0f rows/s  %7.3f s (engine scan, %zu columns)\n", rows / read, read, columns);
        std::printf("  mdb-export   %10.0f rows/s  %7.3f s (median of 3, peak %ld KB)\n", rows / peer.seconds,
                    peer.seconds, peer.peak_kb);
        std::printf("  read ratio (engine / mdb-export): %.2f\n", peer.seconds / read);

        const int times = 9;
        double at_first = updateMs(path, t, first, times);
        double at_last = updateMs(path, t, last, times);
        double flush = flushMs(dir, times);
        std::printf("  update at row 1:        %7.3f ms (median of %d, own transaction, flushed)\n", at_first, times);
        std::printf("  update at row %ld:  %7.3f ms  (goal: equal, under 5 ms)\n", rows, at_last);
        std::printf("  update ratio (last / first): %.2f\n", at_last / at_first);
        std::printf("  one bare page flush here:   %7.3f ms; update / three flushes: %.2f\n", flush,
                    flush > 0 ? at_last / (3 * flush) : 0.0);

        double size = double(std::filesystem::file_size(path));
        std::printf("  file %.1f MB, rows' raw size %.1f MB, ratio %.2f\n", size / 1e6, raw / 1e6, size / raw);
        std::printf("  peak memory %ld KB\n", peakKb());
    } catch (const jet::Error& e) {
        std::fprintf(stderr, "bench_engine: %s\n", e.what());
        std::filesystem::remove_all(dir);
        return 1;
    }
    std::filesystem::remove_all(dir);
    return 0;
}
