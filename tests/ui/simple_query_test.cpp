// SPDX-License-Identifier: Apache-2.0
// The SIMPLE QUERY panel against a scripted database: the inputs and the
// instruction of each action, the statements built from them, the status
// line after a run, and a statement the database refuses.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "ado/error.h"
#include "queries/frm_table_fields.h"
#include "shared/bas_global.h"
#include "support/query_fixture.h"

namespace uitest {
namespace {

using Texts = std::vector<std::string>;

const std::string kAddInstruction = "Please enter the name of the table to add under table name";
const std::string kDeleteInstruction = "Please select the name of the table to delete under table name";
const std::string kCopyInstruction = "Please select the name of the table to copy and the new table name";

class SimpleQuery : public QueryTest {
protected:
    void SetUp() override {
        QueryTest::SetUp();
        db.tables = {Table("Orders", TextFields(2), 3), Table("Order Details", TextFields(3), 2)};
        // The database carries out the three kinds of statement on its tables.
        db.execute = [this](const std::string& s) {
            if (s.rfind("CREATE TABLE ", 0) == 0) {
                db.tables.push_back(Table(s.substr(13, s.find('(') - 13), TextFields(1), 0));
            } else if (s.rfind("DROP TABLE ", 0) == 0) {
                db.tables.remove_if([&](const MemoryTable& t) { return t.name == s.substr(11); });
            } else if (s.rfind("SELECT * INTO ", 0) == 0) {
                db.tables.push_back(Table(s.substr(14, s.find(" FROM ") - 14), TextFields(2), 3));
            }
        };
        openScripted();
        openSimplePanel();
    }
    // Which of the five inputs show, in the order txtTableName,
    // lblTableName, lblNewTableName, txtNewTableName, cboSQuery2.
    std::vector<bool> shown() const {
        return {w->txtTableName->isVisible(), w->lblTableName->isVisible(), w->lblNewTableName->isVisible(),
                w->txtNewTableName->isVisible(), w->cboSQuery2->isVisible()};
    }
};

TEST_F(SimpleQuery, EachActionShowsItsInputsAndInstructionAndHiddenTextsAreKept) {
    EXPECT_EQ(shown(), (std::vector<bool>{false, false, false, false, false}));
    EXPECT_EQ(status(), "");
    EXPECT_TRUE(w->cmdRunSimpleQuery->isVisible());

    chooseAction("Add Table");
    EXPECT_EQ(status(), kAddInstruction);
    EXPECT_EQ(shown(), (std::vector<bool>{true, true, false, false, false}));
    typeInto(w->txtTableName, "People");

    chooseAction("Copy Table");
    EXPECT_EQ(status(), kCopyInstruction);
    EXPECT_EQ(shown(), (std::vector<bool>{false, true, true, true, true}));
    typeInto(w->txtNewTableName, "OrdersCopy");

    chooseAction("Delete Table");
    EXPECT_EQ(status(), kDeleteInstruction);
    EXPECT_EQ(shown(), (std::vector<bool>{false, true, false, false, true}));

    chooseAction("Add Table");
    EXPECT_EQ(w->txtTableName->text(), "People");
    chooseAction("Copy Table");
    EXPECT_EQ(w->txtNewTableName->text(), "OrdersCopy");
    EXPECT_EQ(w->txtTableName->text(), "People");
    EXPECT_EQ(db.executed, Texts{}) << "picking an action runs nothing";
    EXPECT_EQ(boxes(), Texts{});
}

TEST_F(SimpleQuery, AnyOtherActionIsNotSupportedAndTheChosenOneStays) {
    chooseAction("Delete Table");
    pick(w->cboSQuery2, "Orders");
    // The list holds the three actions only; a fourth item stands for any
    // other text the list might come to hold.
    w->cboSQuery1->addItem(QStringLiteral("Rename Table"));
    chooseAction("Rename Table");
    EXPECT_EQ(boxes(), Texts{"Sorry that action is not supported"});
    EXPECT_EQ(shown(), (std::vector<bool>{false, false, false, false, false}));
    EXPECT_EQ(status(), kDeleteInstruction) << "the status line keeps its text";
    // The delete is still the chosen action.
    click(w->cmdRunSimpleQuery);
    EXPECT_EQ(db.executed, Texts{"DROP TABLE Orders"});
}

TEST_F(SimpleQuery, RunQueryBeforeAnyActionDoesNothing) {
    bool dialog = false;
    whenModal([&](QDialog* d) {
        dialog = true;
        d->close();
    });
    const int opens = db.opens;
    click(w->cmdRunSimpleQuery);
    QTest::keyClick(w->cmdRunSimpleQuery, Qt::Key_Return);
    EXPECT_FALSE(dialog);
    EXPECT_EQ(db.executed, Texts{});
    EXPECT_EQ(db.opens, opens);
    EXPECT_EQ(status(), "");
    EXPECT_EQ(boxes(), Texts{});
}

TEST_F(SimpleQuery, AddTableBuildsItsStatementFromTheDialogsFieldsWithUpperCasedTypes) {
    chooseAction("Add Table");
    typeInto(w->txtTableName, "People");
    const int opens = db.opens;
    runAddTable({{"Name", "Text"}, {"Age", "Integer"}});
    EXPECT_EQ(boxes(), Texts{});
    EXPECT_EQ(db.executed, Texts{"CREATE TABLE People(Name TEXT, Age INTEGER)"});
    EXPECT_EQ(status(), "Table People was added");
    EXPECT_EQ(basGlobal::intFieldCount, 0) << "the count is reset once the table is made";
    EXPECT_EQ(db.opens, opens + 1);
    for (QComboBox* list : {w->cboTables, w->cboQuery3, w->cboSQuery2})
        EXPECT_EQ(items(list), (Texts{"Orders", "Order Details", "People"}));

    // The action stays chosen; the dialog starts empty each time, its six
    // types once; a type stays picked for the next field; a blank in a
    // name goes in unbracketed.
    typeInto(w->txtTableName, " Ledger");
    bool fresh = false;
    whenModal([&](QDialog* d) {
        auto* dialog = qobject_cast<frmTableFields*>(d);
        ASSERT_NE(dialog, nullptr);
        fresh = dialog->lstAllFields->count() == 0 && dialog->cboFieldType->count() == 6 &&
                dialog->cboFieldType->currentText().isEmpty();
        addFields(dialog, {{"Paid", "YesNo"}, {"Cost", "Currency"}, {"Tax", ""}, {"Note", "Memo"}, {"Day", "Date"}});
        QTest::mouseClick(dialog->cmdDone, Qt::LeftButton);
    });
    click(w->cmdRunSimpleQuery);
    EXPECT_TRUE(fresh) << "the dialog did not start empty with six types";
    EXPECT_EQ(db.executed.back(),
              "CREATE TABLE People Ledger(Paid YESNO, Cost CURRENCY, Tax CURRENCY, Note MEMO, Day DATE)");
    EXPECT_EQ(status(), "Table People Ledger was added");

    // One field gives no comma; the close box ends the dialog like "Done";
    // no field at all gives empty parentheses.
    runAddTable({{"Only", "Text"}}, true);
    EXPECT_EQ(db.executed.back(), "CREATE TABLE People Ledger(Only TEXT)");
    runAddTable({});
    EXPECT_EQ(db.executed.back(), "CREATE TABLE People Ledger()");
    EXPECT_EQ(db.executed.size(), 4u);
}

TEST_F(SimpleQuery, DeleteAndCopyBuildTheirStatementsFromTheListAndTheNewName) {
    chooseAction("Delete Table");
    pick(w->cboSQuery2, "Orders");
    int opens = db.opens;
    click(w->cmdRunSimpleQuery);
    EXPECT_EQ(db.executed, Texts{"DROP TABLE Orders"});
    EXPECT_EQ(status(), "Table Orders was deleted");
    EXPECT_EQ(db.opens, opens + 1);
    for (QComboBox* list : {w->cboTables, w->cboQuery3, w->cboSQuery2})
        EXPECT_EQ(items(list), Texts{"Order Details"});

    chooseAction("Copy Table");
    EXPECT_EQ(status(), kCopyInstruction);
    pick(w->cboSQuery2, "Order Details");
    typeInto(w->txtNewTableName, "OrdersCopy");
    opens = db.opens;
    // Enter in the panel presses "Run Query", the window's default button.
    QTest::keyClick(w->txtNewTableName, Qt::Key_Return);
    EXPECT_EQ(db.executed.back(), "SELECT * INTO OrdersCopy FROM Order Details");
    EXPECT_EQ(status(), "Table Order Details was copied to a new table called OrdersCopy");
    EXPECT_EQ(db.opens, opens + 1);
    EXPECT_EQ(items(w->cboTables), (Texts{"Order Details", "OrdersCopy"}));
    EXPECT_EQ(w->txtNewTableName->text(), "OrdersCopy") << "the boxes keep their texts after a run";
    EXPECT_EQ(boxes(), Texts{});
    EXPECT_EQ(messages(), "") << "results go to the status line only";
}

TEST_F(SimpleQuery, ARefusedStatementIsReportedWithItsNumberAndChangesNeitherStatusNorLists) {
    db.execute = [](const std::string& s) {
        if (s.rfind("CREATE", 0) == 0) throw ado::Error(3010, "Table 'Orders' already exists.");
        throw ado::Error(3376, "Table 'Gone' does not exist.");
    };
    chooseAction("Add Table");
    typeInto(w->txtTableName, "Orders");
    const int opens = db.opens;
    runAddTable({{"A", "Text"}});
    EXPECT_EQ(db.executed, Texts{"CREATE TABLE Orders(A TEXT)"});
    EXPECT_EQ(boxes(), Texts{"3010Table 'Orders' already exists."});
    EXPECT_EQ(status(), kAddInstruction);
    EXPECT_EQ(db.opens, opens) << "a refused statement must not reload the lists";

    chooseAction("Copy Table");
    typeInto(w->txtNewTableName, "Copy");
    click(w->cmdRunSimpleQuery);
    EXPECT_EQ(db.executed.back(), "SELECT * INTO Copy FROM ") << "nothing is picked in the table list";
    EXPECT_EQ(boxes().back(), "3376Table 'Gone' does not exist.");
    EXPECT_EQ(status(), kCopyInstruction);
    EXPECT_EQ(db.opens, opens);
    EXPECT_EQ(items(w->cboTables), (Texts{"Orders", "Order Details"}));
}

}  // namespace
}  // namespace uitest
