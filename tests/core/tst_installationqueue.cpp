#include "core/InstallationQueue.h"

#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <qcoro/qcorotask.h>
#include <qcoro/qcorotimer.h>
#include <stdexcept>

using namespace pylon;
using namespace std::chrono_literals;

namespace {

// A job that notes when it starts and ends, taking `pause` in between, and throws when told to.
std::function<QCoro::Task<>()> job(QStringList& events, QString name, std::chrono::milliseconds pause,
                                   bool fails = false) {
    return [&events, name, pause, fails]() -> QCoro::Task<> {
        events << name + QStringLiteral(" starts");
        co_await QCoro::sleepFor(pause);
        events << name + QStringLiteral(" ends");
        if (fails)
            throw std::runtime_error("job failed");
    };
}

} // namespace

class InstallationQueueTest : public QObject {
    Q_OBJECT
private slots:
    void jobsRunOneAfterAnotherInTheOrderGiven() {
        InstallationQueue queue;
        QSignalSpy busy(&queue, &InstallationQueue::busyChanged);
        QStringList events;
        std::optional<InstallationQueue::Outcome> first;
        std::optional<InstallationQueue::Outcome> second;
        auto run = [&](std::optional<InstallationQueue::Outcome>& into, QString name,
                       std::chrono::milliseconds pause) -> QCoro::Task<> {
            into = co_await queue.run(job(events, name, pause));
        };
        run(first, QStringLiteral("first"), 50ms);
        QVERIFY(queue.isBusy());
        run(second, QStringLiteral("second"), 0ms);
        QTRY_VERIFY(first && second);
        QCOMPARE(events, (QStringList{"first starts", "first ends", "second starts", "second ends"}));
        QVERIFY(!first->queueGone && !first->failure && !second->queueGone && !second->failure);
        QVERIFY(!queue.isBusy());
        QCOMPARE(busy.size(), 4); // busy and free, twice
    }

    void aFailureIsHandedBackAndFreesTheQueue() {
        InstallationQueue queue;
        QStringList events;
        const InstallationQueue::Outcome failed =
            QCoro::waitFor(queue.run(job(events, QStringLiteral("broken"), 0ms, true)));
        QVERIFY(!failed.queueGone);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, std::rethrow_exception(failed.failure));
        QVERIFY(!queue.isBusy());
        const InstallationQueue::Outcome next = QCoro::waitFor(queue.run(job(events, QStringLiteral("next"), 0ms)));
        QVERIFY(!next.failure);
        QCOMPARE(events.last(), QStringLiteral("next ends"));
    }

    void destroyingTheQueueTellsTheRunningAndTheWaitingJob() {
        auto* queue = new InstallationQueue;
        QStringList events;
        std::optional<InstallationQueue::Outcome> running;
        std::optional<InstallationQueue::Outcome> waiting;
        auto run = [](InstallationQueue* q, std::function<QCoro::Task<>()> work,
                      std::optional<InstallationQueue::Outcome>* into) -> QCoro::Task<> {
            *into = co_await q->run(std::move(work));
        };
        run(queue, job(events, QStringLiteral("running"), 100ms), &running);
        run(queue, job(events, QStringLiteral("waiting"), 0ms), &waiting);
        delete queue;
        QTRY_VERIFY(running.has_value());
        QVERIFY(running->queueGone);
        // The waiting job never starts: its queue is gone.
        QVERIFY(!events.contains(QStringLiteral("waiting starts")));
    }
};

int runInstallationQueueTests(int argc, char** argv) {
    InstallationQueueTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_installationqueue.moc"
