// SPDX-License-Identifier: Apache-2.0
#include "testdata.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "jet/database.h"
#include "jet/table_writer.h"

namespace fs = std::filesystem;

namespace testdata {

std::string root() { return PELLINORDB_TESTDATA; }

std::string file(const std::string& name) { return root() + "/mdb/" + name; }

bool available() { return fs::is_directory(root() + "/mdb"); }

std::string passwordOf(const std::string& name) {
    std::ifstream in(root() + "/passwords.tsv");
    std::string listed, password;
    std::string base = fs::path(name).filename().string();
    while (std::getline(in, listed, '\t') && std::getline(in, password))
        if (listed == base) return password;
    return "";
}

Copy::Copy(const std::string& name) {
    std::string templ = (fs::temp_directory_path() / "pellinordb-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("cannot make a temporary folder");
    dir_ = templ;
    path_ = dir_ + "/" + fs::path(name).filename().string();
    fs::copy_file(fs::path(name).is_absolute() ? fs::path(name) : fs::path(file(name)), path_);
}

Copy::~Copy() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void Copy::patch(size_t offset, const std::vector<unsigned char>& bytes) const {
    std::fstream f(path_, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(offset));
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void Copy::truncate(size_t size) const { fs::resize_file(path_, size); }

std::vector<unsigned char> Copy::read() const {
    std::ifstream f(path_, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void Copy::write(const std::vector<unsigned char>& bytes) const {
    std::ofstream f(path_, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string exported(const std::string& path, const std::string& table) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("mdb-export '" + path + "' '" + table + "'").c_str(), "r"),
                                                pclose);
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe.get())) out.append(buffer, n);
    return out;
}

bool catalogWritable(const std::string& path) {
    jet::Database db(path, "");
    try {
        jet::TableWriter writer(db, "MSysObjects");
        return true;
    } catch (const jet::Error& e) {
        return e.number() != jet::kErrUnsupported;
    }
}

}  // namespace testdata
