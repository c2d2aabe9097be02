// SPDX-License-Identifier: Apache-2.0
// The main window's cell editor: the navigation keys at every edge, the
// selection and alignment rules, the marker cell, and each edit written to
// the record its row shows, or put back and reported when it cannot be.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "flexgrid/flex_grid.h"
#include "ado/value_text.h"
#include "support/testdata.h"
#include "support/edit_fixture.h"

namespace uitest {
namespace {

using CellEditor = EditTest;

struct Cell {
    int row, col;
    bool operator==(const Cell&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Cell& c) { return os << "(" << c.row << ", " << c.col << ")"; }

TEST_F(CellEditor, NavigationKeysMoveWithinTheirEdgeRules) {
    serve({Table("T", TextFields(3), 12)});  // rows 1 to 12, columns 1 to 3
    pick(w->cboTables, "T");
    auto at = [&] { return Cell{w->MSFlexGrid1->Row(), w->MSFlexGrid1->Col()}; };
    auto from = [&](Cell c, Qt::Key key) {
        clickCell(c.row, c.col);
        press(key);
        return at();
    };
    EXPECT_EQ(from({1, 1}, Qt::Key_Up), (Cell{1, 1}));
    EXPECT_EQ(from({1, 1}, Qt::Key_Left), (Cell{1, 1}));
    EXPECT_EQ(from({1, 2}, Qt::Key_Left), (Cell{1, 1}));
    EXPECT_EQ(from({3, 1}, Qt::Key_Left), (Cell{2, 3})) << "the last column of the row above";
    EXPECT_EQ(from({2, 3}, Qt::Key_Right), (Cell{3, 1})) << "the first column of the row below";
    EXPECT_EQ(from({12, 3}, Qt::Key_Right), (Cell{12, 3}));
    EXPECT_EQ(from({12, 2}, Qt::Key_Down), (Cell{12, 2}));
    EXPECT_EQ(from({11, 2}, Qt::Key_Down), (Cell{12, 2}));
    EXPECT_EQ(from({2, 2}, Qt::Key_Up), (Cell{1, 2}));
    for (int row = 1; row <= 5; ++row) EXPECT_EQ(from({row, 2}, Qt::Key_PageUp), (Cell{row, 2})) << "never stops short";
    EXPECT_EQ(from({6, 2}, Qt::Key_PageUp), (Cell{1, 2}));
    EXPECT_EQ(from({7, 2}, Qt::Key_PageDown), (Cell{12, 2}));
    for (int row = 8; row <= 12; ++row) EXPECT_EQ(from({row, 2}, Qt::Key_PageDown), (Cell{row, 2}));
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_Return, Qt::Key_Escape})
        EXPECT_EQ(from({4, 2}, key), (Cell{4, 2})) << "key " << key;

