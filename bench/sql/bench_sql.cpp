// SQL over a table of a million rows, beside a plain full read of the same
// table in the same run. Not a test: it prints figures and ratios.
//
//   bench_sql [CORPUS_DIR] [ROWS]   (defaults: ../shared/testdata, 1000000)
//
// The table is made with the engine: the empty, index-free table jobDB1 of
// a copy of testPromotionV2000.mdb gets ROWS rows in one transaction.
// Figures: a lookup by row key (the engine's own key), a WHERE on the
// numbered column (no index: the engine cannot yet keep one up to date), a
// WHERE on another column and a GROUP BY against the full read, and a
// positioned update at the last row through Move, with the open it needs.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "ado/connection.h"
#include "ado/error.h"
#include "ado/recordset.h"
#include "support/job_table.h"

namespace {

double seconds(const std::function<void()>& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of `times` runs, to keep the machine's other work out.
double best(int times, const std::function<void()>& f) {
    double b = 1e9;
    for (int i = 0; i < times; ++i) b = std::min(b, seconds(f));
    return b;
}

long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Opens `statement` and reads every value of every row.
long readAll(ado::Connection& cn, const std::string& statement, ado::CursorType cursor) {
    ado::Recordset rs;
    rs.Open(statement, cn, cursor, ado::adLockOptimistic, -1);
    long rows = 0;
    long fields = rs.GetFields().Count();
    while (!rs.Eof()) {
        for (long i = 0; i < fields; ++i) rs.GetFields()[i].GetValue();
        ++rows;
        rs.MoveNext();
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    std::string corpus = argc > 1 ? argv[1] : std::string(PELLINORDB_TESTDATA);
    long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
    std::string dir;
    std::string path = CopyJobSource(corpus, "bench_sql", dir);
    if (path.empty()) return 1;
    try {
        double made = seconds([&] { FillJobTable(path, rows); });
        std::printf("jobDB1: %ld rows made by the engine in %.2f s, file %.1f MB\n", rows, made,
                    double(std::filesystem::file_size(path)) / 1e6);

        ado::Connection cn;
        cn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Jet OLEDB:Database Password=");
        long kb_before = peakKb();
        double full = best(3, [&] { readAll(cn, "SELECT * FROM [jobDB1]", ado::adOpenForwardOnly); });
        double full_sql = best(3, [&] { readAll(cn, "SELECT ID, MainNumber, PhaseNumber, JobName, Department FROM jobDB1", ado::adOpenForwardOnly); });

        // The key of the last row, as a recordset hands it out.
        ado::Recordset keys;
        keys.Open("SELECT * FROM jobDB1", cn, ado::adOpenStatic, ado::adLockOptimistic, -1);
        keys.MoveLast();
        uint64_t last_key = keys.RowKey();
        keys.Close();
        double by_key = best(20, [&] {
            if (readAll(cn, "SELECT * FROM jobDB1 WHERE rowid = " + std::to_string(last_key), ado::adOpenStatic) != 1)
                std::abort();
        });
        double by_id = best(3, [&] { readAll(cn, "SELECT * FROM jobDB1 WHERE ID = " + std::to_string(rows), ado::adOpenStatic); });
        double where = best(3, [&] { readAll(cn, "SELECT * FROM jobDB1 WHERE Department = 'Yard' AND MainNumber < 10", ado::adOpenStatic); });
        double group = best(3, [&] {
            readAll(cn, "SELECT Department, count(*) AS n, sum(PhaseNumber) AS total FROM jobDB1 GROUP BY Department",
                    ado::adOpenStatic);
        });

        double open = 1e9, move = 1e9, update = 1e9;
        for (int i = 0; i < 3; ++i) {
            ado::Recordset rs;
            open = std::min(open, seconds([&] { rs.Open("SELECT * FROM jobDB1", cn, ado::adOpenDynamic, ado::adLockOptimistic, -1); }));
            move = std::min(move, seconds([&] {
                rs.Move(rows - 1);
                rs.GetFields()[3L].SetValue(std::string("changed at the end ") + std::to_string(i));
            }));
            update = std::min(update, seconds([&] { rs.Update(); }));
            rs.Close();
        }

        std::printf("full read, SELECT * (engine scan)       %9.3f s\n", full);
        std::printf("full read, SELECT of the columns (SQL)  %9.3f s   ratio to full read %.2f\n", full_sql, full_sql / full);
        std::printf("WHERE rowid = key (row key lookup)      %9.3f ms  (goal under 1 ms)\n", by_key * 1e3);
        std::printf("WHERE ID = n (no index: a scan)         %9.3f s   ratio to full read %.2f\n", by_id, by_id / full);
        std::printf("WHERE on two non-indexed columns        %9.3f s   ratio to full read %.2f (goal within 2)\n", where, where / full);
        std::printf("GROUP BY with count and sum             %9.3f s   ratio to full read %.2f (goal within 2)\n", group, group / full);
        std::printf("open of SELECT * for writing            %9.3f s   ratio to full read %.2f\n", open, open / full);
        std::printf("Move %ld and Field.Value               %9.3f ms  (goal under 5 ms with Update)\n", rows - 1, move * 1e3);
        std::printf("Update: one engine transaction, synced  %9.3f ms\n", update * 1e3);
        std::printf("peak memory: %ld KB after making the table, %ld KB at the end\n", kb_before, peakKb());
    } catch (const ado::Error& e) {
        std::fprintf(stderr, "bench_sql: error %ld: %s\n", e.number(), e.what());
        std::filesystem::remove_all(dir);
        return 1;
    }
    std::filesystem::remove_all(dir);
    return 0;
}
