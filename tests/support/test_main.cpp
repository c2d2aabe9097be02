// SPDX-License-Identifier: Apache-2.0
// The engine and access tests open files and servers by connection string,
// as the program does, so the same backends are registered first.
#include <gtest/gtest.h>

#include "odbc/provider.h"
#include "sql/jet_provider.h"

int main(int argc, char** argv) {
    ado::RegisterJetProvider();
    ado::RegisterServerProvider();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
