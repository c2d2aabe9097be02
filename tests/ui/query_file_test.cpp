// SPDX-License-Identifier: Apache-2.0
// Both query panels against private copies of corpus files, the file read
// back through the engine and through mdbtools: a SELECT shown in the grid,
// statements run for their effect, a failing statement that leaves the
// file as it was, a long one stopped as it runs, and the three table
// actions.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdio>

#include "flexgrid/flex_grid.h"
#include "queries/frm_running.h"
#include "support/query_fixture.h"
#include "support/testdata.h"

namespace uitest {
namespace {

using Texts = std::vector<std::string>;
const std::string kInvalidResult = "Your Query returned an invalid result, Please try entering query again";
// Table2 (id, data) holds foo0 to foo2, Table3 (id, data) bar10 to bar13.
const char* const kFile = "indexTestV2000.mdb";

std::string output(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
    return out;
}

// The body of an mdb-export, without its heading line.
std::string rows(const std::string& csv) { return csv.substr(csv.find('\n') + 1); }

class QueryFile : public QueryTest {
protected:
    void openFile(const char* file = kFile) {
        copy = std::make_unique<testdata::Copy>(file);
        open(copy->path());
        ASSERT_EQ(boxes(), Texts{});
    }
    std::string tables() { return output("mdb-tables -1 '" + copy->path() + "'"); }
};

TEST_F(QueryFile, ASelectWithWhereAndOrderByIsShownAndTheNextRunOnlyExecutesIt) {
    SKIP_WITHOUT_CORPUS();
    openFile();
    openQueryPanel();
    pick(w->cboQuery1, "SELECT");
    typeQuery(" id, data");
    pick(w->cboQuery1, "FROM");
    pick(w->cboQuery3, "Table3");
    pick(w->cboQuery1, "WHERE");
    typeQuery(" id");
    pick(w->cboQuery2, ">");
    typeQuery(" 10");
    pick(w->cboQuery1, "ORDER BY");
    typeQuery(" id DESC");
    ASSERT_EQ(query(), " SELECT id, data FROM [Table3] WHERE id > 10 ORDER BY id DESC");
    tickDisplayResult();
    run();
    EXPECT_EQ(boxes(), Texts{}) << details()[0];
    EXPECT_FALSE(w->chkDisplayResults->isChecked());
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 4);
    ASSERT_EQ(w->MSFlexGrid1->Cols(), 3);
    EXPECT_EQ(cell(0, 1), "id");
    EXPECT_EQ(cell(0, 2), "data");
    EXPECT_EQ((Texts{cell(1, 1), cell(2, 1), cell(3, 1)}), (Texts{"13", "12", "11"}));
    EXPECT_EQ((Texts{cell(1, 2), cell(2, 2), cell(3, 2)}), (Texts{"bar13", "bar12", "bar11"}));
    EXPECT_EQ(w->txtTotalRec->text(), "3");
    // A computed number shows as Access shows it, in 15 digits at most.
    replaceQuery("SELECT id / 3, id * 0.1 FROM Table3 WHERE id = 11");
    tickDisplayResult();
    run();
    EXPECT_EQ((Texts{cell(1, 1), cell(1, 2)}), (Texts{"3.66666666666667", "1.1"}));
    replaceQuery(" SELECT id, data FROM [Table3] WHERE id > 10 ORDER BY id DESC");
    tickDisplayResult();
    run();
    // A query's rows are no table's records: an edit is put back.
    clickCell(1, 2);
    type("edited");
    press(Qt::Key_Down);
    EXPECT_EQ(cell(1, 2), "bar13");
    EXPECT_EQ(messages(), "Row 1, column data was not saved: the grid shows no table, only a query's rows.");

