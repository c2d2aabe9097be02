// SPDX-License-Identifier: Apache-2.0
// The one error type of the access interface: a number and a description.
// Errors of the Jet engine come through unchanged with Jet's numbers; the
// interface's own errors use ADO's published numbers.
#pragma once

#include "jet/error.h"

namespace ado {

using Error = jet::Error;

enum ErrorNumber : long {
    kErrInvalidArgument = 3001,    // arguments of the wrong type or out of range
    kErrNoCurrentRecord = 3021,    // BOF or EOF is true
    kErrTableInUse = 3211,         // the table is open and cannot be locked for a schema change
    kErrNotSupported = 3251,       // the operation is not supported by this cursor
    kErrItemNotFound = 3265,       // no field of that name or number
    kErrObjectClosed = 3704,       // operation not allowed when the object is closed
    kErrObjectOpen = 3705,         // operation not allowed when the object is open
    kErrProviderNotFound = 3706,   // the provider named in the connection string is unknown
    kErrInvalidConnection = 3709,  // the connection cannot be used for this operation
    kErrCancelled = 3712,          // "Operation has been cancelled by the user."
    kErrCommandText = -2147217900, // the statement cannot be run
    // Raised by server sources, from the driver's SQLSTATE.
    kErrProviderFailed = -2147467259,  // the server or the way to it failed
    kErrLoginFailed = -2147217843,     // the login was refused
    kErrNoSuchObject = -2147217865,    // no table or view of that name
    kErrIntegrity = -2147217873,       // a key or other constraint refused the change
    kErrCannotConvert = -2147217913,   // the value does not convert or does not fit
    kErrRowNotFound = -2147217864,     // the row to update is no longer as it was read
};

}  // namespace ado
