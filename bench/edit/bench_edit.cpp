// SPDX-License-Identifier: Apache-2.0
// Saving one edited cell through the main window, offscreen: at row 1 and
// at the last row of the last bunch, so the two costs can be compared.
// Each save is a key press in the cell editor, which writes through a
// recordset of its own, to disk (journal and commit included).
//
// The tables: jobDB1 filled by the engine to ROWS rows (no corpus table is
// that large, and the large corpus table has indexes, which the engine does
// not write yet), and the small index-free corpus table beside it.
//
//   bench_edit [CORPUS_DIR] [ROWS]   (defaults: ../shared/testdata, 1000000)
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "flexgrid/flex_grid.h"
#include "mainwindow/frm_view_db.h"
#include "seams/scripted.h"
#include "support/job_table.h"

namespace {

long peakKb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Bench {
    seams::ScriptedSeams services;
    frmViewDb window{services.seams()};

    bool open(const std::string& file, const std::string& table) {
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) return false;
        services.files.Choose(file);
        window.cmdOpen->click();
        int i = window.cboTables->findText(QString::fromStdString(table));
        if (i < 0) return false;
        window.cboTables->setCurrentIndex(i);
        emit window.cboTables->activated(i);
        return true;
    }
    void lastBunch() {
        while (window.cmdFirstBunch->isEnabled()) {
            std::string first = window.MSFlexGrid1->TextMatrix(1, 1);
            window.cmdFirstBunch->click();
            if (window.MSFlexGrid1->TextMatrix(1, 1) == first) break;
        }
    }
    // The last grid row that shows a record.
    int lastRow() const {
        int r = window.MSFlexGrid1->Rows() - 1;
        while (r > 1 && window.MSFlexGrid1->TextMatrix(r, 1).empty()) --r;
        return r;
    }
    // Median milliseconds of saving a changed cell at (row, col): the key
    // press that saves, then moves (Page Up) or not (row 1 to 5).
    double save(int row, int col, int times) {
        std::vector<double> ms;
        for (int i = 0; i < times; ++i) {
            window.MSFlexGrid1->SetCol(col);
            window.MSFlexGrid1->SetRow(row);  // opens the editor there
            QLineEdit* editor = window.ctlTextList1;
            QTest::keyClicks(editor, QString::fromStdString("v" + std::to_string(i)));
            auto start = std::chrono::steady_clock::now();
            QTest::keyClick(editor, Qt::Key_PageUp);  // saves; moves only from row 6 on
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    }
    std::string message() const { return window.txtMessages->toPlainText().toStdString(); }
};

int run(const std::string& file, const std::string& table, int col, const std::string& what, long fill = 0) {
    std::string dir = (std::filesystem::temp_directory_path() / "pellinordb-bench-edit").string();
    std::filesystem::create_directories(dir);
    std::string copy = dir + "/" + std::filesystem::path(file).filename().string();
    std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
    if (fill > 0) FillJobTable(copy, fill);
    Bench b;
    if (!b.open(copy, table)) {
        std::fprintf(stderr, "bench_edit: could not show %s in %s\n", table.c_str(), copy.c_str());
        return 1;
    }
    const int times = 15;
    double first = b.save(1, col, times);
    b.window.txtMessages->clear();
    b.lastBunch();
    int last = b.lastRow();
    std::string record = b.window.MSFlexGrid1->TextMatrix(last, 1);
    double at_end = b.save(last, col, times);
    std::printf("%s (%s)\n", what.c_str(), table.c_str());
    std::printf("  save at row 1:                       %8.3f ms (median of %d)\n", first, times);
    std::printf("  save at row %d of the last bunch (ID %s): %8.3f ms\n", last, record.c_str(), at_end);
    std::printf("  ratio last / first:                  %8.2f\n", at_end / first);
    if (!b.message().empty()) std::printf("  message area: %s\n", b.message().c_str());
    std::filesystem::remove_all(dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string corpus = argc > 1 ? argv[1] : std::string(PELLINORDB_TESTDATA);
    const long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
    std::string jobs = corpus + "/mdb/testPromotionV2000.mdb", small = corpus + "/mdb/overflowTestV2000.mdb";
    for (const std::string& f : {jobs, small})
        if (access(f.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "bench_edit: %s not found; pass the corpus folder\n", f.c_str());
            return 1;
        }
    QApplication app(argc, argv);
    long before = peakKb();
    int rc = run(jobs, "jobDB1", 4, std::to_string(rows) + " rows made by the engine", rows);
    rc |= run(small, "Table1", 2, "7 rows of the corpus");
    std::printf("peak memory: %ld KB (%ld KB above the empty program)\n", peakKb(), peakKb() - before);
    return rc;
}
