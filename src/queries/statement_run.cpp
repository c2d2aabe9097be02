// SPDX-License-Identifier: Apache-2.0
#include "statement_run.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <exception>
#include <memory>

#include "frm_running.h"

namespace queries {

namespace {

// How long a statement runs before the box shows, and how often the box's
// count of rows is brought up to date (the count itself is kept by the
// worker at every progress call, one relaxed store).
constexpr int kQuietMs = 300;
constexpr int kRefreshMs = 100;

}  // namespace

void RunOnWorker(QWidget* owner, ado::Connection& connection, const std::function<void()>& work) {
    std::atomic<uint64_t> rows_read{0};
    connection.SetProgress([&rows_read](uint64_t rows) { rows_read.store(rows, std::memory_order_relaxed); });
    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    bool done = false;  // the GUI thread's; set once the worker has ended
    QObject::connect(worker.get(), &QThread::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    worker->start();
    QTimer::singleShot(kQuietMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!done) {
        frmRunning box(owner, [&connection] { connection.Cancel(); });
        QTimer refresh;
        QObject::connect(&refresh, &QTimer::timeout, &box,
                         [&] { box.ShowRowsRead(rows_read.load(std::memory_order_relaxed)); });
        refresh.start(kRefreshMs);
        box.show();
        loop.exec();
    }
    // Only a program that quits ends the loop before the worker: its
    // statement is stopped rather than waited for.
    if (!done) connection.Cancel();
    worker->wait();
    connection.SetProgress({});
    if (failure) std::rethrow_exception(failure);
}

}  // namespace queries
