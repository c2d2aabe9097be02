// SPDX-License-Identifier: Apache-2.0
// A short, repeatable stand-in for the fuzzers, run by the test suite: fixed
// seeds, byte mutations of a few small corpus files, each read end to end
// and, where it needs no password, then changed (a fixed insert, update and
// delete). In the Office-encrypted ones half the mutations fall in the
// encryption header; fewer of those are read: each open hashes the password
// anew. A crash, hang or sanitizer report fails the test; errors are expected.
//
//   fuzz_replay CORPUS_DIR [ITERATIONS]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "read_input.h"
#include "write_input.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_replay CORPUS_DIR [ITERATIONS]\n");
        return 2;
    }
    std::string dir = argv[1];
    int iterations = argc > 2 ? std::atoi(argv[2]) : 300;
    struct Seed {
        const char* name;
        const char* password;
        int divisor;  // of the iterations
    };
    const Seed seeds[] = {{"testV1997.mdb", "", 1}, {"delTestV1997.mdb", "", 1}, {"emptyJet4.mdb", "", 1},
                          {"testV2000.mdb", "", 1}, {"overflowTestV2000.mdb", "", 1},
                          {"fixedNumericTestV2000.mdb", "", 1}, {"db-enc.mdb", "", 1},
                          {"db2013-enc.accdb", "1234", 15}, {"db2007-oldenc.accdb", "Test123", 3},
                          {"db-nonstandard.accdb", "password", 3}, {"compIndexTestV2000.mdb", "", 1}};
    constexpr size_t kEncryptionHeader = 0x299, kEncryptionHeaderEnd = 0x299 + 2 + 1055;
    std::mt19937 random(20261206);
    int read = 0;
    for (const auto& [name, password, divisor] : seeds) {
        bool office = std::string(name).ends_with(".accdb");
        std::ifstream in(dir + "/" + name, std::ios::binary);
        if (!in) {
            std::printf("fuzz_replay: %s not found in %s, skipped\n", name, dir.c_str());
            continue;
        }
        std::vector<uint8_t> original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (int i = 0; i < iterations / divisor; ++i) {
            std::vector<uint8_t> bytes = original;
            int edits = 1 + int(random() % 8);
            for (int e = 0; e < edits; ++e) {
                size_t at = random() % bytes.size();
                if (office && random() % 2)
                    at = kEncryptionHeader + random() % (kEncryptionHeaderEnd - kEncryptionHeader);
                switch (random() % 4) {
                case 0: bytes[at] = uint8_t(random()); break;
                case 1: bytes[at] ^= uint8_t(1u << (random() % 8)); break;
                case 2: bytes[at] = (random() % 2) ? 0xFF : 0x00; break;
                default: bytes.resize(std::max<size_t>(at, 1)); break;  // truncated
                }
            }
            readAsDatabase(bytes.data(), bytes.size(), password);
            if (!*password) writeAsDatabase(bytes.data(), bytes.size());
            ++read;
        }
    }
    std::printf("fuzz_replay: %d damaged files read and changed without a crash\n", read);
    return 0;
}
