// SPDX-License-Identifier: Apache-2.0
// A main window driven the way a person would drive it, with the outside
// services scripted: file choices queued, message boxes recorded.
#pragma once

#include <gtest/gtest.h>

#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "memory_tables.h"
#include "mainwindow/frm_view_db.h"
#include "seams/scripted.h"

class QAbstractButton;
class QComboBox;

namespace uitest {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void click(QAbstractButton* button);
    // Opens the list and clicks the item with this text.
    void pick(QComboBox* combo, const std::string& text);
    // "Open", answering the file dialog with `file` (and the login boxes
    // with `password`, when given).
    void open(const std::string& file, const std::string& password = "");
    // Serves `tables` through the window's connection, listed in the table
    // list, as an open of a file holding them would leave it.
    void serve(std::vector<MemoryTable> tables);

    std::vector<std::string> items(const QComboBox* combo) const;
    std::string cell(int row, int col) const;
    std::string messages() const;  // what the message area holds
    // The message area shows all it holds, without scrolling, and its tool
    // tip repeats it.
    bool messagesWhole() const;
    // The texts of the message boxes shown so far; each must be a "Ravelin"
    // information box with an OK button.
    std::vector<std::string> boxes() const;
    bool hourglass() const;

    seams::ScriptedSeams services;
    std::unique_ptr<frmViewDb> w;
};

}  // namespace uitest
