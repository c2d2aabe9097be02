// SPDX-License-Identifier: Apache-2.0
// Which tables of a database the table lists show: not Access's own
// system tables ("MSys...") and not the switchboard tables it generates.
#pragma once

#include <string>

bool PassesTableFilter(const std::string& table_name);
