// SPDX-License-Identifier: Apache-2.0
// The properties Access keeps for the fields of a table, in the LvProp
// blob of the table's row in MSysObjects: a signature ("KKD\0" in Jet 3,
// "MR2\0" after), then chunks of u32 length (with its own 6 bytes) and u16
// kind. Kind 0x80 lists the property names (u16 byte length, name); kinds
// 0x00 (the table) and 0x01 (a field) start with a u32 header length, the
// u16 length of the field's name and the name, then hold records of u16
// length, u8 flag, u8 type (a column type), u16 index into the names,
// u16 value length and the value, stored as a column of that type.
//
// Read: Required, DefaultValue, and ResultType (the kind of value a
// calculated field holds, which its descriptor's type does not always say).
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace jet {

class Database;

struct FieldProperties {
    bool required = false;
    std::string default_value;  // the expression as Access keeps it; empty: none
    uint8_t result_type = 0;    // a column type; 0: none given
};

// By field name, as the blob spells it; empty when the table has none.
// Throws kErrCorrupt when the blob is damaged.
std::map<std::string, FieldProperties> readFieldProperties(const Database& db, const std::string& table);

}  // namespace jet
