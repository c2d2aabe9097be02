// SPDX-License-Identifier: Apache-2.0
// The Table Fields dialog on its own: its window and controls, "Add" with
// the mouse and with Enter, the fields it hands over, how it ends, and the
// refusal of a field beyond the hundred the arrays hold.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "forms/twips.h"
#include "queries/frm_table_fields.h"
#include "shared/bas_global.h"
#include "support/query_fixture.h"

namespace uitest {
namespace {

using Texts = std::vector<std::string>;

class TableFields : public QueryTest {
protected:
    std::vector<std::string> listed(const frmTableFields& d) const {
        std::vector<std::string> out;
        for (int i = 0; i < d.lstAllFields->count(); ++i) out.push_back(d.lstAllFields->item(i)->text().toStdString());
        return out;
    }
    // Shows a dialog for the test to drive directly.
    std::unique_ptr<frmTableFields> shownDialog() {
        auto d = std::make_unique<frmTableFields>(w.get(), services.messages);
        d->show();
        d->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(d.get()));
        if (QApplication::activeWindow() != d.get()) QApplication::setActiveWindow(d.get());
        return d;
    }
};

TEST_F(TableFields, TheWindowAndItsControlsAreAsDesigned) {
    basGlobal::intFieldCount = 7;  // left from an earlier table
    std::unique_ptr<frmTableFields> d = shownDialog();
    EXPECT_EQ(basGlobal::intFieldCount, 0) << "loading discards the fields of an earlier table";
    EXPECT_EQ(d->windowTitle(), "");
    EXPECT_TRUE(d->windowFlags() & Qt::Tool);
    EXPECT_FALSE(d->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(d->isModal());
    EXPECT_EQ(d->size(), QSize(forms::ToPixels(4515), forms::ToPixels(3825)));
    EXPECT_EQ(d->minimumSize(), d->maximumSize()) << "the size is fixed";
    EXPECT_EQ(d->Label3->text(), "Table Structure");
    EXPECT_TRUE(d->Label3->font().bold());
    EXPECT_EQ(d->Label1->text(), "Field Name:");
    EXPECT_EQ(d->Label2->text(), "Field Type:");
    EXPECT_EQ(d->cmdAdd->text(), "Add");
    EXPECT_EQ(d->cmdDone->text(), "Done");
    EXPECT_TRUE(d->cmdAdd->isDefault());
    EXPECT_FALSE(d->cmdDelete->isVisible());
    EXPECT_FALSE(d->cmdRename->isVisible());
    EXPECT_EQ(items(d->cboFieldType), (Texts{"Text", "Memo", "Integer", "Date", "Currency", "YesNo"}));
    EXPECT_EQ(d->cboFieldType->currentText(), "") << "the type box starts empty";
    EXPECT_EQ(d->lstAllFields->count(), 0);
    EXPECT_EQ(d->txtFieldName->text(), "");
    // Tab goes name, type, list, Add, Done.
    d->txtFieldName->setFocus();
    Texts order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.push_back(QApplication::focusWidget()->metaObject()->className());
    }
    EXPECT_EQ(order, (Texts{"QComboBox", "QListWidget", "QPushButton", "QPushButton"}));
    EXPECT_EQ(QApplication::focusWidget(), d->cmdDone);
}

TEST_F(TableFields, AddAppendsToTheListAndTheArraysAndKeepsTheType) {
    std::unique_ptr<frmTableFields> d = shownDialog();
    addFields(d.get(), {{"Name", "Text"}});
    EXPECT_EQ(d->txtFieldName->text(), "") << "the name box is cleared";
    EXPECT_EQ(d->cboFieldType->currentText(), "Text") << "the type stays picked";
    // Enter presses "Add", the default button.
    QTest::mouseClick(d->txtFieldName, Qt::LeftButton);
    QTest::keyClicks(d->txtFieldName, "Nick");
    QTest::keyClick(d->txtFieldName, Qt::Key_Return);
    EXPECT_TRUE(d->isVisible()) << "Enter must not end the dialog";
    addFields(d.get(), {{"Age", "Integer"}, {"", ""}, {"Age", ""}});
    EXPECT_EQ(basGlobal::intFieldCount, 5);
    EXPECT_EQ(listed(*d), (Texts{"Name", "Nick", "Age", "", "Age"})) << "names only, empty and twice accepted";
    const Texts names{"Name", "Nick", "Age", "", "Age"}, types{"Text", "Text", "Integer", "Integer", "Integer"};
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(basGlobal::strFieldNames[i], names[i - 1]) << i;
        EXPECT_EQ(basGlobal::strFieldTypes[i], types[i - 1]) << i;
    }

