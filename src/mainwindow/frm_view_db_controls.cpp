// SPDX-License-Identifier: Apache-2.0
// The controls of frmViewDb at their designed places, sizes and looks.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "flexgrid/flex_grid.h"
#include "forms/forms.h"
#include "frm_view_db.h"

namespace {

const QColor kWhite(0xFF, 0xFF, 0xFF);

template <typename Control>
Control* add(QWidget* parent, const char* caption, int left, int top, int width, int height, double points = 8.25,
             bool bold = false) {
    auto* c = new Control(parent);
    if constexpr (requires { c->setText(QString()); }) c->setText(QString::fromUtf8(caption));
    forms::Place(c, left, top, width, height);
    forms::SetFont(c, points, bold);
    return c;
}

// Labels keep the system's face colour unless the design says otherwise,
// so they stand out from the white window.
QLabel* label(QWidget* parent, const char* caption, int left, int top, int width, int height) {
    auto* l = add<QLabel>(parent, caption, left, top, width, height);
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    forms::SetBackColor(l, QApplication::palette().color(QPalette::Window));
    return l;
}

QLineEdit* textBox(QWidget* parent, int left, int top, int width, int height, double points, QColor text) {
    auto* t = add<QLineEdit>(parent, "", left, top, width, height, points);
    forms::SetForeColor(t, text);
    return t;
}

QComboBox* comboBox(QWidget* parent, int left, int top, int width, int height, double points = 8.25) {
    auto* c = add<QComboBox>(parent, "", left, top, width, height, points);
    // The list opens below the box, never over it.
    c->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    return c;
}

// Frames are opaque in the system's face colour, so a panel covers what
// lies under it (the web pane); only the background role is set, so the
// boxes and lists inside keep their own colours.
QFrame* frame(QWidget* parent, int left, int top, int width, int height) {
    auto* f = new QFrame(parent);
    f->setFrameShape(QFrame::Box);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    f->setPalette(p);
    f->setAutoFillBackground(true);
    forms::Place(f, left, top, width, height);
    f->hide();
    return f;
}

}  // namespace

// The message area is three lines high, so a refused save's reason is read
// whole; everything below it sits this much lower than in the design.
constexpr int kMessagesHeight = 735;
constexpr int kBelowMessages = kMessagesHeight - 375;