    // Each move re-opens the editor on the new cell, over it exactly.
    clickCell(4, 2);
    press(Qt::Key_Down);
    EXPECT_TRUE(editorOpen());
    EXPECT_EQ(editorText(), "r5c2");
    EXPECT_EQ(w->ctlTextList1->selectedText(), "r5c2");
    flexgrid::FlexGrid* g = w->MSFlexGrid1;
    EXPECT_EQ(w->ctlTextList1->geometry().topLeft(),
              g->geometry().topLeft() + QPoint(g->CellLeft() / 15, g->CellTop() / 15));
    EXPECT_EQ(messages(), "") << "nothing was typed, so nothing was saved";
}

TEST_F(CellEditor, OpensSelectingTheWholeTextAlignedByTheNumberTest) {
    serve({Table("T", {{"N", ado::adDouble}, {"W", ado::adVarWChar}, {"E", ado::adVarWChar}}, 2,
                 [](long, size_t f) -> ado::Value {
                     if (f == 0) return 12.5;
                     return f == 1 ? ado::Value(std::string("word")) : ado::Value();
                 })});
    pick(w->cboTables, "T");
    clickCell(1, 1);
    EXPECT_TRUE(editorOpen());
    EXPECT_EQ(editorText(), "12.5");
    EXPECT_EQ(w->ctlTextList1->selectedText(), "12.5");
    EXPECT_TRUE(w->ctlTextList1->alignment() & Qt::AlignRight);
    clickCell(1, 2);
    EXPECT_TRUE(w->ctlTextList1->alignment() & Qt::AlignLeft);
    clickCell(1, 3);
    EXPECT_TRUE(w->ctlTextList1->alignment() & Qt::AlignLeft) << "empty is not numeric";
}

TEST_F(CellEditor, TheGridFollowsOneKeyBehindAndTypingAtTheEndAppends) {
    serve({Table("T", TextFields(2), 3)});
    pick(w->cboTables, "T");
    clickCell(1, 1);
    type("xy");  // replaces the selected text
    EXPECT_EQ(editorText(), "xy");
    EXPECT_EQ(cell(1, 1), "x") << "the grid has the text before the last key";
    press(Qt::Key_End);
    EXPECT_EQ(cell(1, 1), "xy");
    type("z");
    EXPECT_EQ(editorText(), "xyz") << "at the end nothing is selected";
    // With the caret inside, a key first selects from the caret onwards.
    press(Qt::Key_Home);
    press(Qt::Key_Right);  // in the text box only: a move needs the last column
    EXPECT_EQ(w->MSFlexGrid1->Col(), 2);
}

TEST_F(CellEditor, AMarkerCellIsNeverChangedNorWritten) {
    serve({Table("P", {{"Name", ado::adVarWChar}, {"Picture", ado::adLongVarBinary}}, 2,
                 [](long, size_t f) -> ado::Value {
                     return f == 0 ? ado::Value(std::string("n")) : ado::Value(jet::Binary{1, 2, 3});
                 })});
    pick(w->cboTables, "P");
    ASSERT_EQ(cell(1, 2), "Picture (DbUneditable)");
    clickCell(1, 2);
    type("x");
    press(Qt::Key_Down);
    EXPECT_EQ(cell(1, 2), "Picture (DbUneditable)");
    EXPECT_EQ(w->MSFlexGrid1->Row(), 2);
    type("y");
    clickCell(1, 1);  // focus loss
    EXPECT_EQ(cell(2, 2), "Picture (DbUneditable)");
    // The memory tables cannot be written: an attempt would have said so.
    EXPECT_EQ(messages(), "");
}

TEST_F(CellEditor, AnEditIsWrittenToItsRecordOnMoveAndOnClickAway) {
    SKIP_WITHOUT_CORPUS();
    openCopy("overflowTestV2000.mdb", "Table1");
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 8);
    clickCell(7, 1);
    type("zed");
    press(Qt::Key_Down);  // the last row: saves, does not move
    EXPECT_EQ(cell(7, 1), "zed") << messages();
    EXPECT_EQ(stored("Table1", 7, "data1"), "zed");
    EXPECT_EQ(stored("Table1", 6, "data1"), "");

    clickCell(1, 2);
    type("new text");
    clickCell(2, 2);  // saves the cell the editor covered, not the clicked one
    EXPECT_EQ(cell(1, 2), "new text");
    EXPECT_EQ(cell(2, 2), "row2col3");
    EXPECT_EQ(editorText(), "row2col3");
    EXPECT_EQ(stored("Table1", 1, "data3"), "new text");
    EXPECT_EQ(stored("Table1", 2, "data3"), "row2col3");

    press(Qt::Key_End);
    type("!");
    press(Qt::Key_Left);  // saves, then moves
    EXPECT_EQ(stored("Table1", 2, "data3"), "row2col3!");
    EXPECT_EQ(messages(), "");
    w.reset();  // the program ends; the file stays
    const std::string csv = exported("Table1");
    EXPECT_NE(csv.find("\"row1col1\",\"new text\",,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\"row2col1\",\"row2col3!\",,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\"zed\",,,,,\"row7col7\""), std::string::npos) << csv;
}

TEST_F(CellEditor, AFailedWriteIsPutBackAndSaidInOneLine) {
    SKIP_WITHOUT_CORPUS();
    openCopy("fixedNumericTestV2000.mdb", "test");
    const std::vector<unsigned char> before = copy->read();
    clickCell(1, 2);  // col2, a number
    type("abc");
    press(Qt::Key_Right);
    EXPECT_EQ(cell(1, 2), "1") << "the stored value is back";
    EXPECT_EQ(w->MSFlexGrid1->Col(), 3);
    EXPECT_EQ(messages().rfind("Row 1, column col2 was not saved: ", 0), 0u) << messages();
    EXPECT_EQ(messages().find('\n'), std::string::npos);
    EXPECT_TRUE(messagesWhole()) << messages();
    EXPECT_TRUE(boxes().empty());

    // On focus loss too, the editor's text is put back before it is copied.
    type("");
    type("x");
    clickCell(1, 1);
    EXPECT_EQ(cell(1, 3), "0");
    EXPECT_EQ(messages().rfind("Row 1, column col3 was not saved: ", 0), 0u) << messages();
    EXPECT_EQ(stored("test", 1, "col2"), "1");
    w.reset();
    EXPECT_EQ(copy->read(), before);
}

