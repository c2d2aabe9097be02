// SPDX-License-Identifier: Apache-2.0
// libFuzzer entry point for the reader (built with -DPELLINORDB_FUZZ=ON and clang).
#include "read_input.h"

// The passwords of the encrypted corpus files, so that inputs grown from
// them get past the password check to their encryption header and pages.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const char* password : {"", "1234", "Test123", "password"})
        if (readAsDatabase(data, size, password)) break;
    return 0;
}
