// SPDX-License-Identifier: Apache-2.0
#include "table_filter.h"

#include <QString>

bool PassesTableFilter(const std::string& table_name) {
    // Characters, not bytes: names are UTF-8.
    QString name = QString::fromStdString(table_name);
    return name.left(4).toUpper() != QStringLiteral("MSYS") && name.left(11).toUpper() != QStringLiteral("SWITCHBOARD");
}
