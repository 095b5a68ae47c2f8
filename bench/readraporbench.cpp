// Read Rapor as the window runs it (OnlineSession, its worker and the report
// engine), against the simulator serving one generated IED with many report
// control blocks on 127.0.0.1: the time from the click to the first report,
// to every block enabled, and the requests the enable took.
//
// readraporbench [--lns M] [--rcbs R] [--runs N]

#include "iedconnection.h"
#include "iedserverthread.h"
#include "iedsimulatormodel.h"
#include "onlinesession.h"
#include "onlineworker.h"
#include "reportengine.h"
#include "sclgenerator.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMap>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {

QTextStream out(stdout);

// Every block the IED offers, each once with its number of instances.
QVector<ReportSubscription> offeredBlocks(quint16 port, int *lns)
{
    IedConnection connection;
    QMap<QString, int> instances;
    if (connection.connect(QStringLiteral("127.0.0.1"), port) != IedClientError::Ok)
        return {};
    *lns = 0;
    for (const QString &device : connection.logicalDeviceList()) {
        for (const QString &node : connection.logicalDeviceDirectory(device)) {
            ++*lns;
            const QString reference = device + QLatin1Char('/') + node;
            for (auto kind : {IedConnection::AcsiClass::Urcb, IedConnection::AcsiClass::Brcb}) {
                const QString infix = kind == IedConnection::AcsiClass::Urcb
                                          ? QStringLiteral("$RP$")
                                          : QStringLiteral("$BR$");
                for (QString name : connection.logicalNodeDirectory(reference, kind)) {
                    const QString digits = name.right(2);
                    if (digits.size() == 2 && digits.at(0).isDigit() && digits.at(1).isDigit())
                        name.chop(2);
                    ++instances[reference + infix + name];
                }
            }
        }
    }
    connection.close();
    QVector<ReportSubscription> blocks;
    for (auto block = instances.constBegin(); block != instances.constEnd(); ++block) {
        ReportSubscription subscription;
        subscription.reference = block.key();
        subscription.instances = block.value() > 1 ? block.value() : 0;
        subscription.gi = true;
        blocks.append(subscription);
    }
    return blocks;
}

// One Read Rapor: ms to the first report and to the blocks enabled.
bool readRapor(quint16 port, const QVector<ReportSubscription> &blocks, double *firstMs,
               double *enabledMs, int *enabled)
{
    OnlineSession session;
    QEventLoop loop;
    QElapsedTimer clock;
    *firstMs = -1;
    *enabledMs = -1;
    QObject::connect(session.worker(), &OnlineWorker::reportsReceived, &loop, [&] {
        if (*firstMs < 0)
            *firstMs = clock.nsecsElapsed() / 1e6;
        if (*enabledMs >= 0)
            loop.quit();
    });
    QObject::connect(session.worker(), &OnlineWorker::watchStarted, &loop,
                     [&](const QStringList &names) {
                         *enabledMs = clock.nsecsElapsed() / 1e6;
                         *enabled = names.size();
                         if (*firstMs >= 0 || names.isEmpty())
                             loop.quit();
                     });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    clock.start();
    if (!session.watchReports(QStringLiteral("127.0.0.1"), port, blocks))
        return false;
    loop.exec();
    session.stop();
    while (session.isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return *firstMs >= 0;
}

// The requests the engine's enable takes, on a connection of our own.
void countRequests(quint16 port, const QVector<ReportSubscription> &blocks)
{
    IedConnection connection;
    if (connection.connect(QStringLiteral("127.0.0.1"), port) != IedClientError::Ok)
        return;
    QList<ReportBlockRequest> requests;
    for (const ReportSubscription &block : blocks) {
        ReportBlockRequest request;
        request.reference = block.reference;
        request.instances = block.instances;
        request.gi = true;
        requests << request;
    }
    connection.resetCounters();
    QStringList problems;
    QElapsedTimer clock;
    clock.start();
    {
        ReportEngine engine(connection);
        engine.enableAll(requests, &problems);
        out << QStringLiteral("engine: %1 blocks enabled in %2 ms, %3 requests, at most %4 in "
                              "flight, %5 refused\n")
                   .arg(engine.enabled().size())
                   .arg(clock.nsecsElapsed() / 1e6, 0, 'f', 1)
                   .arg(connection.roundTrips())
                   .arg(connection.mostRequestsInFlight())
                   .arg(problems.size());
        for (const QString &problem : qAsConst(problems))
            out << "  " << problem << '\n';
        // Data object members, which the enable used to describe one request each.
        int objects = 0;
        for (const EnabledReportBlock &block : engine.enabled()) {
            for (const QString &member : block.memberPaths)
                objects += !member.isEmpty() && !member.contains(QLatin1Char('.'));
        }
        out << QStringLiteral("data object members (one description each before): %1\n")
                   .arg(objects);
    }
    connection.close();
}

} // namespace

int main(int argc, char **argv)
{
    // The online library's models carry icons.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    SclGeneratorOptions options;
    options.iedCount = 1;
    options.templateFamilies = 1;
    options.lnInstances = 8;
    options.reportControls = 73;
    int runs = 3;
    const QStringList args = application.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--lns"))
            options.lnInstances = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--rcbs"))
            options.reportControls = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--runs"))
            runs = args.at(i + 1).toInt();
    }
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("readrapor.scd"));
    if (!SclGenerator::write(file, options)) {
        out << "cannot write " << file << '\n';
        return 1;
    }
    IedServerThread server;
    if (!server.start(IedSimulatorModel::fromSclFile(file, SclGenerator::iedName(0)),
                      QHostAddress::LocalHost, 0)) {
        out << "cannot listen: " << server.errorString() << '\n';
        return 1;
    }
    int lns = 0;
    const QVector<ReportSubscription> blocks = offeredBlocks(server.serverPort(), &lns);
    out << QStringLiteral("IED of %1 logical nodes, %2 report control blocks\n")
               .arg(lns)
               .arg(blocks.size());
    for (int run = 0; run < runs; ++run) {
        double firstMs = 0;
        double enabledMs = 0;
        int enabled = 0;
        if (!readRapor(server.serverPort(), blocks, &firstMs, &enabledMs, &enabled)) {
            out << "no report came\n";
            return 1;
        }
        out << QStringLiteral("Read Rapor: first report after %1 ms, %2 blocks enabled after "
                              "%3 ms\n")
                   .arg(firstMs, 0, 'f', 1)
                   .arg(enabled)
                   .arg(enabledMs, 0, 'f', 1);
        out.flush();
    }
    countRequests(server.serverPort(), blocks);
    server.stop();
    return 0;
}
