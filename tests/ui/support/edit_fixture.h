// SPDX-License-Identifier: Apache-2.0
// The main window with a private copy of a corpus file, driven through its
// cell editor and its two editing dialogs as a person would, and the file
// read back through the engine and through mdb-export.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>

#include "support/testdata.h"
#include "window_fixture.h"

class QDialog;

namespace flexgrid {
class FlexGrid;
}

namespace uitest {

class EditTest : public WindowTest {
protected:
    // The window is made active, so the editor can take the focus.
    void SetUp() override;

    // Opens a copy of `file` (a corpus name, or an absolute path) and shows `table`.
    void openCopy(const std::string& file, const std::string& table);

    void clickCell(int row, int col);     // a left click on a main-grid cell
    // A left click on a cell of any grid, once its window has laid it out.
    static void clickGridCell(flexgrid::FlexGrid* grid, int row, int col);
    void type(const QString& text);       // keys into the focused widget
    void press(Qt::Key key);
    std::string editorText() const;
    bool editorOpen() const;

    // The value of `field` in the record with `row_number` (from 1, in the
    // table's order), read by a connection of its own.
    std::string stored(const std::string& table, long row_number, const std::string& field);
    long storedCount(const std::string& table);
    std::string exported(const std::string& table);

    // Runs `act` on the next modal dialog as soon as it shows.
    void whenModal(std::function<void(QDialog*)> act);

    std::unique_ptr<testdata::Copy> copy;
};

}  // namespace uitest
