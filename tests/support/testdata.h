// SPDX-License-Identifier: Apache-2.0
// Where the test corpus is, and small helpers over it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testdata {

// The corpus folder (holding mdb/, expected/, large/).
std::string root();
// Path of a corpus file under mdb/, e.g. file("testV2000.mdb").
std::string file(const std::string& name);
// True when the corpus is there; tests call SKIP_WITHOUT_CORPUS() first.
bool available();
// The password of a corpus file (by name or path) from passwords.tsv; ""
// for a file without one.
std::string passwordOf(const std::string& name);

// A private copy of a corpus file in a fresh temporary folder, for tests
// that damage or change it. Removed when the object goes.
class Copy {
public:
    explicit Copy(const std::string& name);
    ~Copy();
    const std::string& path() const { return path_; }
    // Overwrites bytes at `offset` in the copy.
    void patch(size_t offset, const std::vector<unsigned char>& bytes) const;
    void truncate(size_t size) const;
    std::vector<unsigned char> read() const;
    void write(const std::vector<unsigned char>& bytes) const;

private:
    std::string dir_;
    std::string path_;
};

// What mdb-export reads from `table`: the independent reader's view.
std::string exported(const std::string& path, const std::string& table);

// True when the engine can write catalog rows (MSysObjects keeps text
// indexes), so that tables can be created and dropped.
bool catalogWritable(const std::string& path);

}  // namespace testdata

#define SKIP_WITHOUT_CORPUS()                                                                    \
    do {                                                                                         \
        if (!testdata::available())                                                              \
            GTEST_SKIP() << "test corpus not found at " << testdata::root()                      \
                         << " (the shared testdata folder beside the project)";                  \
    } while (0)

#define SKIP_WITHOUT_CATALOG_WRITES(path)                                                          \
    do {                                                                                           \
        if (!testdata::catalogWritable(path))                                                      \
            GTEST_SKIP() << "the table writer cannot keep MSysObjects' text indexes yet, so catalog " \
                            "rows cannot be written";                                              \
    } while (0)
