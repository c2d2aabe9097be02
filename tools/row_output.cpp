// SPDX-License-Identifier: Apache-2.0
#include "row_output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "ado/error.h"
#include "ado/value_text.h"

namespace {

[[noreturn]] void cannotWrite(const std::string& path) {
    throw ado::Error(jet::kErrIo, "Cannot write '" + path + "': " + std::strerror(errno) + ".");
}

bool isNumber(const ado::Value& v) {
    return v.is<uint8_t>() || v.is<int16_t>() || v.is<int32_t>() || v.is<int64_t>() || v.is<float>() ||
           v.is<double>() || v.is<jet::Currency>() || v.is<jet::Decimal>();
}

// The text form of a number is a JSON number unless it is infinite or not
// a number.
bool isJsonNumber(const std::string& s) {
    size_t digit = s.starts_with('-') ? 1 : 0;
    return digit < s.size() && s[digit] >= '0' && s[digit] <= '9' &&
           s.find_first_not_of("0123456789.E+-") == std::string::npos;
}

// The escapes TSV and JSON share.
const char* backslashEscape(char c) {
    switch (c) {
        case '\t': return "\\t";
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '\\': return "\\\\";
        default: return nullptr;
    }
}

}  // namespace

RowOutput::RowOutput(const std::string& path, RowForm form, bool iso_dates)
    : form_(form), iso_dates_(iso_dates), decimal_separator_(ado::localeDecimalSeparator()), path_(path) {
    if (path.empty()) return;
    partial_path_ = path + ".XXXXXX";
    int fd = mkstemp(partial_path_.data());
    if (fd < 0) cannotWrite(path);
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    file_ = fdopen(fd, "wb");
}

RowOutput::~RowOutput() {
    if (file_ == stdout) {
        flush();
    } else if (file_) {
        std::fclose(file_);
        std::remove(partial_path_.c_str());
    }
}

void RowOutput::heading(const std::vector<std::string>& names) {
    names_ = names;
    if (form_ == RowForm::Json) return;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) text(form_ == RowForm::Csv ? "," : "\t");
        field(names[i]);
    }
    text(form_ == RowForm::Csv ? "\r\n" : "\n");
}

void RowOutput::row(const std::vector<ado::Value>& values) {
    if (form_ != RowForm::Json) {
        for (size_t i = 0; i < values.size(); ++i) {
            if (i) text(form_ == RowForm::Csv ? "," : "\t");
            const ado::Value& v = values[i];
            if (iso_dates_ && v.is<jet::DateTime>()) field(ado::toIsoText(v.as<jet::DateTime>()));
            else field(ado::toText(v, decimal_separator_));
        }
        text(form_ == RowForm::Csv ? "\r\n" : "\n");
    } else {
        text(rows_ ? ",\n{" : "[\n{");
        for (size_t i = 0; i < values.size(); ++i) {
            if (i) text(",");
            jsonString(i < names_.size() ? names_[i] : std::to_string(i));
            text(":");
            const ado::Value& v = values[i];
            std::string number = isNumber(v) ? ado::toText(v, '.') : "";
            if (v.isNull()) text("null");
            else if (v.is<bool>()) text(v.as<bool>() ? "true" : "false");
            else if (isJsonNumber(number)) text(number);
            else if (v.is<jet::DateTime>()) jsonString(ado::toIsoText(v.as<jet::DateTime>()));
            else jsonString(ado::toText(v, '.'));
        }
        text("}");
    }
    ++rows_;
}

void RowOutput::line(const std::string& s) {
    text(s);
    text(form_ == RowForm::Csv ? "\r\n" : "\n");
}

void RowOutput::finish() {
    if (form_ == RowForm::Json && !names_.empty()) text(rows_ ? "\n]\n" : "[]\n");
    flush();
    if (file_ == stdout) {
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) cannotWrite("standard output");
        return;
    }
    bool written = std::fflush(file_) == 0 && !std::ferror(file_) && fsync(fileno(file_)) == 0;
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    if (!written || std::rename(partial_path_.c_str(), path_.c_str()) != 0) {
        int error = errno;
        std::remove(partial_path_.c_str());
        errno = error;
        cannotWrite(path_);
    }
}

void RowOutput::text(const std::string& s) {
    buf_ += s;
    if (buf_.size() > (1 << 20)) flush();
}

void RowOutput::field(const std::string& s) {
    if (form_ == RowForm::Tsv) {
        for (char c : s) {
            if (const char* escape = backslashEscape(c)) buf_ += escape;
            else buf_ += c;
        }
        return;
    }
    if (s.find_first_of(",\"\r\n") == std::string::npos) return text(s);
    buf_ += '"';
    for (char c : s) {
        if (c == '"') buf_ += '"';
        buf_ += c;
    }
    buf_ += '"';
}

void RowOutput::jsonString(const std::string& s) {
    buf_ += '"';
    for (char c : s) {
        if (const char* escape = backslashEscape(c)) {
            buf_ += escape;
        } else if (c == '"') {
            buf_ += "\\\"";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            buf_ += code;
        } else {
            buf_ += c;
        }
    }
    buf_ += '"';
}

void RowOutput::flush() {
    if (file_) std::fwrite(buf_.data(), 1, buf_.size(), file_);
    buf_.clear();
}
