// SPDX-License-Identifier: Apache-2.0
// What the exclusion of reads and commits costs a read: an outermost read
// (the readers' lock taken and dropped, the journal's path and the file's
// length and time looked at), alone and with a writer open beside it
// (whose kept journal makes a read ask whether the writer lives), and a
// read nested in another (a row of a bunch), which costs a counter. Not a
// test: it prints microseconds per read.
//
//   bench_read_lock [CORPUS_DIR] [READS]   (defaults: ../shared/testdata, 200000)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "jet/database.h"

namespace {

double microsPerRead(jet::Database& db, int reads, bool nested) {
    jet::Reading outer(db);
    if (!nested) db.endRead();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < reads; ++i) jet::Reading reading(db);
    double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    if (!nested) db.beginRead();
    return us / reads;
}

}  // namespace

int main(int argc, char** argv) {
    std::string corpus = argc > 1 ? argv[1] : PELLINORDB_TESTDATA;
    int reads = argc > 2 ? std::atoi(argv[2]) : 200000;
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("bench-read-lock-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string path = (dir / "testV2000.mdb").string();
    fs::copy_file(fs::path(corpus) / "mdb" / "testV2000.mdb", path);

    jet::Database db(path, "");
    std::printf("read alone:              %6.2f us\n", microsPerRead(db, reads, false));
    std::printf("read nested in a read:   %6.2f us\n", microsPerRead(db, reads, true));

    int ready[2];
    if (pipe(ready) != 0) return 1;
    pid_t writer = fork();
    if (writer == 0) {
        jet::Database w(path, "");
        jet::Pager& p = w.writablePager();
        p.begin();
        std::memcpy(p.modify(1), p.page(1).data(), p.pageSize());  // an unchanged page: makes the journal
        p.commit();
        char c = 1;
        if (write(ready[1], &c, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    char c;
    if (read(ready[0], &c, 1) != 1) return 1;
    std::printf("read beside a writer:    %6.2f us\n", microsPerRead(db, reads, false));
    kill(writer, SIGTERM);
    waitpid(writer, nullptr, 0);
    fs::remove_all(dir);
}
