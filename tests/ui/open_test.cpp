// SPDX-License-Identifier: Apache-2.0
// "Open": the file dialog, the table lists and their filter, and opens
// that fail.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "connection/table_filter.h"
#include "flexgrid/flex_grid.h"
#include "support/window_fixture.h"
#include "support/testdata.h"

namespace uitest {
namespace {

using Open = WindowTest;

const std::vector<std::string> kTestTables = {"Table1", "Table2", "Table3", "Table4"};

// After an open that failed, or of another file, nothing of the database
// before stays on view.
void expectNothingShown(const frmViewDb& w) {
    EXPECT_EQ(w.MSFlexGrid1->Rows(), 1);
    EXPECT_EQ(w.MSFlexGrid1->Cols(), 1) << "no headings of the table before";
    EXPECT_EQ(w.txtTotalRec->text(), "");
    EXPECT_EQ(w.txtMessages->toPlainText(), "");
    EXPECT_FALSE(w.cmdFirstBunch->isEnabled());
}

TEST_F(Open, ListsTheUserTablesInAllThreeListsWithNothingSelected) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::file("testV2003.mdb"));
    ASSERT_EQ(services.files.shown.size(), 1u);
    EXPECT_EQ(services.files.shown[0].filter, "*.mdb");
    EXPECT_EQ(services.files.shown[0].filter_index, 1);
    EXPECT_EQ(w->txtFileName->text().toStdString(), testdata::file("testV2003.mdb"));
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    for (QComboBox* list : {w->cboTables, w->cboQuery3, w->cboSQuery2}) {
        EXPECT_EQ(items(list), kTestTables);
        EXPECT_EQ(list->currentIndex(), -1);
    }
    EXPECT_TRUE(w->cboTables->isEnabled());
    EXPECT_TRUE(w->cmdSave->isEnabled());
    EXPECT_TRUE(w->cmdQuery->isEnabled());
    EXPECT_TRUE(w->cmdSimplQuery->isEnabled());
    EXPECT_FALSE(hourglass());
}

TEST_F(Open, LeavesOutSystemTables) {
    SKIP_WITHOUT_CORPUS();
    // The file also has MSysCompactError, a table of type TABLE.
    open(testdata::file("bigIndexTestV2007.accdb"));
    EXPECT_EQ(items(w->cboTables), std::vector<std::string>{"Table1"});
    EXPECT_EQ(items(w->cboQuery3), std::vector<std::string>{"Table1"});
}

TEST_F(Open, TheTableFilterComparesPrefixesWithoutRegardToCase) {
    for (const char* hidden : {"MSysObjects", "msysACEs", "MSYS", "Switchboard Items", "SWITCHBOARDS", "switchboard"})
        EXPECT_FALSE(PassesTableFilter(hidden)) << hidden;
    // Shorter than a prefix, not equal to it, or not quite it.
    for (const char* shown : {"Customers", "MSY", "Switch", "", "M", " MSysObjects", "MSyx", "Switchbord Items", "Ärger"})
        EXPECT_TRUE(PassesTableFilter(shown)) << shown;
}

TEST_F(Open, OpeningAgainReplacesTheListsAndCancellingReopensTheSameFile) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::file("testV2003.mdb"));
    pick(w->cboTables, "Table1");
    open(testdata::file("testV2003.mdb"));
    EXPECT_EQ(items(w->cboTables), kTestTables);
    EXPECT_EQ(cell(0, 1), "A") << "the same file: its table stays on view";
    services.files.Cancel();
    click(w->cmdOpen);
    EXPECT_EQ(w->txtFileName->text().toStdString(), testdata::file("testV2003.mdb"));
    EXPECT_EQ(items(w->cboTables), kTestTables);
    EXPECT_EQ(items(w->cboSQuery2), kTestTables);
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    // Another file: a table of the file before would take its edits there.
    open(testdata::file("bigIndexTestV2007.accdb"));
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    expectNothingShown(*w);
}

TEST_F(Open, CancellingTheFirstOpenLeavesEverythingClosed) {
    services.files.Cancel();
    click(w->cmdOpen);
    EXPECT_EQ(services.files.shown.size(), 1u);
    EXPECT_EQ(w->txtFileName->text(), "");
    EXPECT_EQ(w->cboTables->count(), 0);
    EXPECT_FALSE(w->cboTables->isEnabled());
    EXPECT_FALSE(w->cmdSave->isEnabled());
    EXPECT_FALSE(w->cmdQuery->isEnabled());
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    EXPECT_FALSE(hourglass());
}

