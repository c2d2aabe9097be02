// SPDX-License-Identifier: Apache-2.0
// "Add", "Row": the values typed into frmAddRow become one new record and
// the grid's new last row; Cancel, Escape and a window-manager close change
// nothing; a failed insert leaves grid and file as they were.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "editing/frm_add_row.h"
#include "flexgrid/flex_grid.h"
#include "support/edit_fixture.h"
#include "support/testdata.h"

namespace uitest {
namespace {

class AddRow : public EditTest {
protected:
    // Fills the dialog's value row from column 1 on, moving with Right,
    // then runs `finish` on the dialog.
    void addRow(std::vector<QString> values, std::function<void(frmAddRow*)> finish) {
        bool shown = false;
        whenModal([&, values, finish](QDialog* d) {
            auto* dialog = qobject_cast<frmAddRow*>(d);
            ASSERT_NE(dialog, nullptr);
            shown = true;
            flexgrid::FlexGrid* g = dialog->MSFlexGrid1;
            EXPECT_EQ(g->Rows(), 2);
            EXPECT_EQ(g->Cols(), w->MSFlexGrid1->Cols());
            for (int c = 1; c < g->Cols(); ++c) EXPECT_EQ(g->TextMatrix(0, c), cell(0, c)) << "heading " << c;
            const QRect mainGrid(w->MSFlexGrid1->mapToGlobal(QPoint(0, 0)), w->MSFlexGrid1->size());
            EXPECT_FALSE(dialog->frameGeometry().intersects(mainGrid)) << "the dialog hides the grid's headings";
            if (!values.empty()) {
                clickGridCell(g, 1, 1);
                EXPECT_TRUE(dialog->ctlTextList1->hasFocus())
                    << "visible " << dialog->ctlTextList1->isVisible() << ", active " << dialog->isActiveWindow()
                    << ", current " << g->Row() << " " << g->Col();
                EXPECT_FALSE(dialog->ctlTextList1->hasSelectedText()) << "the dialogs select nothing";
            }
            for (size_t i = 0; i < values.size(); ++i) {
                QTest::keyClicks(dialog->ctlTextList1, values[i]);
                if (i + 1 < values.size()) QTest::keyClick(dialog->ctlTextList1, Qt::Key_Right);
            }
            finish(dialog);
        });
        click(w->cmdSave);
        click(w->Command2);
        dialogShown = shown;
    }
    bool dialogShown = false;
};

const auto pressEnter = [](frmAddRow* d) { QTest::keyClick(d->ctlTextList1, Qt::Key_Return); };

TEST_F(AddRow, TextAndNumbersAreInsertedAndShownInTheNewLastRow) {
    SKIP_WITHOUT_CORPUS();
    openCopy("testPromotionV2000.mdb", "jobDB1");
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 1);
    ASSERT_EQ(w->MSFlexGrid1->Cols(), 11);
    addRow({"7", "1200", "2.5", "Pier", "12", "new"}, pressEnter);
    ASSERT_TRUE(dialogShown);
    EXPECT_TRUE(boxes().empty()) << boxes()[0];
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 2);
    EXPECT_EQ(cell(1, 1), "7");
    EXPECT_EQ(cell(1, 3), "2.5");
    EXPECT_EQ(cell(1, 6), "new");
    EXPECT_EQ(storedCount("jobDB1"), 1);
    EXPECT_EQ(stored("jobDB1", 1, "MainNumber"), "1200");
    EXPECT_EQ(stored("jobDB1", 1, "JobName"), "Pier");

    // Cancel by the button: the table and the grid stay.
    addRow({"8"}, [](frmAddRow* d) { QTest::mouseClick(d->cmdCancel, Qt::LeftButton); });
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 2);
    // The new row is a record of the grid like the others: it can be edited.
    clickCell(1, 4);
    type("Quay");
    press(Qt::Key_Left);
    EXPECT_EQ(stored("jobDB1", 1, "JobName"), "Quay") << messages();
    w.reset();
    const std::string csv = exported("jobDB1");
    EXPECT_NE(csv.find("7,1200,2.5,\"Quay\",\"12\",\"new\""), std::string::npos) << csv;
}

