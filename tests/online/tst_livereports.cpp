// Read Rapor's watch against the simulated IED, as the window runs it: a
// buffered block resumes after the last report shown, a gap in its buffer is
// marked on the row after it, and enumerations read by name.

#include "eventwait.h"
#include "iedconnection.h"
#include "iedserverthread.h"
#include "iedsimulatormodel.h"
#include "livereportmodel.h"
#include "onlinesession.h"
#include "onlineworker.h"
#include "testpaths.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString Domain = QStringLiteral("BAY1_PROTCTRL");
const QString Block = QStringLiteral("BAY1_PROTCTRL/LLN0$BR$brcbStatus01");

} // namespace

class TestLiveReports : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void resumesAfterTheLastReportShown();
    void lostEntriesAreMarkedOnTheRowAfterThem();

private:
    // Watches brcbStatus until a row is shown: the interrogation's, or with
    // change a change made while it watches, or else what its buffer holds.
    enum Start { Interrogate, Change, Resume };
    bool watch(Start start, const QHash<QString, QByteArray> &resumeAfter = {});
    void toggle(int times);

    std::shared_ptr<MmsServerModel> model;
    std::unique_ptr<IedServerThread> server;
    std::unique_ptr<OnlineSession> session;
    std::unique_ptr<LiveReportModel> live;
    QStringList notes;
    bool indication = false;
};

void TestLiveReports::init()
{
    model = IedSimulatorModel::fromSclFile(sourceFile("examples/substation.scd"), "BAY1_PROT");
    QVERIFY(model);
    server = std::make_unique<IedServerThread>();
    session = std::make_unique<OnlineSession>();
    live = std::make_unique<LiveReportModel>();
    connect(session->worker(), &OnlineWorker::reportsReceived, live.get(),
            &LiveReportModel::append);
    connect(session->worker(), &OnlineWorker::watchNote, this,
            [this](const QString &note) { notes << note; });
    notes.clear();
    indication = false;
}

void TestLiveReports::cleanup()
{
    session.reset();
    live.reset();
    if (server)
        server->stop();
    server.reset();
}

void TestLiveReports::toggle(int times)
{
    // The server takes the changes queued before a request it answers: a
    // read after each makes each change an entry of its own.
    IedConnection probe;
    QCOMPARE(probe.connect("127.0.0.1", server->serverPort()), IedClientError::Ok);
    for (int i = 0; i < times; ++i) {
        indication = !indication;
        QCOMPARE(model->update(Domain, "GGIO1$ST$Ind1$stVal", MmsValue::boolean(indication)),
                 MmsServerModel::Updated);
        IedClientError error = IedClientError::Unknown;
        QCOMPARE(probe.readObject(Domain + "/GGIO1.Ind1.stVal", "ST", &error),
                 MmsValue::boolean(indication));
    }
    probe.close();
}

bool TestLiveReports::watch(Start start, const QHash<QString, QByteArray> &resumeAfter)
{
    ReportSubscription subscription;
    subscription.reference = QStringLiteral("BAY1_PROTCTRL/LLN0.BR.brcbStatus");
    subscription.instances = 5;
    subscription.gi = start == Interrogate;
    subscription.resumeAfter = resumeAfter;
    live->clear();
    QSignalSpy started(session->worker(), &OnlineWorker::watchStarted);
    if (!session->watchReports("127.0.0.1", server->serverPort(), {subscription}))
        return false;
    if (!started.wait(EventTimeoutMs) ||
        started.first().first().toStringList() != QStringList{Block})
        return false;
    if (start == Change)
        toggle(1);
    const bool shown = QTest::qWaitFor(
        [this] {
            live->flush();
            return live->rowCount() > 0;
        },
        EventTimeoutMs);
    session->stop();
    const bool stopped = QTest::qWaitFor([this] { return !session->isBusy(); }, EventTimeoutMs);
    live->flush();
    return shown && stopped;
}

void TestLiveReports::resumesAfterTheLastReportShown()
{
    QVERIFY(server->start(model, QHostAddress::LocalHost, 0));
    QAbstractItemModelTester tester(live.get());
    QSignalSpy shown(live.get(), &LiveReportModel::entriesShown);
    QVERIFY(watch(Interrogate));
    // Enumerations by name, the number beside it.
    QVERIFY2(live->toCsv().contains(";BAY1_PROTCTRL/LLN0.Health.stVal[ST];Ok (1);"),
             qPrintable(live->toCsv()));
    QByteArray last;
    QSet<QByteArray> seen;
    for (const QList<QVariant> &batch : shown) {
        for (const LiveReportEntry &entry : batch.first().value<QVector<LiveReportEntry>>()) {
            seen << entry.entryId;
            last = entry.entryId;
        }
    }
    QVERIFY(!last.isEmpty());

    // A change while nobody watches; the next watch shows it alone.
    toggle(1);
    shown.clear();
    QVERIFY(watch(Resume, {{Block, last}}));
    QVERIFY2(notes.isEmpty(), qPrintable(notes.join('\n')));
    for (const QList<QVariant> &batch : shown) {
        for (const LiveReportEntry &entry : batch.first().value<QVector<LiveReportEntry>>()) {
            QVERIFY2(!seen.contains(entry.entryId), entry.entryId.toHex().constData());
            QVERIFY2(entry.gap.isEmpty(), qPrintable(entry.gap));
        }
    }
    QCOMPARE(live->rowCount(), 1);
    QCOMPARE(live->index(0, LiveReportModel::MemberColumn).data().toString(),
             QStringLiteral("BAY1_PROTCTRL/GGIO1.Ind1.stVal[ST]"));
}

void TestLiveReports::lostEntriesAreMarkedOnTheRowAfterThem()
{
    // A buffer of a few entries: what changes while nobody watches overflows it.
    server->setReportBufferBytes(1200);
    QVERIFY(server->start(model, QHostAddress::LocalHost, 0));
    QSignalSpy shown(live.get(), &LiveReportModel::entriesShown);
    QVERIFY(watch(Change));
    QByteArray last;
    for (const QList<QVariant> &batch : shown) {
        for (const LiveReportEntry &entry : batch.first().value<QVector<LiveReportEntry>>())
            last = entry.entryId;
    }
    QVERIFY(!last.isEmpty());
    toggle(200);

    // The entry shown last is gone: the IED refuses it, the block sends what
    // it kept, and the first row says what was lost before it.
    QVERIFY(watch(Resume, {{Block, last}}));
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes.first().contains("refused to resume after EntryID " + last.toHex()),
             qPrintable(notes.first()));
    const QString gap = live->index(0, LiveReportModel::GapColumn).data().toString();
    QVERIFY2(gap.startsWith("entries lost between EntryID " + last.toHex() + " and 20"),
             qPrintable(live->toCsv()));
    QVERIFY(live->index(0, LiveReportModel::RcbColumn).data(Qt::BackgroundRole).isValid());
    QVERIFY(live->index(1, LiveReportModel::GapColumn).data().toString().isEmpty());
    QVERIFY(live->toCsv().contains(';' + gap + ';'));
}

QTEST_MAIN(TestLiveReports)
#include "tst_livereports.moc"
