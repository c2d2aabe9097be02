// SPDX-License-Identifier: Apache-2.0
// The main window before any database is open: start-up state, resizing,
// the login boxes, the Add flyout and the About dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "flexgrid/flex_grid.h"
#include "forms/twips.h"
#include "mainwindow/frm_about.h"
#include "shared/version.h"
#include "support/window_fixture.h"

namespace uitest {
namespace {

using WindowStart = WindowTest;

TEST_F(WindowStart, OpensNothingAndDisablesWhatNeedsADatabase) {
    EXPECT_EQ(w->windowTitle(), "PellinorDB");
    EXPECT_FALSE(w->cboTables->isEnabled());
    EXPECT_FALSE(w->cmdQuery->isEnabled());
    EXPECT_FALSE(w->cmdSimplQuery->isEnabled());
    EXPECT_FALSE(w->cmdFirstBunch->isEnabled());
    EXPECT_FALSE(w->cmdLastBunch->isEnabled());
    EXPECT_TRUE(w->cmdSave->isEnabled());
    EXPECT_EQ(w->cnDb.State(), ado::adStateClosed);
    for (int r = 0; r < w->MSFlexGrid1->Rows(); ++r)
        for (int c = 0; c < w->MSFlexGrid1->Cols(); ++c) EXPECT_EQ(cell(r, c), "");
    EXPECT_EQ(messages(), "");
    EXPECT_EQ(services.web.navigations, std::vector<std::string>{"/images/db/advertise.html"});
    // The source types are there but hidden; their label stands instead.
    EXPECT_FALSE(w->cboType->isVisible());
    EXPECT_EQ(w->cboType->count(), 6);
    EXPECT_EQ(w->cboType->currentIndex(), -1);
    EXPECT_EQ(w->Label10->text(), "Type -currently ony MS Access is supported");
    EXPECT_FALSE(w->fraQuery->isVisible());
    EXPECT_FALSE(w->fraSimpleQuery->isVisible());
}

TEST_F(WindowStart, ResizingKeepsTheMinimumWidthAndStretchesTheGrid) {
    auto outer = [&] { return forms::ToTwips(w->frameGeometry().width()); };
    auto expectLayout = [&](int W) {
        EXPECT_EQ(w->MSFlexGrid1->width(), forms::ToPixels(W - 500));
        EXPECT_EQ(w->ProgressBar1->width(), forms::ToPixels(W - 500));
        EXPECT_EQ(w->fraQuery->width(), forms::ToPixels(W - 400));
        EXPECT_EQ(w->fraSimpleQuery->width(), forms::ToPixels(W - 400));
        EXPECT_EQ(w->hitWeb->width(), forms::ToPixels(W + 500));
    };
    w->resize(300, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(outer(), 9540);
    EXPECT_EQ(w->height(), 600);  // the height is free
    expectLayout(9540);

    w->resize(800, 600);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->width(), 800);
    expectLayout(outer());
}

TEST_F(WindowStart, BothQueryPanelsFitWholeInTheWindowAtItsStartingSize) {
    // On a 1280 x 800 screen, with a title bar.
    EXPECT_LE(w->frameGeometry().width(), 1280);
    EXPECT_LE(w->height() + 40, 800);
    for (QFrame* panel : {w->fraQuery, w->fraSimpleQuery}) {
        EXPECT_LT(panel->geometry().bottom(), w->height());
        for (QWidget* control : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(panel->rect().contains(control->geometry())) << control->metaObject()->className();
    }
}

TEST_F(WindowStart, RequirePasswordShowsTheLoginBoxesAndHidingKeepsTheirText) {
    QWidget* login[] = {w->lblUName, w->txtUName, w->lblPassword, w->txtPassword};
    for (QWidget* c : login) EXPECT_FALSE(c->isVisible());
    click(w->chkPassword);
    for (QWidget* c : login) EXPECT_TRUE(c->isVisible());
    QTest::keyClicks(w->txtUName, "admin");
    QTest::keyClicks(w->txtPassword, "secret");
    EXPECT_EQ(w->txtPassword->displayText(), "******");
    click(w->chkPassword);
    for (QWidget* c : login) EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(w->txtUName->text(), "admin");
    EXPECT_EQ(w->txtPassword->text(), "secret");
}

TEST_F(WindowStart, AddOpensTheFlyoutAndItClosesOnUseFocusLossOrBareBackground) {
    click(w->cmdSave);
    ASSERT_TRUE(w->fraAddOps->isVisible());
    EXPECT_EQ(w->Command2->text(), "Row");
    EXPECT_EQ(w->Command3->text(), "Column");
    // Over a control the flyout stays.
    QTest::mouseMove(w.get(), w->Label4->geometry().center());
    QTest::mouseMove(w.get(), w->fraAddOps->geometry().center());
    EXPECT_TRUE(w->fraAddOps->isVisible());
    QTest::mouseMove(w.get(), QPoint(5, 5));
    EXPECT_FALSE(w->fraAddOps->isVisible());

    // Using one of its buttons closes it, and so does the focus leaving it.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    click(w->cmdSave);
    click(w->Command2);  // no table shown: nothing to add a row to
    EXPECT_FALSE(w->fraAddOps->isVisible());
    click(w->cmdSave);
    ASSERT_TRUE(w->fraAddOps->isVisible());
    click(w->chkPassword);
    EXPECT_FALSE(w->fraAddOps->isVisible());
}

TEST_F(WindowStart, AboutShowsItsModalDialogUntilClosed) {
    std::string title;
    QSize size;
    bool modal = false;
    std::string contact, rights;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        title = about->windowTitle().toStdString();
        size = about->size();
        modal = about->isModal();
        contact = about->Text1->text().toStdString();
        rights = about->Label3->text().toStdString();
        EXPECT_FALSE(about->Picture1->pixmap().isNull());
        QTest::mouseClick(about->Command1, Qt::LeftButton);
    });
    click(w->Command1);
    EXPECT_EQ(title, "PellinorDB -About");
    EXPECT_EQ(size, QSize(forms::ToPixels(6165), forms::ToPixels(2400)));
    EXPECT_TRUE(modal);
    EXPECT_FALSE(contact.empty());
    EXPECT_NE(rights.find(std::string("Version ") + kProgramVersion + ","), std::string::npos) << rights;
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace uitest
