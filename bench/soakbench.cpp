// The simulator left alone: a generated IED of about 410 logical nodes served
// with moving values, as `stationscope-cli serve --simulate` serves it, and
// no client at all. Prints the resident memory at the start and then every
// interval, and at the end the figures at the start, halfway and the end.
// Every block keeps reporting into its buffer meanwhile, so what the server
// holds must level off at the buffers' bounds.
//
// With --serve PATH the real serve process of that stationscope-cli is
// measured instead of this process.

#include "benchsupport.h"
#include "iedserverthread.h"
#include "iedsimulator.h"
#include "iedsimulatormodel.h"
#include "sclgenerator.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <csignal>
#include <memory>

namespace {

QTextStream out(stdout);

struct Resident
{
    double totalMb = 0; // VmRSS
    double ownMb = 0;   // RssAnon: heap and stacks, not the mapped libraries
};

Resident residentOf(qint64 pid)
{
    Resident resident;
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid)
                         : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return resident;
    const auto megabytes = [](const QByteArray &line, int prefix) {
        return line.mid(prefix).trimmed().split(' ').value(0).toDouble() / 1024.0;
    };
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            resident.totalMb = megabytes(line, 6);
        else if (line.startsWith("RssAnon:"))
            resident.ownMb = megabytes(line, 8);
    }
    return resident;
}

QString figure(const Resident &resident)
{
    return QStringLiteral("%1 MB (own %2 MB)")
        .arg(resident.totalMb, 0, 'f', 1)
        .arg(resident.ownMb, 0, 'f', 1);
}

// The serve process of cli on file, once it says it listens; null on failure.
std::unique_ptr<QProcess> startServe(const QString &cli, const QString &file, int stepMs)
{
    auto serve = std::make_unique<QProcess>();
    serve->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    serve->start(cli,
                 {QStringLiteral("serve"), file, QStringLiteral("--port"), QStringLiteral("0"),
                  QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                  QStringLiteral("--simulate"), QStringLiteral("--step"), QString::number(stepMs)});
    QByteArray said;
    while (!said.contains("Serving")) {
        if (!serve->waitForReadyRead(60000))
            return nullptr;
        said += serve->readAllStandardOutput();
    }
    out << said.trimmed() << '\n';
    return serve;
}

} // namespace

int main(int argc, char **argv)
{
    prepareWindowlessBench();
    QGuiApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The simulator's memory without a client."));
    const QCommandLineOption minutesOption(QStringLiteral("minutes"),
                                           QStringLiteral("Length of the run (10)."),
                                           QStringLiteral("N"), QStringLiteral("10"));
    const QCommandLineOption everyOption(QStringLiteral("every"),
                                         QStringLiteral("Seconds between lines (60)."),
                                         QStringLiteral("S"), QStringLiteral("60"));
    const QCommandLineOption lnsOption(
        QStringLiteral("lns"),
        QStringLiteral("Logical node instances per kind (58: 414 logical nodes)."),
        QStringLiteral("M"), QStringLiteral("58"));
    const QCommandLineOption blocksOption(
        QStringLiteral("small-blocks"),
        QStringLiteral("Further buffered blocks on small data sets per logical device (0; 21 "
                       "gives the 72 blocks of a vendor IED)."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption stepOption(QStringLiteral("step"),
                                        QStringLiteral("Milliseconds between value steps (1000)."),
                                        QStringLiteral("MS"), QStringLiteral("1000"));
    const QCommandLineOption serveOption(
        QStringLiteral("serve"), QStringLiteral("Measure this stationscope-cli's serve process."),
        QStringLiteral("PATH"));
    parser.addOptions(
        {minutesOption, everyOption, lnsOption, blocksOption, stepOption, serveOption});
    parser.addHelpOption();
    parser.process(application);
    const double minutes = qMax(0.1, parser.value(minutesOption).toDouble());
    const int everyMs = qMax(1, parser.value(everyOption).toInt()) * 1000;
    const int stepMs = qMax(1, parser.value(stepOption).toInt());

    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("soak.scd"));
    SclGeneratorOptions options;
    options.iedCount = 1;
    options.lnInstances = qMax(1, parser.value(lnsOption).toInt());
    options.smallReportBlocks = qMax(0, parser.value(blocksOption).toInt());
    if (!folder.isValid() || !SclGenerator::write(file, options)) {
        out << "cannot write " << file << '\n';
        return 1;
    }

    std::unique_ptr<QProcess> serve;
    std::shared_ptr<const MmsServerModel> model;
    IedServerThread server;
    std::unique_ptr<IedSimulator> simulator;
    qint64 pid = 0;
    if (parser.isSet(serveOption)) {
        serve = startServe(parser.value(serveOption), file, stepMs);
        if (!serve) {
            out << "serve did not start\n";
            return 1;
        }
        pid = serve->processId();
    } else {
        QString problem;
        model = IedSimulatorModel::fromSclFile(file, QString(), &problem);
        if (!model || !server.start(model, QHostAddress::LocalHost, 0)) {
            out << "cannot serve: " << problem << server.errorString() << '\n';
            return 1;
        }
        simulator = std::make_unique<IedSimulator>(model);
        simulator->setSeed(1);
        simulator->start(stepMs);
        out << "serving " << file << " in this process, simulating " << simulator->measuredCount()
            << " measured and " << simulator->statusCount() << " status values\n";
    }
    out << "no client; a step every " << stepMs << " ms for " << minutes << " minutes\n";
    out.flush();

    const qint64 lengthMs = qint64(minutes * 60000);
    const Resident start = residentOf(pid);
    Resident halfway;
    out << "   0.0 min: " << figure(start) << '\n';
    out.flush();
    QElapsedTimer clock;
    clock.start();
    // A line every interval; halfway and the end fall on a line.
    const qint64 intervalMs = qMin<qint64>(everyMs, lengthMs / 2);
    qint64 planned = 0;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        planned += intervalMs;
        const Resident now = residentOf(pid);
        if (planned >= lengthMs / 2 && halfway.totalMb == 0)
            halfway = now;
        out << QStringLiteral("%1 min: ").arg(clock.elapsed() / 60000.0, 6, 'f', 1) << figure(now)
            << '\n';
        out.flush();
        if (planned >= lengthMs) {
            out << QStringLiteral("resident at 0 / %1 / %2 min: %3 / %4 / %5 MB; own %6 / %7 / "
                                  "%8 MB\n")
                       .arg(minutes / 2)
                       .arg(minutes)
                       .arg(start.totalMb, 0, 'f', 1)
                       .arg(halfway.totalMb, 0, 'f', 1)
                       .arg(now.totalMb, 0, 'f', 1)
                       .arg(start.ownMb, 0, 'f', 1)
                       .arg(halfway.ownMb, 0, 'f', 1)
                       .arg(now.ownMb, 0, 'f', 1);
            out.flush();
            QCoreApplication::quit();
        }
    });
    sampler.start(int(intervalMs));
    QCoreApplication::exec();

    if (serve) {
        ::kill(pid_t(pid), SIGINT);
        serve->waitForFinished(10000);
    } else {
        simulator->stop();
        server.stop();
    }
    return 0;
}