TEST_F(Open, AWrongPasswordIsReportedAndTheRightOneThenOpensSilently) {
    SKIP_WITHOUT_CORPUS();
    // A stored password, and Office encryption checked by its verifier; a
    // table on view before goes with the failed open.
    struct Case {
        const char* file;
        const char* password;
        const char* table;
    };
    size_t shown = 0;
    for (const Case& c : {Case{"V2000_with-password.mdb", "password", "Table1"},
                          Case{"db2013-enc.accdb", "1234", "Customers"}}) {
        open(testdata::file("testV2003.mdb"));
        pick(w->cboTables, "Table1");
        open(testdata::file(c.file), "wrong");
        EXPECT_EQ(boxes().size(), ++shown) << c.file;
        EXPECT_EQ(boxes().back(), "3031Not a valid password.") << c.file;
        EXPECT_EQ(w->cboTables->count(), 0);
        EXPECT_FALSE(hourglass());
        expectNothingShown(*w);

        open(testdata::file(c.file), c.password);
        EXPECT_EQ(boxes().size(), shown) << "the retry after 3704 must not show a message";
        EXPECT_EQ(items(w->cboTables), std::vector<std::string>{c.table});
    }
}

TEST_F(Open, AFileGivenToTheProgramOpensAndOneThatNeedsAPasswordAsksForIt) {
    SKIP_WITHOUT_CORPUS();
    w->OpenFile(testdata::file("testV2003.mdb"));
    EXPECT_TRUE(services.files.shown.empty()) << "no file dialog";
    EXPECT_EQ(w->txtFileName->text().toStdString(), testdata::file("testV2003.mdb"));
    EXPECT_EQ(items(w->cboTables), kTestTables);
    EXPECT_TRUE(w->cmdQuery->isEnabled());

    const std::string file = testdata::file("V2000_with-password.mdb");
    w->OpenFile(file);
    EXPECT_EQ(boxes(), std::vector<std::string>{"3031Not a valid password."});
    EXPECT_TRUE(w->chkPassword->isChecked());
    EXPECT_TRUE(w->txtPassword->isVisible());
    EXPECT_FALSE(hourglass());
    QTest::keyClicks(w->txtPassword, "password");
    services.files.Choose(file);
    click(w->cmdOpen);
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_EQ(items(w->cboTables), std::vector<std::string>{"Table1"});
}

TEST_F(Open, TypedPathsAndPasswordsAreOneValueWhatTheyHold) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::file("V2000_with-password.mdb"), "password;Mode=x");
    EXPECT_EQ(boxes(), std::vector<std::string>{"3031Not a valid password."});
    testdata::Copy copy("V2000_with-password.mdb");
    const std::string odd = std::filesystem::path(copy.path()).parent_path() / "semi;colon=x.mdb";
    std::filesystem::rename(copy.path(), odd);
    open(odd, "password");
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_EQ(items(w->cboTables), std::vector<std::string>{"Table1"});
}

TEST_F(Open, AFileThatIsNoDatabaseGivesOneMessageOfNumberAndDescription) {
    SKIP_WITHOUT_CORPUS();
    open(testdata::root() + "/large/big100k.mdb");
    pick(w->cboTables, "BigTable");
    std::filesystem::path file = std::filesystem::temp_directory_path() / "pellinordb-ui-not-a-database.mdb";
    std::ofstream(file) << "These are a few lines of plain text, not an Access database.\n";
    open(file.string());
    std::filesystem::remove(file);
    std::vector<std::string> shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(QRegularExpression("^\\d+[^\\d\\s]").match(QString::fromStdString(shown[0])).hasMatch()) << shown[0];
    EXPECT_EQ(shown[0].rfind("3343", 0), 0u) << shown[0];
    EXPECT_EQ(w->cboTables->count(), 0);
    EXPECT_FALSE(hourglass());
    expectNothingShown(*w);
}

TEST_F(Open, AMissingFileIsReportedAndTheNextOpenWorks) {
    SKIP_WITHOUT_CORPUS();
    open("/nonexistent/folder/missing.mdb");
    ASSERT_EQ(boxes().size(), 1u);
    open(testdata::file("testV2003.mdb"));
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_EQ(items(w->cboTables), kTestTables);
}

}  // namespace
}  // namespace uitest