TEST_F(CellEditor, ATableTheEngineCannotWriteRefusesAndIsPutBack) {
    SKIP_WITHOUT_CORPUS();
    openCopy("complexDataTestV2007.accdb", "Table1");  // an index on an attachment field
    const std::vector<unsigned char> before = copy->read();
    clickCell(2, 3);
    type("changed");
    press(Qt::Key_Up);
    EXPECT_EQ(cell(2, 3), "row2-memo");
    EXPECT_EQ(w->MSFlexGrid1->Row(), 1);
    EXPECT_EQ(messages().rfind("Row 2, column memo-data was not saved: 3251: ", 0), 0u) << messages();
    w.reset();
    EXPECT_EQ(copy->read(), before);
}

TEST_F(CellEditor, ARowWithoutItsRelatedRecordIsRefusedAndPutBack) {
    SKIP_WITHOUT_CORPUS();
    openCopy("indexTestV2000.mdb", "Table1");  // otherfk2 refers to Table3
    const std::vector<unsigned char> before = copy->read();
    clickCell(1, 3);
    type("99");
    press(Qt::Key_Right);
    EXPECT_EQ(cell(1, 3), "10");
    EXPECT_EQ(messages(), "Row 1, column otherfk2 was not saved: 3201: You cannot add or change a record because a "
                          "related record is required in table 'Table3'.");
    w.reset();
    EXPECT_EQ(copy->read(), before);
}

TEST_F(CellEditor, ALaterBunchWritesTheRecordItsRowShows) {
    MemoryTable t = Table("Big", TextFields(10), 70000);
    t.updates = std::make_shared<std::map<long, std::map<size_t, ado::Value>>>();
    auto updates = t.updates;
    serve({t});
    pick(w->cboTables, "Big");
    click(w->cmdFirstBunch);  // records 33000 to 65998
    ASSERT_EQ(cell(1, 1), "r33000c1");
    clickCell(1, 2);
    type("bunch two");
    press(Qt::Key_Down);
    clickCell(32999, 10);
    type("its last row");
    press(Qt::Key_PageUp);
    ASSERT_EQ(updates->size(), 2u) << messages();
    EXPECT_EQ(ado::toText(updates->at(32999).at(1)), "bunch two") << "record 33000, from 0";
    EXPECT_EQ(ado::toText(updates->at(65997).at(9)), "its last row");
    EXPECT_EQ(messages().find("not saved"), std::string::npos) << messages();

    // Back in the first bunch, row 1 is record 1 again.
    click(w->cmdLastBunch);
    clickCell(1, 1);
    type("first");
    press(Qt::Key_Down);
    EXPECT_EQ(ado::toText(updates->at(0).at(0)), "first");
    EXPECT_EQ(cell(1, 1), "first");
}

TEST_F(CellEditor, NothingIsWrittenWithoutATableOrBeyondItsFields) {
    MemoryTable t = Table("T", TextFields(2), 3);
    t.updates = std::make_shared<std::map<long, std::map<size_t, ado::Value>>>();
    auto updates = t.updates;
    serve({t});
    pick(w->cboTables, "T");
    w->MSFlexGrid1->SetCols(4);  // as Edit Columns can leave it
    clickCell(1, 3);
    type("orphan");
    press(Qt::Key_Down);
    EXPECT_EQ(cell(1, 3), "");
    EXPECT_EQ(messages(), "Row 1, column 3 was not saved: the table T has no field for this column.");

    // A row past the records of the load.
    w->MSFlexGrid1->SetRows(5);
    clickCell(4, 1);
    type("ghost");
    press(Qt::Key_Up);
    EXPECT_EQ(cell(4, 1), "");
    EXPECT_EQ(messages(), "Row 4, column F1 was not saved: the grid row shows no record of the table T.");
    EXPECT_TRUE(updates->empty());
}

}  // namespace
}  // namespace uitest
