// SPDX-License-Identifier: Apache-2.0
#include "window_fixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QAbstractTextDocumentLayout>
#include <QTest>

#include "flexgrid/flex_grid.h"

namespace uitest {

void WindowTest::SetUp() {
    w = std::make_unique<frmViewDb>(services.seams());
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
}

void WindowTest::TearDown() { w.reset(); }

void WindowTest::click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
    QCoreApplication::processEvents();
}

void WindowTest::pick(QComboBox* combo, const std::string& text) {
    int i = combo->findText(QString::fromStdString(text));
    ASSERT_GE(i, 0) << text << " is not in the list";
    ASSERT_TRUE(combo->isEnabled()) << "the list is disabled";
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QModelIndex item = view->model()->index(i, 0);
    view->scrollTo(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
    QCoreApplication::processEvents();
    ASSERT_FALSE(view->isVisible()) << "the list did not close";
}

void WindowTest::open(const std::string& file, const std::string& password) {
    if (!password.empty()) {
        if (!w->chkPassword->isChecked()) click(w->chkPassword);
        w->txtPassword->clear();
        QTest::keyClicks(w->txtPassword, QString::fromStdString(password));
    }
    services.files.Choose(file);
    click(w->cmdOpen);
}

void WindowTest::serve(std::vector<MemoryTable> tables) {
    std::vector<std::string> names;
    for (const MemoryTable& t : tables) names.push_back(t.name);
    w->cnDb.Open(std::make_unique<MemoryProvider>(std::move(tables)));
    for (const std::string& name : names) w->cboTables->addItem(QString::fromStdString(name));
    w->cboTables->setCurrentIndex(-1);
    w->cboTables->setEnabled(true);
}

std::vector<std::string> WindowTest::items(const QComboBox* combo) const {
    std::vector<std::string> out;
    for (int i = 0; i < combo->count(); ++i) out.push_back(combo->itemText(i).toStdString());
    return out;
}

std::string WindowTest::cell(int row, int col) const { return w->MSFlexGrid1->TextMatrix(row, col); }

std::string WindowTest::messages() const { return w->txtMessages->toPlainText().toStdString(); }

bool WindowTest::messagesWhole() const {
    QPlainTextEdit* box = w->txtMessages;
    QCoreApplication::processEvents();
    const QRectF laidOut = box->document()->documentLayout()->blockBoundingRect(box->document()->lastBlock());
    const bool fits = box->verticalScrollBar()->maximum() == 0 && laidOut.bottom() <= box->viewport()->height() &&
                      box->document()->size().width() <= box->viewport()->width() + 1;
    return fits && box->toolTip() == box->toPlainText();
}

std::vector<std::string> WindowTest::boxes() const {
    std::vector<std::string> out;
    for (const auto& b : services.messages.shown) {
        EXPECT_EQ(b.title, "Ravelin");
        EXPECT_EQ(b.buttons, seams::vbOKOnly + seams::vbInformation);
        out.push_back(b.prompt);
    }
    return out;
}

bool WindowTest::hourglass() const { return w->cursor().shape() == Qt::WaitCursor; }

}  // namespace uitest