TEST_F(AddRow, TheNumberAnAutoNumberFieldGotIsShownAndCounted) {
    SKIP_WITHOUT_CORPUS();
    openCopy("testV2003.mdb", "Table3");  // a: AutoNumber, b: text; no records
    ASSERT_EQ(w->txtTotalRec->text(), "0");
    addRow({"", "first"}, pressEnter);
    addRow({"", "second"}, pressEnter);
    EXPECT_TRUE(boxes().empty()) << boxes()[0];
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 3);
    EXPECT_EQ(storedCount("Table3"), 2);
    for (int row : {1, 2}) {
        EXPECT_FALSE(cell(row, 1).empty());
        EXPECT_EQ(cell(row, 1), stored("Table3", row, "a"));
    }
    EXPECT_EQ(cell(2, 2), "second");
    EXPECT_EQ(w->txtTotalRec->text(), "2");
}

TEST_F(AddRow, CancelEscapeAndTheCloseBoxChangeNothing) {
    SKIP_WITHOUT_CORPUS();
    openCopy("overflowTestV2000.mdb", "Table1");
    const std::vector<unsigned char> before = copy->read();
    addRow({"a", "b"}, [](frmAddRow* d) { QTest::keyClick(d->ctlTextList1, Qt::Key_Escape); });
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 8);
    addRow({"a"}, [](frmAddRow* d) { QTest::mouseClick(d->cmdCancel, Qt::LeftButton); });
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 8);
    // An earlier "Add" must not make a later close count as one.
    addRow({"kept"}, pressEnter);
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 9);
    addRow({"dropped"}, [](frmAddRow* d) { d->close(); });
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 9);
    EXPECT_EQ(cell(8, 1), "kept");
    EXPECT_EQ(storedCount("Table1"), 8);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(AddRow, AFailedInsertSaysWhyAndLeavesGridAndFileAsTheyWere) {
    SKIP_WITHOUT_CORPUS();
    // A table the engine does not write (an index on an attachment field).
    openCopy("complexDataTestV2007.accdb", "Table1");
    auto refused = std::move(copy);
    const std::vector<unsigned char> refused_before = refused->read();
    addRow({"row5"}, pressEnter);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].rfind("3251: The table 'Table1' has an index on a column of a kind", 0), 0u) << boxes()[0];
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 5) << "no phantom row";

    // A value that does not convert.
    openCopy("testPromotionV2000.mdb", "jobDB1");
    const std::vector<unsigned char> before = copy->read();
    addRow({"7", "not a number"}, pressEnter);
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_NE(boxes()[1].find(": "), std::string::npos);
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 1);
    EXPECT_EQ(storedCount("jobDB1"), 0);
    w.reset();
    EXPECT_EQ(copy->read(), before);
    EXPECT_EQ(refused->read(), refused_before);
}

TEST_F(AddRow, ARowWithoutItsRelatedRecordIsRefused) {
    SKIP_WITHOUT_CORPUS();
    openCopy("indexTestV2000.mdb", "Table1");  // otherfk1 refers to Table2
    const std::vector<unsigned char> before = copy->read();
    addRow({"9", "7", "10", "x"}, pressEnter);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], "3201: You cannot add or change a record because a related record is required in table "
                          "'Table2'.");
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 5) << "no phantom row";
    w.reset();
    EXPECT_EQ(copy->read(), before);
}

TEST_F(AddRow, NothingHappensWithoutATableAndTooManyFieldsAreRefused) {
    const int rows = w->MSFlexGrid1->Rows();
    click(w->cmdSave);
    click(w->Command2);
    EXPECT_EQ(w->MSFlexGrid1->Rows(), rows);
    EXPECT_TRUE(boxes().empty());

    serve({Table("Wide", TextFields(120), 2)});
    pick(w->cboTables, "Wide");
    click(w->cmdSave);
    click(w->Command2);
    EXPECT_EQ(w->MSFlexGrid1->Rows(), 3);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], "This table has 120 columns; a row can be added only to a table of at most 99.");
}

}  // namespace
}  // namespace uitest
