// SPDX-License-Identifier: Apache-2.0
// "Add", "Column": frmEditColumns lists the grid's headings and type names;
// closing it sets the grid's column count by the names left, and writes
// the field lists.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "editing/frm_edit_columns.h"
#include "flexgrid/flex_grid.h"
#include "shared/bas_global.h"
#include "support/edit_fixture.h"

namespace uitest {
namespace {

class EditColumns : public EditTest {
protected:
    void editColumns(std::function<void(frmEditColumns*)> act) {
        whenModal([act](QDialog* d) {
            auto* dialog = qobject_cast<frmEditColumns*>(d);
            ASSERT_NE(dialog, nullptr);
            act(dialog);
            dialog->close();
        });
        click(w->cmdSave);
        click(w->Command3);
    }
    static void clickIn(frmEditColumns* d, int row, int col) { clickGridCell(d->MSFlexGrid1, row, col); }

    void serveMixed() {
        serve({Table("M",
                     {{"Id", ado::adInteger}, {"Name", ado::adVarWChar}, {"Pic", ado::adLongVarBinary},
                      {"Ok", ado::adBoolean}, {"When", ado::adDate}, {"Cost", ado::adCurrency},
                      {"Note", ado::adLongVarWChar}},
                     2, [](long, size_t) { return ado::Value(); })});
        pick(w->cboTables, "M");
    }
};

TEST_F(EditColumns, ListsHeadingsAndTypeNamesAndClosingAtOnceKeepsTheColumns) {
    serveMixed();
    std::vector<std::string> names, types;
    editColumns([&](frmEditColumns* d) {
        EXPECT_EQ(d->windowTitle(), "PellinorDB - Edit Columns");
        EXPECT_EQ(d->MSFlexGrid1->Rows(), 100);
        EXPECT_EQ(d->MSFlexGrid1->Cols(), 3);
        for (int i = 0; i <= 8; ++i) {
            names.push_back(d->MSFlexGrid1->TextMatrix(i, 1));
            types.push_back(d->MSFlexGrid1->TextMatrix(i, 2));
        }
        std::vector<std::string> items;
        for (int i = 0; i < d->Combo1->count(); ++i) items.push_back(d->Combo1->itemText(i).toStdString());
        EXPECT_EQ(items, (std::vector<std::string>{"Text", "Memo", "Integer", "Date", "Currency", "YesNo", "OLEObject"}));
    });
    EXPECT_EQ(names, (std::vector<std::string>{"", "Id", "Name", "Pic", "Ok", "When", "Cost", "Note", ""}));
    EXPECT_EQ(types, (std::vector<std::string>{"", "Integer", "Text", "OLE Object", "", "Date", "Currency", "Memo", ""}));
    EXPECT_EQ(w->MSFlexGrid1->Cols(), 8);
    EXPECT_EQ(basGlobal::strFieldNames[2], "Id");
    EXPECT_EQ(basGlobal::strFieldTypes[2], "Integer");
    EXPECT_EQ(basGlobal::strFieldNames[8], "Note");
}

TEST_F(EditColumns, ClearingANameShrinksTheGridAndANewNameGrowsIt) {
    serveMixed();
    editColumns([&](frmEditColumns* d) {
        clickIn(d, 2, 1);
        EXPECT_TRUE(d->ctlTextList1->hasFocus());
        EXPECT_EQ(d->ctlTextList1->text(), "Name");
        EXPECT_FALSE(d->ctlTextList1->hasSelectedText());
        QTest::keyClick(d->ctlTextList1, Qt::Key_End);
        for (int i = 0; i < 4; ++i) QTest::keyClick(d->ctlTextList1, Qt::Key_Backspace);
    });
    EXPECT_EQ(w->MSFlexGrid1->Cols(), 2) << "only the first field stays";
    EXPECT_EQ(cell(1, 1), "");
    EXPECT_EQ(cell(0, 1), "Id");

    pick(w->cboTables, "M");
    editColumns([&](frmEditColumns* d) {
        clickIn(d, 8, 1);
        QTest::keyClicks(d->ctlTextList1, "Extra");
        QTest::keyClick(d->ctlTextList1, Qt::Key_Up);  // moves; the grid keeps the name
        EXPECT_EQ(d->MSFlexGrid1->TextMatrix(8, 1), "Extra");
    });
    EXPECT_EQ(w->MSFlexGrid1->Cols(), 9);
    EXPECT_EQ(cell(0, 8), "") << "the new column has no heading";
    EXPECT_EQ(basGlobal::strFieldNames[9], "Extra");
}

TEST_F(EditColumns, TheTypeComboCoversColumnTwoAndCarriesItsChoice) {
    serveMixed();
    editColumns([&](frmEditColumns* d) {
        clickIn(d, 5, 2);
        EXPECT_TRUE(d->Combo1->isVisible());
        EXPECT_TRUE(d->Combo1->hasFocus());
        EXPECT_EQ(d->Combo1->currentText(), "Date");
        EXPECT_FALSE(d->ctlTextList1->isVisible());
        EXPECT_EQ(d->Combo1->lineEdit()->placeholderText(), "Enter the Data Type of the field");
        d->Combo1->setCurrentIndex(1);
        emit d->Combo1->activated(1);
        EXPECT_EQ(d->MSFlexGrid1->TextMatrix(5, 2), "Memo");
        EXPECT_EQ(d->MSFlexGrid1->TextMatrix(5, 1), "When") << "the name stays";
        clickIn(d, 5, 1);
        EXPECT_FALSE(d->Combo1->isVisible());
        EXPECT_TRUE(d->ctlTextList1->isVisible());
        // Right into column 2: the name cell keeps the name.
        QTest::keyClick(d->ctlTextList1, Qt::Key_Right);
        EXPECT_EQ(d->MSFlexGrid1->TextMatrix(5, 1), "When");
        EXPECT_EQ(d->MSFlexGrid1->TextMatrix(5, 2), "Memo");
    });
    EXPECT_EQ(basGlobal::strFieldTypes[6], "Memo");
    EXPECT_EQ(w->MSFlexGrid1->Cols(), 8);
}

TEST_F(EditColumns, MoreThanTheSharedArraysHoldIsRefused) {
    serve({Table("Wide", TextFields(120), 2)});
    pick(w->cboTables, "Wide");
    click(w->cmdSave);
    click(w->Command3);
    EXPECT_EQ(w->MSFlexGrid1->Cols(), 121);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], "The grid has 120 columns; Edit Columns can list at most 99.");
}

TEST_F(EditColumns, NinetyNineNamesGiveTheHundredColumnsTheArraysHold) {
    serve({Table("Full", TextFields(99), 1)});
    pick(w->cboTables, "Full");
    editColumns([](frmEditColumns*) {});
    EXPECT_EQ(w->MSFlexGrid1->Cols(), 100);
    EXPECT_EQ(basGlobal::strFieldNames[100], "F99");
    EXPECT_TRUE(boxes().empty());
}

}  // namespace
}  // namespace uitest
