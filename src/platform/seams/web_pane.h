// SPDX-License-Identifier: Apache-2.0
// The web pane: a read-only page view inside a window, told once where to
// go. Pages are looked up among the program's own files, never the network.
#pragma once

#include <string>

class QTextBrowser;
class QWidget;

namespace seams {

class WebPane {
public:
    virtual ~WebPane() = default;
    // The pane's widget, made once, owned by `parent`.
    virtual QWidget* Create(QWidget* parent) = 0;
    // `path` such as "/images/db/advertise.html"; nothing is reported back.
    virtual void Navigate(const std::string& path) = 0;
};

class QtWebPane : public WebPane {
public:
    QWidget* Create(QWidget* parent) override;
    void Navigate(const std::string& path) override;

private:
    QTextBrowser* browser_ = nullptr;
};

}  // namespace seams
