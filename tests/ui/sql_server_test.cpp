// SPDX-License-Identifier: Apache-2.0
// The SQL Server path of "Open": the selector dialog, its listing of the
// server's databases, and the main window working on the chosen database,
// against the PostgreSQL test server where one runs; and what a user is
// told through FreeTDS, the driver of real SQL Servers, when none answers.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "connection/frm_sql_server.h"
#include "forms/twips.h"
#include "odbc/server_connection_string.h"
#include "support/test_server.h"
#include "support/window_fixture.h"

namespace uitest {
namespace {

class SqlServer : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ado::SetServerDriver("PostgreSQL Unicode");
        // The hidden source list, at "MS SQL ".
        w->cboType->setCurrentIndex(1);
    }
    void TearDown() override {
        WindowTest::TearDown();
        ado::SetServerDriver("");
    }

    // "Open", with `act` done on the selector as a person would; a selector
    // that `act` leaves open is closed by its frame.
    void openWith(const std::function<void(frmSQLServer&)>& act) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<frmSQLServer*>(QApplication::activeModalWidget());
            if (!dialog) return;
            shown = true;
            act(*dialog);
            if (dialog->isVisible()) dialog->close();
        });
        click(w->cmdOpen);
        EXPECT_TRUE(shown) << "no selector was shown";
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }

    static void type(QLineEdit* box, const std::string& text) {
        box->selectAll();
        QTest::keyClicks(box, QString::fromStdString(text));
    }
    static void login(frmSQLServer& d, const std::string& server = testserver::kServer,
                      const std::string& password = testserver::kPassword) {
        type(d.Server, server);
        type(d.UsernameEdit, testserver::kUser);
        type(d.PasswordEdit, password);
    }
    static std::vector<std::string> listed(const QComboBox* combo) {
        std::vector<std::string> out;
        for (int i = 0; i < combo->count(); ++i) out.push_back(combo->itemText(i).toStdString());
        return out;
    }
};

TEST_F(SqlServer, TheSelectorIsLaidOutAsDesignedAndItsFrameHandsNothingOver) {
    w->strDatabase = "kept";
    w->strServer = "kept-server";
    openWith([&](frmSQLServer& d) {
        EXPECT_EQ(d.windowTitle(), "SQL Server Selector");
        EXPECT_TRUE(d.isModal());
        EXPECT_EQ(d.size(), QSize(forms::ToPixels(4500), forms::ToPixels(3360)));
        EXPECT_EQ(d.Label1->text(), "Server");
        EXPECT_EQ(d.Label2->text(), "Username");
        EXPECT_EQ(d.Label3->text(), "Password");
        EXPECT_EQ(d.Label4->text(), "Select Database");
        EXPECT_EQ(d.cmdConnect->text(), "Connect");
        EXPECT_EQ(d.cmdOK->text(), "OK");
        EXPECT_EQ(d.Server->text(), "localhost");
        EXPECT_EQ(d.UsernameEdit->text(), "sa");
        EXPECT_EQ(d.PasswordEdit->text(), "");
        EXPECT_EQ(d.PasswordEdit->echoMode(), QLineEdit::Password);
        EXPECT_NE(d.PasswordEdit->styleSheet().indexOf("lineedit-password-character: 42"), -1);
        EXPECT_EQ(d.cboDb->count(), 0);
        EXPECT_TRUE(d.cboDb->isEditable());
        EXPECT_EQ(d.cboDb->geometry(), QRect(forms::ToPixels(1920), forms::ToPixels(2280), forms::ToPixels(2175),
                                             forms::ToPixels(315)));
        EXPECT_EQ(d.cmdOK->geometry(), QRect(forms::ToPixels(2640), forms::ToPixels(2760), forms::ToPixels(1455),
                                             forms::ToPixels(375)));
        // Tab walks the boxes, then OK, then Connect, and round again.
        std::vector<QWidget*> order;
        QWidget* at = d.Server;
        do {
            order.push_back(at);
            do at = at->nextInFocusChain();
            while (at != d.Server && (!(at->focusPolicy() & Qt::TabFocus) || at->focusProxy() || !at->isVisible()));
        } while (at != d.Server && order.size() < 20);
        std::vector<QWidget*> expected = {d.Server, d.UsernameEdit, d.PasswordEdit, d.cboDb, d.cmdOK, d.cmdConnect};
        EXPECT_EQ(order, expected);
        type(d.Server, "typed-but-not-taken");
    });
    EXPECT_EQ(w->strDatabase, "kept");
    EXPECT_EQ(w->strServer, "kept-server");
    EXPECT_TRUE(services.files.shown.empty()) << "no file dialog on the server path";
}

TEST_F(SqlServer, OkWithoutConnectHandsOverWhatWasTypedAndAFailedOpenIsReported) {
    openWith([&](frmSQLServer& d) {
        login(d, testserver::kNoServer, "a;b");
        d.cboDb->lineEdit()->setFocus();
        QTest::keyClicks(d.cboDb->lineEdit(), "Sales");
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    });
    EXPECT_EQ(w->strDatabase, "Sales");
    EXPECT_EQ(w->strServer, testserver::kNoServer);
    EXPECT_EQ(w->strUserName, testserver::kUser);
    EXPECT_EQ(w->strPassword, "a;b");
    // Nobody listens there: one box, number then text.
    std::vector<std::string> shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("-2147467259", 0), 0u) << shown[0];
    EXPECT_FALSE(hourglass());
}