    // Another table in the grid; Run without a tick executes the text and
    // reloads the lists, and the grid keeps that table.
    pick(w->cboTables, "Table2");
    ASSERT_EQ(cell(1, 2), "foo0");
    run();
    EXPECT_EQ(boxes(), Texts{});
    EXPECT_EQ(cell(1, 2), "foo0");
    EXPECT_EQ(w->cboTables->currentIndex(), -1) << "the lists were not reloaded";
    EXPECT_EQ(items(w->cboTables), (Texts{"Table1", "Table2", "Table3"}));
    // With the table list blank, an edit still goes to the table shown.
    clickCell(1, 2);
    type("foo0 edited");
    press(Qt::Key_Down);
    EXPECT_EQ(stored("Table2", 1, "data"), "foo0 edited") << messages();
    EXPECT_EQ(cell(1, 2), "foo0 edited");
}

TEST_F(QueryFile, AnInsertIsWrittenAndAFailingStatementLeavesTheFileAsItWas) {
    SKIP_WITHOUT_CORPUS();
    openFile();
    openQueryPanel();
    typeQuery("INSERT INTO Table3 (id, data) VALUES (14, 'bar14')");
    run();
    EXPECT_EQ(boxes(), Texts{}) << details()[0];
    EXPECT_EQ(storedCount("Table3"), 5);
    EXPECT_EQ(stored("Table3", 5, "data"), "bar14");
    EXPECT_EQ(rows(exported("Table3")), "10,\"bar10\"\n11,\"bar11\"\n12,\"bar12\"\n13,\"bar13\"\n14,\"bar14\"\n");

    const std::vector<unsigned char> before = copy->read();
    for (const std::string statement :
         {"INSERT INTO Table3 (id, nosuch) VALUES (15, 'x')", "SELEC * FROM Table3", "DELETE FROM Nowhere", ""}) {
        replaceQuery(statement);
        run();
        EXPECT_EQ(boxes().back(), kInvalidResult) << statement;
        EXPECT_FALSE(details().back().empty()) << statement << ": the provider's words are offered";
        EXPECT_EQ(query(), statement);
    }
    EXPECT_EQ(boxes().size(), 4u);
    // With "Display Result" ticked an action statement is refused unrun.
    replaceQuery("DELETE FROM Table3");
    tickDisplayResult();
    run();
    EXPECT_EQ(boxes().back(), kInvalidResult);
    EXPECT_TRUE(w->chkDisplayResults->isChecked());
    EXPECT_TRUE(copy->read() == before) << "a failed statement changed the file";
    EXPECT_EQ(storedCount("Table3"), 5);
    EXPECT_EQ(rows(exported("Table3")), "10,\"bar10\"\n11,\"bar11\"\n12,\"bar12\"\n13,\"bar13\"\n14,\"bar14\"\n");
}

// A statement that would run for hours, stopped in its running box by
// Escape or by "Cancel": the user is told so, the grid and the file are as
// they were, and the next statement runs on the same connection.
TEST_F(QueryFile, ARunningStatementIsStoppedAndChangesNothing) {
    SKIP_WITHOUT_CORPUS();
    // The count of Table3's four rows joined with themselves n times: 4^n.
    auto joined = [](int n) {
        std::string count = "(SELECT Count(*) FROM Table3 AS t0";
        for (int i = 1; i < n; ++i) count += ", Table3 AS t" + std::to_string(i);
        return count + ")";
    };
    // The statement after is long enough for a cancel still pending to stop it.
    const std::string slow = joined(16), quick = " AND " + joined(5) + " = 1024";
    struct Case {
        bool display;
        bool escape;
        std::string statement, next;
    };
    const Case cases[] = {
        // Three rows are written at once, the fourth waits for the count.
        {false, true, "INSERT INTO Table2 (id, data) SELECT id + 100, data FROM Table3 WHERE id < 13 OR " + slow + " > 0",
         "UPDATE Table3 SET data = 'after' WHERE id = 13" + quick},
        {true, false, "SELECT id, data FROM Table3 WHERE id < " + slow, "SELECT data, id FROM Table3 WHERE id = 13" + quick},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        services.messages.shown.clear();
        openFile();
        const std::vector<unsigned char> before = copy->read();
        const std::string table2 = exported("Table2"), table3 = exported("Table3");
        pick(w->cboTables, "Table2");
        openQueryPanel();
        replaceQuery(c.statement);
        if (c.display) tickDisplayResult();
        bool stopped = false;
        whenModal([&](QDialog* dialog) {
            auto* box = qobject_cast<frmRunning*>(dialog);
            ASSERT_NE(box, nullptr) << "not the running box";
            EXPECT_TRUE(QTest::qWaitFor([&] { return box->lblRowsRead->text() != "Rows read so far: 0"; }, 3000))
                << "the box shows no progress";
            // Stopped whatever else fails, so the test does not run on for hours.
            QWidget* focus = QApplication::focusWidget();
            EXPECT_TRUE(box->isAncestorOf(focus)) << "Escape would go elsewhere";
            if (c.escape) QTest::keyClick(box->isAncestorOf(focus) ? focus : box, Qt::Key_Escape);
            else QTest::mouseClick(box->cmdCancel, Qt::LeftButton);
            stopped = true;
        });
        run();
        ASSERT_TRUE(stopped);
        EXPECT_EQ(boxes(), Texts{"Operation has been cancelled by the user."});
        EXPECT_EQ(details()[0].rfind("3712 ", 0), 0u) << details()[0];
        EXPECT_EQ(w->findChild<frmRunning*>(), nullptr) << "the running box stayed";
        EXPECT_EQ(query(), c.statement);
        EXPECT_EQ(w->chkDisplayResults->isChecked(), c.display) << "the tick is spent only by an open";
        EXPECT_EQ(w->MSFlexGrid1->Rows(), 4);
        EXPECT_EQ((Texts{cell(0, 2), cell(1, 2), cell(3, 2)}), (Texts{"data", "foo0", "foo2"}));
        EXPECT_EQ(w->txtTotalRec->text(), "3");
        EXPECT_TRUE(copy->read() == before) << "a stopped statement changed the file";
        EXPECT_EQ(exported("Table2"), table2);
        EXPECT_EQ(exported("Table3"), table3);

        replaceQuery(c.next);
        run();
        EXPECT_EQ(boxes().size(), 1u) << details().back();
        if (c.display) {
            EXPECT_EQ((Texts{cell(0, 1), cell(1, 1), cell(1, 2)}), (Texts{"data", "bar13", "13"}));
        } else {
            EXPECT_EQ(stored("Table3", 4, "data"), "after");
            EXPECT_EQ(stored("Table3", 3, "data"), "bar12");
        }
    }
}

TEST_F(QueryFile, AddTableMakesATableOfTheEnteredFieldsAndTypes) {
    SKIP_WITHOUT_CORPUS();
    openFile();
    openSimplePanel();
    chooseAction("Add Table");
    typeInto(w->txtTableName, "People");
    runAddTable({{"Name", "Text"}, {"Age", "Integer"}, {"Notes", "Memo"}, {"Born", "Date"}, {"Paid", "Currency"},
                 {"Member", "YesNo"}});
    ASSERT_EQ(boxes(), Texts{});
    EXPECT_EQ(status(), "Table People was added");
    Texts listed = items(w->cboTables);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (Texts{"People", "Table1", "Table2", "Table3"}));
    EXPECT_NE(tables().find("People\n"), std::string::npos) << tables();
    const std::string schema = output("mdb-schema -T People '" + copy->path() + "' 2>/dev/null");
    for (const char* column : {"[Name]\t\t\tText", "[Age]\t\t\tLong Integer", "[Notes]\t\t\tMemo/Hyperlink",
                               "[Born]\t\t\tDateTime", "[Paid]\t\t\tCurrency", "[Member]\t\t\tBoolean"})
        EXPECT_NE(schema.find(column), std::string::npos) << column << " in\n" << schema;

