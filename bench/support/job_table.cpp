// SPDX-License-Identifier: Apache-2.0
#include "job_table.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "jet/database.h"
#include "jet/table_writer.h"

void FillJobTable(const std::string& path, long rows) {
    jet::Database db(path, "");
    db.begin();
    {
        jet::TableWriter w(db, "jobDB1");
        static const char* departments[] = {"North", "South", "East", "West", "Yard"};
        for (long i = 1; i <= rows; ++i) {
            std::vector<jet::Value> v(w.table().columns.size());
            v[0] = int32_t(i);
            v[1] = int32_t(i % 1000);
            v[2] = double(i) / 4;
            v[3] = std::string("job number ") + std::to_string(i);
            v[6] = std::string(departments[i % 5]);
            w.insert(std::move(v));
        }
    }
    db.commit();
}

std::string CopyJobSource(const std::string& corpus, const std::string& program, std::string& dir) {
    std::string source = corpus + "/mdb/testPromotionV2000.mdb";
    if (access(source.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "%s: %s not found; pass the corpus folder\n", program.c_str(), source.c_str());
        return "";
    }
    dir = std::filesystem::temp_directory_path() / (program + "." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string path = dir + "/jobs.mdb";
    std::filesystem::copy_file(source, path);
    return path;
}
