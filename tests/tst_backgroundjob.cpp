// Work off the GUI thread: a job's result reaches its owner's thread unless
// the job was dropped or the owner went first, and nothing waits for a job.
#include "backgroundjob.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <thread>

class TestBackgroundJob : public QObject {
    Q_OBJECT
private slots:
    void resultReachesTheOwner_data()
    {
        QTest::addColumn<QString>("then");
        QTest::addColumn<int>("result"); // -1: none delivered; else whether it was cancelled
        QTest::newRow("left to end") << "end" << 0;
        QTest::newRow("cancelled: told so") << "cancel" << 1;
        QTest::newRow("dropped") << "drop" << -1;
        QTest::newRow("owner gone first") << "delete" << -1;
    }
    void resultReachesTheOwner()
    {
        QFETCH(QString, then);
        QFETCH(int, result);
        // The job runs until the gate opens or it is told to stop.
        auto gate = std::make_shared<std::atomic<bool>>(false);
        auto ended = std::make_shared<std::atomic<bool>>(false);
        auto *jobs = new BackgroundJobs;
        QSignalSpy progress(jobs, &BackgroundJobs::progress);
        int delivered = -1;
        QThread *deliveredOn = nullptr;
        const BackgroundJobs::Handle job = jobs->run(
            [gate, ended](JobControl &c) {
                c.setProgress(500);
                while (!gate->load() && !c.isCancelled())
                    std::this_thread::yield();
                ended->store(true);
                return c.isCancelled();
            },
            [&](bool cancelled) {
                delivered = cancelled;
                deliveredOn = QThread::currentThread();
            });
        QCOMPARE(jobs->pending(), 1);
        QTRY_COMPARE(progress.count(), 1);
        QCOMPARE(progress.first().at(1).toInt(), 500);
        if (then == QLatin1String("end"))
            gate->store(true);
        else if (then == QLatin1String("cancel"))
            job->cancel();
        else if (then == QLatin1String("drop"))
            jobs->drop(job);
        else
            delete std::exchange(jobs, nullptr);
        QTRY_VERIFY(ended->load());
        if (jobs) {
            QTRY_COMPARE(jobs->running(), 0);
            QCOMPARE(jobs->pending(), 0);
        }
        QCoreApplication::processEvents(); // a result on its way to nobody
        QCOMPARE(delivered, result);
        if (result >= 0)
            QCOMPARE(deliveredOn, QThread::currentThread());
        delete jobs;
    }
};

QTEST_MAIN(TestBackgroundJob)
#include "tst_backgroundjob.moc"
