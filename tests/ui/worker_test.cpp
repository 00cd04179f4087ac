// Worker threads and their synchronous calls into the window thread: served by
// the event loop, served while the window thread joins, never deadlocking.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <array>
#include <atomic>
#include <stdexcept>

#include "ui/framework/CDialog.h"
#include "ui/framework/CWorker.h"
#include "ui/framework/CWorkerSet.h"
#include "ui/framework/WindowThread.h"

namespace kestrane {
namespace {

constexpr std::array<ControlTemplate, 1> kControls{{
    Label(1117, 0, 0, 100, 10, "0"),
}};
constexpr DialogTemplate kTemplate{600, "Workers", 100, 20, "SimSun", 9, kControls, {}, false};

class MessageDialog : public CDialog {
public:
    MessageDialog() : CDialog(kTemplate) {}
    std::atomic<int> messages{0};
    std::atomic<bool> onWindowThread{true};

protected:
    intptr_t OnMessage(int message, intptr_t wParam, intptr_t) override {
        if (QThread::currentThread() != QApplication::instance()->thread()) onWindowThread = false;
        ++messages;
        return message == 0x401 ? wParam + 1 : 0;
    }
};

TEST(WindowThreadCalls, AWorkersCallRunsOnTheWindowThreadFromTheEventLoop) {
    std::atomic<bool> ranOnWindowThread{false};
    std::atomic<bool> returned{false};
    CWorker worker;
    worker.Start([&] {
        CallInWindowThread([&] { ranOnWindowThread = IsWindowThread(); });
        returned = true;
    });
    QElapsedTimer elapsed;
    elapsed.start();
    while (!returned && elapsed.elapsed() < 5000)
        QApplication::processEvents();
    EXPECT_TRUE(returned);
    EXPECT_TRUE(ranOnWindowThread);
    worker.Join();
}

TEST(WindowThreadCalls, JoiningServesAWorkerThatKeepsCallingIn) {
    MessageDialog dialog;
    dialog.Create();
    std::atomic<int> running{1};
    std::atomic<int> calls{0};
    CWorker worker;
    worker.Start([&] {
        // Like a settings pass: control calls back to back while the flag is set.
        while (running) {
            dialog.SetText(1117, std::to_string(calls.load()));
            ++calls;
        }
        // One more call after the flag is seen clear: the window thread is
        // already inside Join by then.
        dialog.SetText(1117, "done");
    });
    // Serve some calls through the event loop, then stop and join without it.
    QElapsedTimer elapsed;
    elapsed.start();
    while (calls < 20 && elapsed.elapsed() < 5000)
        QApplication::processEvents();
    running = 0;
    worker.Join();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_GE(calls.load(), 20);
    EXPECT_EQ(dialog.Text(1117), "done");
}

TEST(WindowThreadCalls, JoiningWorkersThatNeverSawTheEventLoop) {
    MessageDialog dialog;
    dialog.Create();
    CWorkerSet workers;
    std::atomic<int> running{1};
    for (int i = 0; i < 4; ++i) {
        workers.Start([&] {
            while (running)
                dialog.SendMessage(0x401, 1);
            dialog.SendMessage(0x401, 1);
        });
    }
    // Without ever returning to the event loop: each worker is blocked in its
    // first call until the join serves it.
    running = 0;
    workers.JoinAll();
    EXPECT_EQ(workers.Running(), 0u);
    EXPECT_GE(dialog.messages.load(), 4);
    EXPECT_TRUE(dialog.onWindowThread);
}

TEST(WindowThreadCalls, UserMessagesReturnTheirResultAndSkipAClosedDialog) {
    MessageDialog dialog;
    std::atomic<intptr_t> closedResult{-1};
    std::atomic<intptr_t> openResult{-1};
    CWorker worker;
    worker.Start([&] { closedResult = dialog.SendMessage(0x401, 41); });
    worker.Join();
    EXPECT_EQ(closedResult, 0);
    EXPECT_EQ(dialog.messages, 0);
    dialog.Create();
    worker.Start([&] { openResult = dialog.SendMessage(0x401, 41); });
    worker.Join();
    EXPECT_EQ(openResult, 42);
}

TEST(WindowThreadCalls, AnExceptionInTheCallReachesTheWorker) {
    std::atomic<bool> caught{false};
    CWorker worker;
    worker.Start([&] {
        try {
            CallInWindowThread([] { throw std::runtime_error("refused"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    worker.Join();
    EXPECT_TRUE(caught);
}

TEST(Workers, AWorkerStartsOnlyWhenTheLastOneHasEnded) {
    std::atomic<int> release{0};
    CWorker worker;
    EXPECT_TRUE(worker.Start([&] {
        while (!release)
            QThread::msleep(1);
    }));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(worker.Start([] {}));
    release = 1;
    worker.Join();
    EXPECT_TRUE(worker.Start([] {}));
    worker.Join();
}

TEST(Workers, DestroyingAWorkerJoinsIt) {
    std::atomic<int> value{0};
    {
        CWorker worker;
        worker.Start([&] {
            CallInWindowThread([&] { value = 1; });
            QThread::msleep(20);
            value = 2;
        });
    }
    EXPECT_EQ(value, 2);
}

}  // namespace
}  // namespace kestrane
