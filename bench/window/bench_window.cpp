// SPDX-License-Identifier: Apache-2.0
// The main window on the largest corpus table, in one run: opening the
// file and listing its tables, then loading the first bunch of BigTable
// into the grid and paging on with ">>", each timed from the user's event
// to the end of the grid's first paint after it; beside mdb-tables and
// mdb-export of the same. Offscreen, unless QT_QPA_PLATFORM names another
// platform (xcb under xvfb-run shows what a person at a display waits).
// Not a test: it prints figures.
//
//   bench_window [CORPUS_DIR]     (default: ../shared/testdata beside the repo)
#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "flexgrid/flex_grid.h"
#include "support/child_run.h"
#include "mainwindow/frm_view_db.h"
#include "seams/scripted.h"

namespace {

double seconds(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}


// Notes each paint of one widget.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

// Seconds from `event` (a user's event, handled at once) to the end of the
// first paint of `grid` after it.
double toFirstPaint(flexgrid::FlexGrid* grid, const std::function<void()>& event) {
    PaintWatch watch(grid->viewport());
    auto start = std::chrono::steady_clock::now();
    event();
    while (!watch.painted && std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A left click at `at` in `widget`, as the display server delivers it.
void click(QWidget* widget, QPointF at = QPointF(5, 5)) {
    QMouseEvent down(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QApplication::sendEvent(widget, &up);
}

long peakKb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string corpus = argc > 1 ? argv[1] : std::string(PELLINORDB_TESTDATA);
    std::string big = corpus + "/large/big100k.mdb";
    if (access(big.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "bench_window: %s not found; pass the corpus folder\n", big.c_str());
        return 1;
    }
    if (system("command -v mdb-export >/dev/null") != 0) {
        std::fprintf(stderr, "bench_window: mdb-export (mdbtools) is not installed\n");
        return 1;
    }
    QApplication app(argc, argv);
    seams::ScriptedSeams services;
    frmViewDb window(services.seams());
    window.show();
    QApplication::processEvents();
    long before = peakKb();

    services.files.Choose(big);
    double listing = seconds([&] { window.cmdOpen->click(); });
    int table = window.cboTables->findText(QStringLiteral("BigTable"));
    if (table < 0 || !services.messages.shown.empty()) {
        std::fprintf(stderr, "bench_window: %s did not open\n", big.c_str());
        return 1;
    }
    // The table list opened, then the click on the table's name in it.
    window.cboTables->showPopup();
    QApplication::processEvents();
    QAbstractItemView* list = window.cboTables->view();
    const QPointF item = list->visualRect(list->model()->index(table, 0)).center();
    double bunch = toFirstPaint(window.MSFlexGrid1, [&] { click(list->viewport(), item); });
    double next = toFirstPaint(window.MSFlexGrid1, [&] { click(window.cmdFirstBunch); });
    double paint = seconds([&] { window.MSFlexGrid1->grab(); });
    long cells = long(window.MSFlexGrid1->Rows() - 1) * (window.MSFlexGrid1->Cols() - 1);
    long peak = peakKb();

    double peer_listing = medianRun({"mdb-tables", "-1", big}, 5).seconds;
    double peer_export = medianRun({"mdb-export", big, "BigTable"}, 5).seconds;

    std::printf("big100k.mdb, BigTable: %d fields, first bunch of %ld cells\n", window.MSFlexGrid1->Cols() - 1, cells);
    std::printf("  open and list tables   %7.3f s   (mdb-tables  %7.3f s, ratio %.2f)\n", listing, peer_listing,
                peer_listing / listing);
    std::printf("  pick to painted grid   %7.3f s   (mdb-export  %7.3f s of the whole table, ratio %.2f)\n", bunch,
                peer_export, peer_export / bunch);
    std::printf("  \">>\" to painted grid   %7.3f s\n", next);
    std::printf("  one paint of the grid  %7.3f s\n", paint);
    std::printf("  peak resident memory   %7ld KB   (%ld KB before opening)\n", peak, before);
    std::printf("  goal: both bunches painted under 0.250 s, under 150 MB resident: %s\n",
                bunch < 0.25 && next < 0.25 && peak < 150 * 1024 ? "met" : "NOT met");
    return 0;
}
