// The worker that makes the balance report off the GUI thread: only the
// latest request's value is handed over, once, on the receiver's thread.
#include "app/AsyncTask.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <future>
#include <stdexcept>
#include <vector>

using fenban::AsyncTask;

class TestAsyncTask : public QObject {
    Q_OBJECT

private slots:
    void theLatestRequestAloneIsHandedOver()
    {
        std::vector<int> handed;
        std::vector<QThread*> handedOn;
        std::vector<int> ran;
        std::mutex ranMutex;
        AsyncTask<int> task(
            this,
            [&](int value) {
                handed.push_back(value);
                handedOn.push_back(QThread::currentThread());
            },
            [](const std::exception_ptr&) { QFAIL("no work fails here"); });
        QVERIFY(!task.pending());
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::promise<void> started;
        task.request([&, released] {
            started.set_value();
            released.wait(); // the first work runs while the others are asked for
            const std::lock_guard lock(ranMutex);
            ran.push_back(1);
            return 1;
        });
        started.get_future().wait();
        for (int value = 2; value <= 4; ++value)
            task.request([&, value] {
                const std::lock_guard lock(ranMutex);
                ran.push_back(value);
                return value;
            });
        QVERIFY(task.pending());
        release.set_value();
        task.settle();
        QVERIFY(!task.pending());
        QCOMPARE(handed, std::vector<int> {4}); // 1 overtaken while it ran
        QCOMPARE(ran, (std::vector<int> {1, 4})); // 2 and 3 replaced while waiting: never run
        QCOMPARE(handedOn, std::vector<QThread*> {QThread::currentThread()});
        QCoreApplication::processEvents(); // the queued hand-over finds nothing left
        QCOMPARE(handed.size(), std::size_t {1});

        // Dropped: nothing is handed over, by the queue or by settle.
        task.request([] { return 5; });
        task.drop();
        task.settle();
        QCoreApplication::processEvents();
        QCOMPARE(handed, std::vector<int> {4});

        // By the queue alone, on the receiver's thread.
        task.request([] { return 6; });
        while (task.pending())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCOMPARE(handed, (std::vector<int> {4, 6}));
    }

    void aFailureIsHandedOverInstead()
    {
        QString failure;
        AsyncTask<int> task(
            this, [](int) { QFAIL("the work threw"); },
            [&](const std::exception_ptr& error) {
                try {
                    std::rethrow_exception(error);
                } catch (const std::runtime_error& e) {
                    failure = QString::fromUtf8(e.what());
                }
            });
        task.request([]() -> int { throw std::runtime_error("坏了"); });
        task.settle();
        QCOMPARE(failure, QStringLiteral("坏了"));
    }
};

QTEST_GUILESS_MAIN(TestAsyncTask)
#include "tst_asynctask.moc"
