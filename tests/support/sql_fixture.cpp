// SPDX-License-Identifier: Apache-2.0
#include "support/sql_fixture.h"

#include "ado/error.h"

namespace testdata {

Failure failureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ado::Error& e) {
        return {e.number(), e.description()};
    }
    return {};
}

void SqlTest::open(const std::string& path) {
    cn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Jet OLEDB:Database Password=");
}

long SqlTest::execute(const std::string& statement) {
    long changed = -1;
    cn.Execute(statement, &changed, -1);
    return changed;
}

}  // namespace testdata
