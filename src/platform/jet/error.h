// SPDX-License-Identifier: Apache-2.0
// Errors raised by the Jet engine: one exception type carrying a number and
// a plain description. Numbers follow Jet's own error codes where Jet has
// one, so callers (and users) can look them up.
#pragma once

#include <stdexcept>
#include <string>

namespace jet {

enum ErrorNumber : long {
    kErrFileNotFound = 3024,      // "Could not find file"
    kErrBadPassword = 3031,       // "Not a valid password"
    kErrNotDatabase = 3343,       // "Unrecognized database format"
    kErrCorrupt = 3049,           // damaged structure inside a database
    kErrIo = 3051,                // the file could not be opened or read
    kErrNoSuchTable = 3078,       // no table of that name
    kErrUnsupported = 3251,       // a feature of the file the engine does not read
    kErrReadOnly = 3027,          // "Cannot update. Database or object is read-only"
    kErrInUse = 3045,             // "File already in use": another process writes to it
    kErrConversion = 3421,        // "Data type conversion error."
    kErrFieldTooSmall = 3163,     // "The field is too small to accept the amount of data ..."
    kErrRequired = 3314,          // a Null into a column whose Required property is True
    kErrRecordTooLarge = 3047,    // "Record is too large."
    kErrOverflow = 3349,          // "Numeric field overflow."
    kErrTableExists = 3010,       // "Table '...' already exists."
    kErrBadName = 3125,           // "'...' isn't a valid name."
    kErrTooManyFields = 3190,     // "Too many fields defined."
    kErrDuplicateField = 3191,    // "Cannot define field more than once."
    kErrBadFieldType = 3259,      // "Invalid field data type."; also a bad TEXT size
    kErrNoFields = 3290,          // a table needs a field ("Syntax error in CREATE TABLE statement.")
    kErrInRelationship = 3303,    // "Cannot delete or change a field that is part of a relationship."
    kErrDuplicateKey = 3022,      // a unique index or primary key would hold a value twice
    kErrNullKey = 3058,           // "Index or primary key cannot contain a Null value."
    kErrHasRelated = 3200,        // a delete or key change would leave rows of another table without theirs
    kErrRelatedRequired = 3201,   // a row names a row of another table that is not there
    kErrTooLarge = 3001,          // "Invalid argument.": what Access says when a change would pass 2 GB
};

class Error : public std::runtime_error {
public:
    Error(long number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    long number() const { return number_; }
    std::string description() const { return what(); }

private:
    long number_;
};

// Raised wherever the bytes of the file contradict the format.
[[noreturn]] inline void corrupt(const std::string& what) {
    throw Error(kErrCorrupt, "The database file is damaged: " + what + ".");
}

}  // namespace jet
