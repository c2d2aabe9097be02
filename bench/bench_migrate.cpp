// SPDX-License-Identifier: Apache-2.0
// Moving the large corpus table to PostgreSQL with pellinordb-sql --migrate
// beside the usual pipe, mdb-export into psql's COPY, both into the same
// table (made by the move: keys and indexes included), measured in one
// run. Not a test: it prints figures. Needs the server scripts/test-server
// starts.
//
//   bench_migrate [CORPUS_DIR]     (default: ../shared/testdata beside the repo)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/child_run.h"

namespace {

const char* kConnection =
    "Data Source=127.0.0.1,5432;Initial Catalog=pellinor_test;User ID=pellinor_test;Password=\"pell;in}=or\"";
const char* kPsql = "PGPASSWORD='pell;in}=or' psql -q -X -v ON_ERROR_STOP=1 -h 127.0.0.1 -U pellinor_test pellinor_test";
constexpr long kRows = 98969;

}  // namespace

int main(int argc, char** argv) {
    std::string corpus = argc > 1 ? argv[1] : PELLINORDB_TESTDATA;
    std::string file = corpus + "/large/big100k.mdb";
    if (std::system((std::string(kPsql) + " -c 'SELECT 1' >/dev/null 2>&1").c_str()) != 0) {
        std::fprintf(stderr, "bench_migrate: the test server does not answer; run scripts/test-server\n");
        return 1;
    }
    const int times = 3;
    ChildRun ours = medianRun({PELLINORDB_SQL_TOOL, file, "--migrate", "postgresql", kConnection, "--drop-existing"}, times);
    std::string pipe = std::string(kPsql) + " -c 'TRUNCATE \"BigTable\"' && mdb-export -H -T '%Y-%m-%d %H:%M:%S' '" +
                       file + "' BigTable | " + kPsql + " -c '\\copy \"BigTable\" FROM STDIN WITH (FORMAT csv)'";
    ChildRun peer = medianRun({"bash", "-c", pipe}, times);
    std::printf("BigTable, %ld rows, to PostgreSQL (median of %d runs)\n", kRows, times);
    std::printf("  pellinordb-sql --migrate  %9.0f rows/s  %7.3f s  peak %6ld KB\n", kRows / ours.seconds, ours.seconds,
                ours.peak_kb);
    std::printf("  mdb-export | psql COPY    %9.0f rows/s  %7.3f s  peak %6ld KB (largest process)\n",
                kRows / peer.seconds, peer.seconds, peer.peak_kb);
    std::printf("  throughput ratio (--migrate / pipe): %.2f\n", peer.seconds / ours.seconds);
    std::system((std::string(kPsql) + " -c 'DROP TABLE IF EXISTS \"BigTable\"'").c_str());
    return 0;
}
