// libFuzzer entry point for the reader (built with -DPELLINORDB_FUZZ=ON and clang).
#include "read_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    readAsDatabase(data, size);
    return 0;
}
