// SPDX-License-Identifier: Apache-2.0
// The clipboard: cleared, and given plain text.
#pragma once

#include <string>

namespace seams {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual void Clear() = 0;
    virtual void SetText(const std::string& text) = 0;
};

class QtClipboard : public Clipboard {
public:
    void Clear() override;
    void SetText(const std::string& text) override;
};

}  // namespace seams