void frmViewDb::CreateControls() {
    setWindowTitle(QStringLiteral("PellinorDB"));
    forms::SetBackColor(this, kWhite);
    setFont(forms::ProgramFont());

    hitWeb = seams_.web.Create(this);
    forms::Place(hitWeb, 0, 6600 + kBelowMessages, 9735, 1335);

    Label2 = label(this, "Table List", 360, 240, 2415, 255);
    forms::SetForeColor(Label2, QColor(0x00, 0x00, 0xC0));
    cboTables = comboBox(this, 360, 600, 2415, 420, 12);
    cboTables->setEnabled(false);
    forms::SetForeColor(cboTables, QColor(0x00, 0x00, 0x40));
    Label1 = label(this, "Total Records:", 2760, 240, 1575, 255);
    forms::SetForeColor(Label1, QColor(0x00, 0x00, 0xFF));
    txtTotalRec = textBox(this, 2760, 600, 1455, 405, 12, QColor(0x00, 0x00, 0x80));
    // Captions too wide for their box take two lines, as the design's do.
    chkPassword = add<QCheckBox>(this, "Require\nPassword", 4440, 480, 1455, 495);
    forms::SetBackColor(chkPassword, kWhite);
    lblUName = label(this, "Username", 6000, 240, 1335, 255);
    lblUName->hide();
    txtUName = textBox(this, 6000, 600, 1455, 405, 9.75, QColor(0x00, 0x00, 0x80));
    txtUName->hide();
    lblPassword = label(this, "Password", 7560, 240, 1335, 255);
    lblPassword->hide();
    txtPassword = textBox(this, 7560, 600, 1455, 405, 8.25, QColor(0x00, 0x00, 0x80));
    forms::SetPasswordChar(txtPassword);
    txtPassword->hide();

    MSFlexGrid1 = new flexgrid::FlexGrid(this);
    forms::Place(MSFlexGrid1, 360, 1080, 8775, 3495);
    MSFlexGrid1->setFont(forms::ProgramFont());
    ctlTextList1 = textBox(this, 2040, 2400, 1455, 375, 8.25, QColor(0, 0, 0));
    forms::SetFont(ctlTextList1, 8.25, true);
    ctlTextList1->hide();

    Label4 = label(this, "Database messages:", 360, 4680, 2055, 375);
    txtMessages = add<QPlainTextEdit>(this, "", 2400, 4680, 4335, kMessagesHeight);
    forms::SetBackColor(txtMessages, kWhite);
    txtMessages->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtMessages->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    txtMessages->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtMessages->document()->setDocumentMargin(2);
    Label9 = label(this, "Navigation", 6840, 4680, 1215, 375);
    forms::SetBackColor(Label9, QColor(0xFF, 0xE0, 0xC0));
    cmdLastBunch = add<QPushButton>(this, "<<", 8040, 4680, 495, 375, 9.75);
    cmdLastBunch->setEnabled(false);
    cmdFirstBunch = add<QPushButton>(this, ">>", 8520, 4680, 495, 375, 9.75);
    cmdFirstBunch->setEnabled(false);

    Label3 = label(this, "Location", 360, 5160 + kBelowMessages, 1095, 375);
    txtFileName = textBox(this, 1440, 5160 + kBelowMessages, 5415, 375, 9.75, QColor(0x00, 0x00, 0x80));
    cmdOpen = add<QPushButton>(this, "Open", 6960, 5160 + kBelowMessages, 855, 375, 12, true);
    cmdSave = add<QPushButton>(this, "Add", 7800, 5160 + kBelowMessages, 1095, 375, 12, true);

    ProgressBar1 = add<QProgressBar>(this, "", 360, 5520 + kBelowMessages, 8895, 375);
    ProgressBar1->setTextVisible(false);
    cmdSimplQuery = add<QPushButton>(this, "SIMPLE QUERY", 360, 5880 + kBelowMessages, 1335, 495, 8.25, true);
    cmdSimplQuery->setEnabled(false);
    cmdQuery = add<QPushButton>(this, "ADVANCED\nQUERY", 1680, 5880 + kBelowMessages, 1335, 495, 8.25, true);
    cmdQuery->setEnabled(false);
    Label10 = label(this, "Type -currently ony MS Access is supported", 3480, 5880 + kBelowMessages, 4095, 375);
    forms::SetFont(Label10, 9.75);
    forms::SetForeColor(Label10, QColor(0x00, 0x00, 0xFF));
    forms::SetBackColor(Label10, kWhite);
    cboType = comboBox(this, 4200, 5880 + kBelowMessages, 3615, 360);
    cboType->hide();
    Command1 = add<QPushButton>(this, "About", 7800, 5880 + kBelowMessages, 1455, 375, 12);

    // The flyout opens over the progress bar and the About button.
    fraAddOps = frame(this, 7800, 5520 + kBelowMessages, 1095, 615);
    forms::SetBackColor(fraAddOps, kWhite);
    fraAddOps->setFrameShape(QFrame::NoFrame);
    Command2 = add<QPushButton>(fraAddOps, "Row", 0, 120, 1095, 255);
    Command3 = add<QPushButton>(fraAddOps, "Column", 0, 360, 1095, 255);

    // The query panels cover the web pane when shown.
    const QColor paleYellow(0xFF, 0xFF, 0xC0);
    fraQuery = frame(this, 360, 6480 + kBelowMessages, 9135, 1695);
    forms::SetFont(fraQuery, 9.75);
    Label5 = label(fraQuery, "Expressions", 120, 240, 2175, 255);
    cboQuery1 = comboBox(fraQuery, 120, 600, 2175, 420, 12);
    Label6 = label(fraQuery, "Operators", 2520, 240, 2175, 255);
    cboQuery2 = comboBox(fraQuery, 2520, 600, 2175, 420, 12);
    Label7 = label(fraQuery, "Tables", 4800, 240, 2175, 255);
    cboQuery3 = comboBox(fraQuery, 4800, 600, 2175, 420, 12);
    chkDisplayResults = add<QCheckBox>(fraQuery, "Display Result", 7080, 600, 1815, 375, 9.75);
    txtQuery = textBox(fraQuery, 120, 1080, 6975, 375, 9.75, QColor(0, 0, 0));
    cmdRunQuery = add<QPushButton>(fraQuery, "Run", 7200, 1080, 1335, 375, 12);
    forms::SetBackColor(cmdRunQuery, paleYellow);

    fraSimpleQuery = frame(this, 360, 6480 + kBelowMessages, 9015, 1695);
    Label8 = label(fraSimpleQuery, "Action", 240, 240, 2175, 375);
    cboSQuery1 = comboBox(fraSimpleQuery, 240, 600, 2175, 420, 12);
    lblTableName = label(fraSimpleQuery, "Table Name", 2760, 240, 1815, 255);
    lblTableName->hide();
    txtTableName = textBox(fraSimpleQuery, 2760, 600, 2175, 375, 8.25, QColor(0, 0, 0));
    txtTableName->hide();
    cboSQuery2 = comboBox(fraSimpleQuery, 2760, 600, 2175, 420, 12);
    forms::SetBackColor(cboSQuery2, paleYellow);
    cboSQuery2->hide();
    lblNewTableName = label(fraSimpleQuery, "New Table Name", 5040, 240, 1815, 255);
    lblNewTableName->hide();
    txtNewTableName = textBox(fraSimpleQuery, 5040, 600, 2175, 375, 9.75, QColor(0, 0, 0));
    txtNewTableName->hide();
    cmdRunSimpleQuery = add<QPushButton>(fraSimpleQuery, "Run Query", 7440, 600, 1215, 375, 9.75);
    lblQueryStatus = label(fraSimpleQuery, "", 240, 1200, 8295, 375);
    forms::SetFont(lblQueryStatus, 12, true);
    forms::SetBackColor(lblQueryStatus, paleYellow);

    mnuGrid = new QMenu(QStringLiteral("Grid"), this);
    mnuGridCopy = mnuGrid->addAction(QStringLiteral("Copy"));
}
