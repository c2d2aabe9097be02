// SPDX-License-Identifier: Apache-2.0
#include "query_fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ado/connection.h"
#include "ado/error.h"
#include "queries/frm_table_fields.h"
#include "support/testdata.h"

namespace uitest {

void QueryTest::TearDown() {
    EditTest::TearDown();
    server.reset();
}

void QueryTest::openScripted() {
    server = std::make_unique<ScriptedServer>(db);
    open("/scripted/database.mdb");
}

void QueryTest::press(QPushButton* button, Qt::MouseButton mouse) {
    QTest::mousePress(button, mouse);
    QTest::mouseRelease(button, mouse);
    QCoreApplication::processEvents();
}

void QueryTest::typeInto(QLineEdit* box, const std::string& text) {
    // A list's popup, once closed, can stay the active window offscreen.
    if (QApplication::activeWindow() != box->window()) QApplication::setActiveWindow(box->window());
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(box->hasFocus());
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClicks(box, QString::fromStdString(text));
    QCoreApplication::processEvents();
}

void QueryTest::replaceQuery(const std::string& text) {
    typeInto(w->txtQuery, "");
    QTest::keyClick(w->txtQuery, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w->txtQuery, Qt::Key_Delete);
    typeQuery(text);
}

std::string QueryTest::query() const { return w->txtQuery->text().toStdString(); }

void QueryTest::tickDisplayResult() {
    ASSERT_FALSE(w->chkDisplayResults->isChecked()) << "already ticked";
    click(w->chkDisplayResults);
    ASSERT_TRUE(w->chkDisplayResults->isChecked());
}

void QueryTest::run() { click(w->cmdRunQuery); }

std::string QueryTest::status() const { return w->lblQueryStatus->text().toStdString(); }

void QueryTest::addFields(frmTableFields* dialog, const Fields& fields) {
    for (const auto& [name, type] : fields) {
        QTest::mouseClick(dialog->txtFieldName, Qt::LeftButton);
        QTest::keyClicks(dialog->txtFieldName, QString::fromStdString(name));
        if (!type.empty()) {
            QComboBox* types = dialog->cboFieldType;
            const int i = types->findText(QString::fromStdString(type));
            ASSERT_GE(i, 0) << type << " is not a type of the list";
            types->showPopup();
            QAbstractItemView* view = types->view();
            QModelIndex item = view->model()->index(i, 0);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
            QCoreApplication::processEvents();
            ASSERT_EQ(types->currentText().toStdString(), type);
        }
        QTest::mouseClick(dialog->cmdAdd, Qt::LeftButton);
    }
}

void QueryTest::runAddTable(const Fields& fields, bool closeBox) {
    bool shown = false;
    whenModal([&](QDialog* d) {
        auto* dialog = qobject_cast<frmTableFields*>(d);
        ASSERT_NE(dialog, nullptr) << "not the Table Fields dialog";
        shown = true;
        addFields(dialog, fields);
        if (closeBox) dialog->close();
        else QTest::mouseClick(dialog->cmdDone, Qt::LeftButton);
    });
    click(w->cmdRunSimpleQuery);
    EXPECT_TRUE(shown) << "the Table Fields dialog did not show";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the dialog is still open";
}

std::vector<std::string> QueryTest::details() const {
    std::vector<std::string> out;
    for (const auto& b : services.messages.shown) out.push_back(b.detail);
    return out;
}


}  // namespace uitest
