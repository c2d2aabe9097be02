// SPDX-License-Identifier: Apache-2.0
// frmViewDb: the main window and the whole working surface of the program.
// Its procedures are spread over the folders of the subsystems they belong
// to: the window itself here, opening and the table list in connection/,
// loading and paging the grid in grid/, the query panels in queries/.
#pragma once

#include <QWidget>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "ado/connection.h"
#include "ado/recordset.h"
#include "seams/seams.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace flexgrid {
class FlexGrid;
}

class frmViewDb : public QWidget {
    Q_OBJECT
public:
    explicit frmViewDb(seams::Seams services);
    ~frmViewDb() override;

    // Opens a database file as "Open" does once the file is chosen: the
    // program's argument, given by the shell or the desktop.
    void OpenFile(const std::string& path);

    // The controls, as the window design names them.
    QLabel* Label2 = nullptr;
    QComboBox* cboTables = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtTotalRec = nullptr;
    QCheckBox* chkPassword = nullptr;
    QLabel* lblUName = nullptr;
    QLineEdit* txtUName = nullptr;
    QLabel* lblPassword = nullptr;
    QLineEdit* txtPassword = nullptr;
    flexgrid::FlexGrid* MSFlexGrid1 = nullptr;
    QLineEdit* ctlTextList1 = nullptr;
    QLabel* Label4 = nullptr;
    QPlainTextEdit* txtMessages = nullptr;
    QLabel* Label9 = nullptr;
    QPushButton* cmdLastBunch = nullptr;
    QPushButton* cmdFirstBunch = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtFileName = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdSave = nullptr;
    QFrame* fraAddOps = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* cmdSimplQuery = nullptr;
    QPushButton* cmdQuery = nullptr;
    QLabel* Label10 = nullptr;
    QComboBox* cboType = nullptr;
    QPushButton* Command1 = nullptr;
    QFrame* fraQuery = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* cboQuery1 = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* cboQuery2 = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* cboQuery3 = nullptr;
    QCheckBox* chkDisplayResults = nullptr;
    QLineEdit* txtQuery = nullptr;
    QPushButton* cmdRunQuery = nullptr;
    QFrame* fraSimpleQuery = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* cboSQuery1 = nullptr;
    QLabel* lblTableName = nullptr;
    QLineEdit* txtTableName = nullptr;
    QComboBox* cboSQuery2 = nullptr;
    QLabel* lblNewTableName = nullptr;
    QLineEdit* txtNewTableName = nullptr;
    QPushButton* cmdRunSimpleQuery = nullptr;
    QLabel* lblQueryStatus = nullptr;
    QWidget* hitWeb = nullptr;
    QMenu* mnuGrid = nullptr;
    QAction* mnuGridCopy = nullptr;

    // SQL Server source, handed over by the SQL Server selector.
    std::string strServer;
    std::string strUserName;
    std::string strPassword;
    std::string strDatabase;

    // The one database connection; this window's dialogs work on it too.
    ado::Connection cnDb;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Main window (mainwindow/).
    void CreateControls();
    void ConnectEvents();
    void Form_Load();
    void Form_Resize();
    void Form_MouseMove();
    void cmdSave_Click();
    void chkPassword_Click();
    void Command1_Click();
    void EnableQueryButtons();
    // The "Ravelin" box for a failed operation: its number, then its text.
    void ShowErrorBox(const std::exception& error);

    // Connection and schema (connection/).
    void FillSourceTypes();
    void cmdOpen_Click();
    void SelectSource();
    void OpenChosenSource();
    void OpenConnection();
    void LoadTableList();

    // Table grid (grid/).
    void cboTables_Click();
    void ShowTable();
    // Empties the grid and what describes it, so nothing shown belongs to
    // a database that is no longer open.
    void ClearGrid();
    void ShowMessage(const std::string& text);
    void WriteHeadings();
    bool PlaceRecords(long first);
    void ShowBunch(long first);
    std::string BunchShown(long first, long last);
    void cmdFirstBunch_Click();
    void cmdLastBunch_Click();
    void MSFlexGrid1_MouseUp(int button, int shift, int x, int y);
    void MSFlexGrid1_MouseMove(int button, int shift, int x, int y);
    void mnuGridCopy_Click();

    // Data editing (editing/).
    void ConnectCellEditor();
    void MSFlexGrid1_Click();
    void MSFlexGrid1_EnterCell();
    void ShowCellEditor();
    void ctlTextList1_KeyDown(int KeyCode);
    void ctlTextList1_LostFocus();
    void SaveCellEdit();
    void Command2_Click();
    void Command3_Click();
    // Queries (queries/).
    void ConnectQueryPanels();
    void FillQueryLists();
    void cmdQuery_MouseDown(int button, int shift, int x, int y);
    void cboQuery1_Click();
    void cboQuery2_Click();
    void cboQuery3_Click();
    void cmdRunQuery_Click();
    void cmdSimplQuery_MouseDown(int button, int shift, int x, int y);
    void cboSQuery1_Click();
    void cmdRunSimpleQuery_Click();
    void ExecuteSQL();

    seams::Seams seams_;
    seams::CommonDialog cdOpenDB;
    std::unique_ptr<ado::Recordset> rsSchema;
    ado::Recordset rsTable;
    std::string strConnect;
    int32_t lngConnOpen = 0;
    std::string strTable;
    int32_t lngFieldCount = 0;
    int32_t lngRecPos = 0;
    // Number (from 1) of the first record of the bunch in the grid.
    int32_t lngBunchFirst = 0;
    // The source of the table load the grid shows; empty for anything else.
    std::string strGridSource;
    // Entry r: the row key of the record grid row r shows, for the rows of
    // a table load (and rows added to it); entry 0 is unused.
    std::vector<uint64_t> lngRowKeys;
    // The cell editor's texts; the current cell's text as the table holds it.
    std::string strOldCellText;
    std::string strNewCellText;
    std::string strStoredCellText;
    // The chosen simple action: 1 add, 2 delete, 3 copy a table; 0 none yet.
    int16_t intAction = 0;
    // The statement last built by a query panel or shown in the grid.
    std::string strSQL;
};