    // Before any type is picked, a field gets an empty type.
    d = shownDialog();
    EXPECT_EQ(basGlobal::intFieldCount, 0);
    addFields(d.get(), {{"Untyped", ""}});
    EXPECT_EQ(basGlobal::intFieldCount, 1);
    EXPECT_EQ(basGlobal::strFieldNames[1], "Untyped");
    EXPECT_EQ(basGlobal::strFieldTypes[1], "");
    EXPECT_EQ(boxes(), Texts{});
}

TEST_F(TableFields, DoneAndTheCloseBoxEndTheDialogAndEscapeDoesNot) {
    std::unique_ptr<frmTableFields> d = shownDialog();
    addFields(d.get(), {{"Kept", "Memo"}});
    QTest::keyClick(d->txtFieldName, Qt::Key_Escape);
    EXPECT_TRUE(d->isVisible()) << "there is no cancel";
    QTest::mouseClick(d->cmdDone, Qt::LeftButton);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(basGlobal::intFieldCount, 1) << "Done keeps the fields for the caller";
    EXPECT_EQ(basGlobal::strFieldTypes[1], "Memo");

    d = shownDialog();
    EXPECT_TRUE(d->close());
    EXPECT_FALSE(d->isVisible());
}

TEST_F(TableFields, AHundredAndFirstFieldIsRefusedWithCountListAndArraysInStep) {
    std::unique_ptr<frmTableFields> d = shownDialog();
    addFields(d.get(), {{"F1", "Text"}});
    for (int i = 2; i <= 100; ++i) addFields(d.get(), {{"F" + std::to_string(i), ""}});
    ASSERT_EQ(basGlobal::intFieldCount, 100);
    EXPECT_EQ(boxes(), Texts{});

    QTest::mouseClick(d->txtFieldName, Qt::LeftButton);
    QTest::keyClicks(d->txtFieldName, "F101");
    QTest::mouseClick(d->cmdAdd, Qt::LeftButton);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].find("100 fields"), std::string::npos) << boxes()[0];
    EXPECT_EQ(basGlobal::intFieldCount, 100);
    EXPECT_EQ(d->lstAllFields->count(), 100);
    EXPECT_EQ(d->lstAllFields->item(99)->text(), "F100");
    EXPECT_EQ(basGlobal::strFieldNames[100], "F100");
    EXPECT_EQ(d->txtFieldName->text(), "F101") << "the refused name stays in its box";
    EXPECT_TRUE(d->isVisible());
}

TEST_F(TableFields, AHundredFieldsGoIntoOneStatement) {
    db.tables = {Table("Orders", TextFields(1), 1)};
    openScripted();
    openSimplePanel();
    chooseAction("Add Table");
    typeInto(w->txtTableName, "Wide");
    whenModal([&](QDialog* dialog) {
        auto* d = qobject_cast<frmTableFields*>(dialog);
        ASSERT_NE(d, nullptr);
        addFields(d, {{"F1", "Text"}});
        for (int i = 2; i <= 101; ++i) addFields(d, {{"F" + std::to_string(i), ""}});
        QTest::mouseClick(d->cmdDone, Qt::LeftButton);
    });
    click(w->cmdRunSimpleQuery);
    ASSERT_EQ(db.executed.size(), 1u);
    const std::string& s = db.executed[0];
    EXPECT_EQ(s.rfind("CREATE TABLE Wide(F1 TEXT, F2 TEXT, ", 0), 0u) << s;
    EXPECT_NE(s.find(", F100 TEXT)"), std::string::npos) << s;
    EXPECT_EQ(s.find("F101"), std::string::npos) << s;
    EXPECT_EQ(boxes().size(), 1u) << "only the refusal of the 101st field";
}

}  // namespace
}  // namespace uitest
