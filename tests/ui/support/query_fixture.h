// SPDX-License-Identifier: Apache-2.0
// The main window's two query panels driven as a person drives them: the
// opening buttons pressed with the mouse, statements typed into the box or
// put together from the pick lists, the Table Fields dialog filled in.
// Either against a scripted database that records every statement, or
// against a private copy of a corpus file.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "edit_fixture.h"
#include "scripted_database.h"

class frmTableFields;

namespace uitest {

class QueryTest : public EditTest {
protected:
    void TearDown() override;

    // "Open" onto `db`: the table lists are filled from its tables.
    void openScripted();

    // A mouse button pressed and released on an opening button.
    void press(QPushButton* button, Qt::MouseButton mouse = Qt::LeftButton);
    using EditTest::press;
    void openQueryPanel() { press(w->cmdQuery); }
    void openSimplePanel() { press(w->cmdSimplQuery); }

    // Appends `text` to the statement box, typed at its end.
    void typeQuery(const std::string& text) { typeInto(w->txtQuery, text); }
    // Selects the whole statement and types `text` over it.
    void replaceQuery(const std::string& text);
    std::string query() const;
    void tickDisplayResult();
    void run();  // "Run"

    void chooseAction(const std::string& action) { pick(w->cboSQuery1, action); }
    // Clicks into `box` and types `text` at the end of what it holds.
    void typeInto(QLineEdit* box, const std::string& text);
    std::string status() const;

    // "Run Query" for "Add Table": the Table Fields dialog gets `fields`
    // (name, type; an empty type leaves the type box as it is) and is
    // closed with "Done", or with its close box when `closeBox`.
    using Fields = std::vector<std::pair<std::string, std::string>>;
    void runAddTable(const Fields& fields, bool closeBox = false);
    // Fills the open dialog: each field typed, its type picked, "Add".
    static void addFields(frmTableFields* dialog, const Fields& fields);

    // The detail offered with each message box shown so far.
    std::vector<std::string> details() const;


    ScriptedDatabase db;
    std::unique_ptr<ScriptedServer> server;
};

}  // namespace uitest
