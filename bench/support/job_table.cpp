#include "job_table.h"

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
