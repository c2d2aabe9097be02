// SPDX-License-Identifier: Apache-2.0
// SQL tests over an Access file through the access interface: the
// connection, running one statement, and what a failed call raised.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ado/connection.h"

namespace testdata {

struct Failure {
    long number = 0;
    std::string description;
};

// What `f` raised as an ado::Error; number 0 when it raised nothing.
Failure failureOf(const std::function<void()>& f);

class SqlTest : public testing::Test {
protected:
    void open(const std::string& path);
    // Runs one statement; the number of rows it changed.
    long execute(const std::string& statement);

    ado::Connection cn;
};

}  // namespace testdata
