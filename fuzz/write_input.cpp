// SPDX-License-Identifier: Apache-2.0
#include "write_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/table_writer.h"

namespace {

// `values` with whole numbers moved by `by` and texts lengthened, so that
// the copy has keys of its own in unique indexes and lands elsewhere in
// every index.
std::vector<jet::Value> shifted(std::vector<jet::Value> values, int32_t by) {
    for (jet::Value& v : values) {
        if (v.is<int32_t>()) v = int32_t(uint32_t(v.as<int32_t>()) + uint32_t(by));
        else if (v.is<int16_t>()) v = int16_t(v.as<int16_t>() ^ int16_t(by));
        else if (v.is<std::string>()) v = v.as<std::string>() + char('a' + by % 26);
    }
    return values;
}

template <typename Change>
void tryChange(jet::Database& db, Change change) {
    try {
        jet::inTransaction(db, change);
    } catch (const jet::Error&) {
    }
}

void changeTable(jet::Database& db, const std::string& name) {
    std::vector<jet::RowId> ids;
    std::vector<std::vector<jet::Value>> rows;
    jet::TableScan scan(db, db.table(name));
    while (rows.size() < 2 && scan.next()) {
        ids.push_back(scan.rowId());
        scan.read(rows.emplace_back());
    }
    if (rows.empty()) return;
    tryChange(db, [&] { jet::TableWriter(db, name).insert(shifted(rows[0], 7919)); });
    if (rows.size() > 1) tryChange(db, [&] { jet::TableWriter(db, name).update(ids[1], shifted(rows[0], 7927)); });
    tryChange(db, [&] { jet::TableWriter(db, name).remove(ids[0]); });
}

}  // namespace

void writeAsDatabase(const uint8_t* data, size_t size) {
    // A real file in memory: the journal goes beside it.
    std::string path = "/dev/shm/pellinordb-fuzz-" + std::to_string(getpid()) + ".mdb";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return;
    for (size_t done = 0; done < size;) {
        ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    close(fd);
    try {
        jet::Database db(path, "");
        std::vector<std::string> tables = db.userTables();
        for (size_t i = 0; i < tables.size() && i < 4; ++i) {
            try {
                changeTable(db, tables[i]);
            } catch (const jet::Error&) {
                // one damaged table; the others are still changed
            }
        }
    } catch (const jet::Error&) {
    }
    unlink(path.c_str());
    unlink((path + "-journal").c_str());
}
