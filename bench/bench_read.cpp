// SPDX-License-Identifier: Apache-2.0
// Read throughput and memory of pellinordb-sql beside mdb-export (mdbtools)
// on the same tables, measured in one run. Not a test: it prints figures.
//
//   bench_read [CORPUS_DIR]     (default: ../shared/testdata beside the repo)
//
// Each command runs several times with its output thrown away; the median
// wall time gives rows per second, wait4 gives each child's peak resident
// memory. A small table is measured too, to show that memory does not grow
// with the size of the table read. The big table is also read from an
// agile-encrypted file (AES-256, SHA-512): the corpus's encrypted .accdb with
// the big table's rows written into it by the engine, beside the plain file.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "jet/database.h"
#include "jet/table_ddl.h"
#include "jet/table_writer.h"
#include "support/child_run.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kEncryptedSeed = "db2013-enc.accdb";
constexpr const char* kEncryptedPassword = "1234";

ChildRun compare(const std::string& tool, const std::string& file, const std::string& table, long rows, int times) {
    ChildRun ours = medianRun({tool, file, "SELECT * FROM [" + table + "]"}, times);
    ChildRun peer = medianRun({"mdb-export", file, table}, times);
    std::printf("%s, %ld rows (median of %d runs)\n", table.c_str(), rows, times);
    std::printf("  pellinordb-sql  %10.0f rows/s  %7.3f s  peak %6ld KB\n", rows / ours.seconds, ours.seconds, ours.peak_kb);
    std::printf("  mdb-export      %10.0f rows/s  %7.3f s  peak %6ld KB\n", rows / peer.seconds, peer.seconds, peer.peak_kb);
    std::printf("  throughput ratio (pellinordb-sql / mdb-export): %.2f\n", peer.seconds / ours.seconds);
    return ours;
}

// A copy of the encrypted seed in `dir` holding `table` of `source`, row for
// row, written through the page codec like any edit.
std::string encryptedCopy(const std::string& corpus, const std::string& source, const std::string& table,
                          const std::string& dir) {
    std::string path = dir + "/" + kEncryptedSeed;
    fs::copy_file(corpus + "/mdb/" + kEncryptedSeed, path);
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    jet::Database from(source, "");
    jet::Database to(path, kEncryptedPassword);
    to.begin();
    jet::createTable(to, table, jet::newColumnsLike(from.table(table)));
    to.commit();
    to.begin();
    {
        jet::TableWriter w(to, table);
        jet::TableScan scan(from, from.table(table));
        std::vector<jet::Value> row;
        while (scan.next()) {
            scan.read(row);
            w.insert(row);
        }
    }
    to.commit();
    return path;
}

void compareEncrypted(const std::string& tool, const std::string& file, const std::string& table, long rows,
                      int times, const ChildRun& plain) {
    ChildRun ours = medianRun({tool, file, "SELECT * FROM [" + table + "]", "--password", kEncryptedPassword}, times);
    std::printf("%s, %ld rows, agile-encrypted copy written by the engine (median of %d runs)\n", table.c_str(), rows,
                times);
    std::printf("  plain file      %10.0f rows/s  %7.3f s  peak %6ld KB\n", rows / plain.seconds, plain.seconds, plain.peak_kb);
    std::printf("  encrypted file  %10.0f rows/s  %7.3f s  peak %6ld KB\n", rows / ours.seconds, ours.seconds, ours.peak_kb);
    std::printf("  throughput ratio (encrypted / plain): %.2f\n", plain.seconds / ours.seconds);
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
    ChildRun plain = compare(tool, big, "BigTable", 98969, 5);
    compare(tool, corpus + "/mdb/compIndexTestV2000.mdb", "Table1", 512, 5);

    std::string scratch = (fs::temp_directory_path() / "pellinordb-bench-XXXXXX").string();
    if (!mkdtemp(scratch.data())) {
        std::perror("bench_read: mkdtemp");
        return 1;
    }
    try {
        compareEncrypted(tool, encryptedCopy(corpus, big, "BigTable", scratch), "BigTable", 98969, 5, plain);
    } catch (const jet::Error& e) {
        std::fprintf(stderr, "bench_read: the encrypted copy could not be made: %s\n", e.what());
    }
    fs::remove_all(scratch);
    return 0;
}
