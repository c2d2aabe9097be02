// SPDX-License-Identifier: Apache-2.0
// A query panel's statement run on a worker thread, so the window stays
// alive and the statement can be stopped. While it runs the connection is
// the worker's alone: nothing of the window can reach it.
#pragma once

#include <functional>

#include "ado/connection.h"

class QWidget;

namespace queries {

// Runs `work`, which uses `connection` and nothing of the GUI, on a worker
// thread, and returns once it has ended, raising what it raised. The GUI
// thread goes on with its other events meanwhile. The user's input waits
// for the first 300 ms, so a quick statement looks and behaves as one run
// in place (what was typed meanwhile is handled after it); then frmRunning
// shows over `owner`, modal, so no input reaches the rest of the window,
// and its Cancel calls Connection::Cancel.
void RunOnWorker(QWidget* owner, ado::Connection& connection, const std::function<void()>& work);

}  // namespace queries