TEST_F(SqlServer, AnEmptyDatabaseNameWithNoFileLeavesTheTableListDisabled) {
    openWith([&](frmSQLServer& d) { QTest::mouseClick(d.cmdOK, Qt::LeftButton); });
    EXPECT_EQ(w->strDatabase, "");
    EXPECT_EQ(w->strUserName, "sa");
    EXPECT_FALSE(w->cboTables->isEnabled());
    EXPECT_EQ(boxes(), std::vector<std::string>{});
}

TEST_F(SqlServer, AFailedConnectIsReportedAndTheDialogStaysUsable) {
    SKIP_WITHOUT_SERVER();
    openWith([&](frmSQLServer& d) {
        login(d, testserver::kServer, "wrong");
        QTest::mouseClick(d.cmdConnect, Qt::LeftButton);
        login(d, testserver::kNoServer);
        QTest::mouseClick(d.cmdConnect, Qt::LeftButton);
        EXPECT_EQ(d.cboDb->count(), 0);
        EXPECT_TRUE(d.isVisible());
        login(d);
        QTest::mouseClick(d.cmdConnect, Qt::LeftButton);
        EXPECT_GT(d.cboDb->count(), 0);
    });
    std::vector<std::string> shown = boxes();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0].find("password authentication failed"), std::string::npos) << shown[0];
    for (const std::string& s : shown) EXPECT_EQ(s.rfind("-2147467259[", 0), 0u) << s;
}

TEST_F(SqlServer, ThroughFreeTdsARefusedServerIsReportedOnConnectAndOnOpenAndTheWindowsStayUsable) {
    SKIP_WITHOUT_FREETDS();
    openWith([&](frmSQLServer& d) {
        login(d, testserver::kNoServer, "a;b");
        d.cboDb->lineEdit()->setFocus();
        QTest::keyClicks(d.cboDb->lineEdit(), "Sales");
        QTest::mouseClick(d.cmdConnect, Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.cboDb->count(), 0);
        EXPECT_EQ(d.cboDb->currentText(), "Sales");
        // Another server, typed after the message; Connect is tried again.
        type(d.Server, "localhost,1");
        QTest::mouseClick(d.cmdConnect, Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    });
    EXPECT_EQ(w->strServer, "localhost,1");
    EXPECT_EQ(w->strDatabase, "Sales");
    // Two Connects, then the main window's open: each one box, number then
    // the driver's reason.
    std::vector<std::string> shown = boxes();
    ASSERT_EQ(shown.size(), 3u);
    for (const std::string& s : shown) {
        EXPECT_EQ(s.rfind("-2147467259[08S01] ", 0), 0u) << s;
        EXPECT_NE(s.find("Unable to connect"), std::string::npos) << s;
    }
    EXPECT_FALSE(hourglass());
    EXPECT_EQ(items(w->cboTables), std::vector<std::string>{});
    // Open again: the selector comes up afresh, its frame hands nothing over,
    // and the open of the kept values is tried anew and refused the same way.
    openWith([&](frmSQLServer& d) { EXPECT_EQ(d.Server->text(), "localhost"); });
    EXPECT_EQ(w->strServer, "localhost,1");
    shown = boxes();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[3].rfind("-2147467259[08S01] ", 0), 0u) << shown[3];
}

TEST_F(SqlServer, ConnectListsTheCatalogsAndOkOpensTheDatabaseInTheMainWindow) {
    SKIP_WITHOUT_SERVER();
    testserver::Run("DROP TABLE IF EXISTS srv_ui_people");
    testserver::Run("CREATE TABLE srv_ui_people (id integer PRIMARY KEY, name varchar(20))");
    testserver::Run("INSERT INTO srv_ui_people VALUES (2, 'Bea'), (1, 'Al')");
    openWith([&](frmSQLServer& d) {
        login(d);
        QTest::mouseClick(d.cmdConnect, Qt::LeftButton);
        std::vector<std::string> once = listed(d.cboDb);
        ASSERT_FALSE(once.empty());
        // One row per schema, each naming the one database.
        for (const std::string& name : once) EXPECT_EQ(name, testserver::kDatabase);
        EXPECT_EQ(d.cboDb->currentIndex(), -1);
        QTest::mouseClick(d.cmdConnect, Qt::LeftButton);
        EXPECT_EQ(listed(d.cboDb).size(), 2 * once.size()) << "Connect appends without clearing";
        d.cboDb->setCurrentIndex(0);
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    });
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    EXPECT_EQ(w->strDatabase, testserver::kDatabase);
    EXPECT_EQ(w->strPassword, testserver::kPassword);
    EXPECT_EQ(w->txtFileName->text(), "");
    EXPECT_TRUE(w->cboTables->isEnabled());
    EXPECT_TRUE(w->cmdQuery->isEnabled());
    std::vector<std::string> tables = items(w->cboTables);
    EXPECT_NE(std::find(tables.begin(), tables.end(), "srv_ui_people"), tables.end());
    EXPECT_EQ(items(w->cboQuery3), tables);
    EXPECT_EQ(items(w->cboSQuery2), tables);

    pick(w->cboTables, "srv_ui_people");
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    EXPECT_EQ(cell(0, 1), "id");
    EXPECT_EQ(cell(0, 2), "name");
    EXPECT_EQ(cell(1, 1), "1");
    EXPECT_EQ(cell(1, 2), "Al");
    EXPECT_EQ(cell(2, 2), "Bea");

    // Opening again closes the first connection; each name is listed once.
    openWith([&](frmSQLServer& d) {
        login(d);
        d.cboDb->setEditText(QString::fromStdString(testserver::kDatabase));
        QTest::mouseClick(d.cmdOK, Qt::LeftButton);
    });
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    EXPECT_EQ(items(w->cboTables), tables);
}

}  // namespace
}  // namespace uitest
