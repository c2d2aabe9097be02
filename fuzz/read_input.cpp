// SPDX-License-Identifier: Apache-2.0
#include "read_input.h"

#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "ado/value_text.h"
#include "jet/database.h"

bool readAsDatabase(const uint8_t* data, size_t size, const std::string& password) {
    int fd = memfd_create("fuzz.mdb", 0);
    if (fd < 0) return true;
    bool accepted = true;
    for (size_t done = 0; done < size;) {
        ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    try {
        jet::Database db(path, password);
        for (const jet::CatalogEntry& e : db.catalog()) {
            if (!e.isTable()) continue;
            try {
                const jet::TableDef& t = db.table(e.name);
                jet::TableScan scan(db, t);
                std::vector<jet::Value> values;
                for (int rows = 0; rows < 100000 && scan.next(); ++rows) {
                    scan.read(values);
                    for (const jet::Value& v : values) (void)ado::toText(v, '.');
                }
            } catch (const jet::Error&) {
                // one damaged table; the others are still read
            }
        }
    } catch (const jet::Error& e) {
        accepted = e.number() != jet::kErrBadPassword;
    }
    close(fd);
    return accepted;
}