    // The new table takes a row, read back by mdbtools.
    openQueryPanel();
    typeQuery("INSERT INTO People (Name, Age, Paid, Member) VALUES ('Ann', 41, 12.5, True)");
    run();
    EXPECT_EQ(boxes(), Texts{}) << details()[0];
    const std::string csv = output("mdb-export '" + copy->path() + "' People");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "Name,Age,Notes,Born,Paid,Member");
    EXPECT_NE(csv.find("\"Ann\",41,,,12.5"), std::string::npos) << csv;
}

TEST_F(QueryFile, DeleteTableRemovesTheTableButNotOneInARelationship) {
    SKIP_WITHOUT_CORPUS();
    // Every table of indexTestV2000 takes part in a relationship: refused,
    // said with the engine's number, and nothing changes.
    openFile();
    std::vector<unsigned char> before = copy->read();
    openSimplePanel();
    chooseAction("Delete Table");
    pick(w->cboSQuery2, "Table2");
    click(w->cmdRunSimpleQuery);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], "3303The table 'Table2' cannot be deleted: it takes part in one or more relationships.");
    EXPECT_EQ(items(w->cboSQuery2), (Texts{"Table1", "Table2", "Table3"}));
    EXPECT_EQ(status(), "Please select the name of the table to delete under table name")
        << "the status line keeps its instruction";
    EXPECT_TRUE(copy->read() == before);

    // testV2003's tables stand alone.
    services.messages.shown.clear();
    openFile("testV2003.mdb");
    const std::string table3 = exported("Table3");
    pick(w->cboTables, "Table2");  // the table shown in the grid goes
    openSimplePanel();
    chooseAction("Delete Table");
    pick(w->cboSQuery2, "Table2");
    click(w->cmdRunSimpleQuery);
    ASSERT_EQ(boxes(), Texts{});
    EXPECT_EQ(status(), "Table Table2 was deleted");
    EXPECT_EQ(items(w->cboSQuery2), (Texts{"Table1", "Table3", "Table4"}));
    EXPECT_EQ(tables(), "Table1\nTable3\nTable4\n");
    EXPECT_EQ(exported("Table3"), table3);

    // Run again, nothing is picked any more: refused and reported, and the
    // status line keeps its text.
    before = copy->read();
    click(w->cmdRunSimpleQuery);
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_EQ(status(), "Table Table2 was deleted");
    EXPECT_TRUE(copy->read() == before);
}

TEST_F(QueryFile, CopyTableMakesATableWithTheSameRows) {
    SKIP_WITHOUT_CORPUS();
    openFile();
    openSimplePanel();
    chooseAction("Copy Table");
    pick(w->cboSQuery2, "Table3");
    typeInto(w->txtNewTableName, "Table3Copy");
    click(w->cmdRunSimpleQuery);
    ASSERT_EQ(boxes(), Texts{});
    EXPECT_EQ(status(), "Table Table3 was copied to a new table called Table3Copy");
    Texts listed = items(w->cboTables);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (Texts{"Table1", "Table2", "Table3", "Table3Copy"}));
    EXPECT_EQ(exported("Table3Copy"), exported("Table3"));
    EXPECT_EQ(storedCount("Table3Copy"), 4);
    pick(w->cboTables, "Table3Copy");
    EXPECT_EQ(cell(4, 2), "bar13");
}

}  // namespace
}  // namespace uitest
