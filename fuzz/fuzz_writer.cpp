// SPDX-License-Identifier: Apache-2.0
// libFuzzer entry point for the writer (built with -DPELLINORDB_FUZZ=ON and clang).
#include "write_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    writeAsDatabase(data, size);
    return 0;
}
