// Reports per second from our server to our client on 127.0.0.1, with a data
// set of 100 and of 1000 measured values, unbuffered and buffered, each once
// only decoded and once printed as `watch` prints them (to /dev/null); with
// each side's CPU time per report and the process's peak memory, beside the
// time of one plain read of the same data set. A feeder thread changes every
// member at once, at most two reports ahead of what the client has received,
// so the figure is what the pair sustains. Last, the time `watch` takes to
// enable 100 blocks one after the other and all together.
//
// With --watch PATH (stationscope-cli), the real watch process reads a flood
// of the 100-member data set for --seconds (default 60): its resident memory
// now and then and at the end, then how far it grows when it stops reading
// for a while and is then told to stop, disabling its blocks with the socket
// full. --members N runs one size only.

#include "iec61850types.h"
#include "iedconnection.h"
#include "iedserverthread.h"
#include "mmsreport.h"
#include "reportwatch.h"

#include <QAtomicInt>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <QThread>

#include <atomic>

#include <csignal>
#include <ctime>
#include <sys/resource.h>

namespace {

QTextStream out(stdout);
const QString Device = QStringLiteral("BENCHLD0");
constexpr int RunMs = 3000;
constexpr int InFlight = 2;
// Steps a second of a flood, above the reference server's report rate.
constexpr int FloodRate = 2000;

MmsTypeSpec structureOf(std::initializer_list<std::pair<const char *, MmsTypeSpec>> members)
{
    MmsTypeSpec type = MmsTypeSpec::structure();
    for (const auto &member : members)
        type.addComponent(QLatin1String(member.first), member.second);
    return type;
}

QString analog(int index)
{
    return QStringLiteral("AnIn%1").arg(index + 1);
}

std::shared_ptr<MmsServerModel> benchModel(int members, bool buffered, int blocks = 1)
{
    auto model = std::make_shared<MmsServerModel>();
    MmsServerDomain &device = model->domain(Device);
    const MmsTypeSpec measured =
        structureOf({{"mag", structureOf({{"f", MmsTypeSpec::floatingPoint()}})},
                     {"q", MmsTypeSpec::bitString(-13)},
                     {"t", MmsTypeSpec::utcTime()}});
    MmsTypeSpec mx = MmsTypeSpec::structure();
    for (int i = 0; i < members; ++i)
        mx.addComponent(analog(i), measured);
    MmsTypeSpec ggio = MmsTypeSpec::structure();
    ggio.addComponent(QStringLiteral("MX"), mx);
    device.variables.append({QStringLiteral("GGIO1"), ggio, ggio.defaultValue()});

    ReportControlSettings settings;
    settings.rptId = QStringLiteral("Bench");
    settings.dataSet = Device + QStringLiteral("/LLN0$Big");
    settings.confRev = 1;
    settings.optFlds = ReportOptionSeqNum | ReportOptionTimeStamp | ReportOptionDataSet |
                       ReportOptionReasonForInclusion | ReportOptionDataReference |
                       ReportOptionConfRev;
    if (buffered)
        settings.optFlds |= ReportOptionEntryId | ReportOptionBufferOverflow;
    settings.buffered = buffered;
    settings.bufTm = 0; // a device scanning its data: one report per step
    settings.trgOps = TriggerOptionDataChanged;
    MmsTypeSpec rp = MmsTypeSpec::structure();
    std::vector<MmsValue> values;
    for (int block = 1; block <= blocks; ++block) {
        rp.addComponent(QStringLiteral("BigRCB%1").arg(block, 2, 10, QLatin1Char('0')),
                        Iec61850Types::reportControlType(buffered));
        values.push_back(Iec61850Types::reportControlValue(settings));
    }
    const MmsTypeSpec lln0 = structureOf({{buffered ? "BR" : "RP", rp}});
    device.variables.append(
        {QStringLiteral("LLN0"), lln0, MmsValue::structure({MmsValue::structure(values)})});
    MmsServerDataSet dataSet{QStringLiteral("LLN0$Big"), {}, false};
    for (int i = 0; i < members; ++i) {
        dataSet.members.append({MmsObjectName::DomainSpecific, Device,
                                QStringLiteral("GGIO1$MX$%1$mag$f").arg(analog(i))});
    }
    device.dataSets.append(dataSet);
    model->finish();
    return model;
}

double cpuMs(clockid_t clock)
{
    timespec spec{};
    clock_gettime(clock, &spec);
    return spec.tv_sec * 1e3 + spec.tv_nsec / 1e6;
}

double peakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

QString valueItem(int member)
{
    return QStringLiteral("GGIO1$MX$%1$mag$f").arg(analog(member));
}

// Changes every member at once, each step when mayStep(steps so far) allows,
// until stop is set; cpuMs follows the feeder's own CPU time.
QThread *startFeeder(const MmsServerModel &model, int members, const QAtomicInt &stop,
                     std::function<bool(int)> mayStep, std::atomic<double> *cpu = nullptr)
{
    QThread *feeder = QThread::create([&model, members, &stop, mayStep, cpu] {
        QVector<MmsValueUpdate> updates;
        for (int i = 0; i < members; ++i)
            updates.append({Device, valueItem(i), MmsValue()});
        int sent = 0;
        float offset = 0;
        while (!stop.loadAcquire()) {
            if (!mayStep(sent)) {
                QThread::usleep(50);
                continue;
            }
            offset += 1;
            for (int i = 0; i < members; ++i)
                updates[i].value = MmsValue::floatingPoint(offset + i);
            model.update(updates);
            ++sent;
            if (cpu)
                cpu->store(cpuMs(CLOCK_THREAD_CPUTIME_ID));
        }
    });
    feeder->start();
    return feeder;
}

// flood: the feeder steps FloodRate times a second whatever the client has
// received, so the figure is what the server delivers.
void run(int members, bool buffered, bool printing, bool flood = false)
{
    const auto model = benchModel(members, buffered);
    IedServerThread server;
    if (!server.start(model, QHostAddress::LocalHost, 0)) {
        out << "cannot listen: " << server.errorString() << '\n';
        return;
    }
    IedConnection connection;
    if (connection.connect(QStringLiteral("127.0.0.1"), server.serverPort()) !=
        IedClientError::Ok) {
        out << "cannot connect\n";
        return;
    }
    const QString dataSet = Device + QStringLiteral("/LLN0.Big");
    QElapsedTimer clock;
    constexpr int Reads = 50;
    clock.start();
    for (int i = 0; i < Reads; ++i)
        connection.readDataSetValues(dataSet);
    const double readMs = clock.nsecsElapsed() / 1e6 / Reads;

    const QString rcbReference = Device + (buffered ? QStringLiteral("/LLN0$BR$BigRCB01")
                                                    : QStringLiteral("/LLN0$RP$BigRCB01"));
    QAtomicInt received;
    qint64 included = 0;
    QFile nowhere(QStringLiteral("/dev/null"));
    nowhere.open(QIODevice::WriteOnly);
    QTextStream printed(&nowhere);
    std::unique_ptr<ReportWatch> watch;
    if (printing) {
        watch.reset(new ReportWatch(connection, printed));
        WatchedBlock block;
        block.reference = rcbReference;
        QString refusal;
        if (!watch->enable(block, &refusal)) {
            out << refusal << '\n';
            return;
        }
    } else {
        connection.installReportHandler(QString(rcbReference).replace('$', '.'),
                                        QStringLiteral("Bench"), [&](const ClientReport &report) {
                                            included += report.content().values.size();
                                            received.fetchAndAddRelease(1);
                                        });
        ClientReportControlBlock rcb(QString(rcbReference).replace('$', '.'), buffered);
        rcb.setRptEna(true);
        if (connection.setRCBValues(rcb, ClientReportControlBlock::ElementRptEna, true) !=
            IedClientError::Ok) {
            out << "cannot enable the report control block\n";
            return;
        }
    }
    const auto receivedCount = [&] {
        return printing ? watch->reportCount() : received.loadAcquire();
    };

    QAtomicInt stop;
    QElapsedTimer floodClock;
    floodClock.start();
    std::atomic<double> feederCpu{0};
    QThread *feeder = startFeeder(
        *model, members, stop,
        [&](int sent) {
            return flood ? sent < floodClock.elapsed() * FloodRate / 1000
                         : sent - receivedCount() < InFlight;
        },
        &feederCpu);
    const double feederBefore = feederCpu.load();
    const double clientBefore = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    const double processBefore = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    clock.restart();
    QString problem;
    if (printing && !watch->run(
                        RunMs, [] { return false; }, &problem))
        out << problem << '\n';
    while (!printing && clock.elapsed() < RunMs)
        connection.processIncoming(50);
    const double elapsedMs = clock.nsecsElapsed() / 1e6;
    const double clientMs = cpuMs(CLOCK_THREAD_CPUTIME_ID) - clientBefore;
    const double feederMs = feederCpu.load() - feederBefore;
    const double serverMs = cpuMs(CLOCK_PROCESS_CPUTIME_ID) - processBefore - clientMs - feederMs;
    const int reports = receivedCount();
    stop.storeRelease(1);
    feeder->wait();
    delete feeder;
    if (printing) {
        watch->disableAll();
        included = qint64(reports) * members;
    } else {
        ClientReportControlBlock rcb(QString(rcbReference).replace('$', '.'), buffered);
        rcb.setRptEna(false);
        connection.setRCBValues(rcb, ClientReportControlBlock::ElementRptEna, true);
    }
    watch.reset();
    connection.close();
    server.stop();

    const double serverPerReport = reports ? serverMs / reports : 0;
    out << QStringLiteral(
               "%1 members, %2, %3: %4 reports/s, %5 members per report; CPU per "
               "report: client %6 ms, server %7 ms (on a core of its own %8 reports/s), "
               "feeder %9 ms; peak memory %10 MB; one plain read of the data set %11 ms\n")
               .arg(members)
               .arg(buffered ? QStringLiteral("buffered") : QStringLiteral("unbuffered"))
               .arg(flood      ? QStringLiteral("decoded, flood of %1 steps/s").arg(FloodRate)
                    : printing ? QStringLiteral("printed as watch does")
                               : QStringLiteral("decoded"))
               .arg(reports * 1000.0 / elapsedMs, 0, 'f', 0)
               .arg(reports ? double(included) / reports : 0, 0, 'f', 0)
               .arg(reports ? clientMs / reports : 0, 0, 'f', 3)
               .arg(serverPerReport, 0, 'f', 3)
               .arg(serverPerReport > 0 ? 1.0 / serverPerReport * 1000 : 0, 0, 'f', 0)
               .arg(reports ? feederMs / reports : 0, 0, 'f', 3)
               .arg(peakMemoryMb(), 0, 'f', 1)
               .arg(readMs, 0, 'f', 3);
    out.flush();
}

// VmRSS, or with anonymous the process's own part of it (RssAnon: heap and
// stacks, not the mapped libraries).
double residentMb(qint64 pid, bool anonymous = false)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray field = anonymous ? "RssAnon:" : "VmRSS:";
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// The watch process against a flood of FloodRate steps a second.
void watchProcess(const QString &cli, bool buffered, int seconds)
{
    constexpr int LagSeconds = 5;
    constexpr int Members = 100;
    const auto model = benchModel(Members, buffered);
    IedServerThread server;
    if (!server.start(model, QHostAddress::LocalHost, 0)) {
        out << "cannot listen: " << server.errorString() << '\n';
        return;
    }
    QProcess watch;
    watch.setStandardOutputFile(QProcess::nullDevice());
    watch.setStandardErrorFile(QProcess::nullDevice());
    watch.start(cli,
                {QStringLiteral("watch"), QStringLiteral("127.0.0.1:%1").arg(server.serverPort()),
                 Device + (buffered ? QStringLiteral("/LLN0$BR$BigRCB01")
                                    : QStringLiteral("/LLN0$RP$BigRCB01")),
                 QStringLiteral("--seconds"), QString::number(seconds + LagSeconds + 60)});
    if (!watch.waitForStarted()) {
        out << "cannot start " << cli << '\n';
        return;
    }
    const qint64 pid = watch.processId();
    QElapsedTimer clock;
    clock.start();
    QAtomicInt stop;
    QThread *feeder = startFeeder(*model, Members, stop, [&clock](int sent) {
        return sent < clock.elapsed() * FloodRate / 1000;
    });
    QStringList samples;
    for (int second = 1; second <= seconds; ++second) {
        QThread::sleep(1);
        if (second % 10 == 0 || second == 1)
            samples << QStringLiteral("%1 s %2 MB (own %3 MB)")
                           .arg(second)
                           .arg(residentMb(pid), 0, 'f', 1)
                           .arg(residentMb(pid, true), 0, 'f', 1);
    }
    const double steady = residentMb(pid);
    const double steadyOwn = residentMb(pid, true);
    // A reader that lags: stopped while the flood goes on, then told to stop.
    kill(pid_t(pid), SIGSTOP);
    QThread::sleep(LagSeconds);
    kill(pid_t(pid), SIGINT);
    kill(pid_t(pid), SIGCONT);
    double peak = steady;
    double peakOwn = steadyOwn;
    while (watch.state() != QProcess::NotRunning && !watch.waitForFinished(20)) {
        peak = qMax(peak, residentMb(pid));
        peakOwn = qMax(peakOwn, residentMb(pid, true));
    }
    stop.storeRelease(1);
    feeder->wait();
    delete feeder;
    server.stop();
    out << QStringLiteral(
               "watch process, 100 members, %1, flood of %2 steps/s: resident %3; "
               "steady %4 MB (own %5 MB); stopped %6 s, then disabling: at most %7 MB (own "
               "%8 MB); exit %9\n")
               .arg(buffered ? QStringLiteral("buffered") : QStringLiteral("unbuffered"))
               .arg(FloodRate)
               .arg(samples.join(QStringLiteral(", ")))
               .arg(steady, 0, 'f', 1)
               .arg(steadyOwn, 0, 'f', 1)
               .arg(LagSeconds)
               .arg(peak, 0, 'f', 1)
               .arg(peakOwn, 0, 'f', 1)
               .arg(watch.exitCode());
    out.flush();
}

void enableMany(int blocks)
{
    IedServerThread server;
    if (!server.start(benchModel(10, false, blocks), QHostAddress::LocalHost, 0)) {
        out << "cannot listen: " << server.errorString() << '\n';
        return;
    }
    QFile nowhere(QStringLiteral("/dev/null"));
    nowhere.open(QIODevice::WriteOnly);
    QTextStream printed(&nowhere);
    QList<WatchedBlock> watched;
    for (int block = 1; block <= blocks; ++block) {
        WatchedBlock settings;
        settings.reference =
            Device + QStringLiteral("/LLN0$RP$BigRCB%1").arg(block, 2, 10, QLatin1Char('0'));
        settings.gi = true;
        watched.append(settings);
    }
    for (bool together : {false, true}) {
        IedConnection connection;
        if (connection.connect(QStringLiteral("127.0.0.1"), server.serverPort()) !=
            IedClientError::Ok) {
            out << "cannot connect\n";
            return;
        }
        ReportWatch watch(connection, printed);
        QStringList problems;
        QElapsedTimer clock;
        clock.start();
        if (together) {
            watch.enableAll(watched, &problems);
        } else {
            for (const WatchedBlock &block : qAsConst(watched)) {
                QString problem;
                if (!watch.enable(block, &problem))
                    problems << problem;
            }
        }
        const double elapsedMs = clock.nsecsElapsed() / 1e6;
        out << QStringLiteral("%1 blocks enabled with GI %2: %3 ms, %4 requests, at most %5 "
                              "in flight, %6 refused\n")
                   .arg(blocks)
                   .arg(together ? QStringLiteral("together") : QStringLiteral("one by one"))
                   .arg(elapsedMs, 0, 'f', 1)
                   .arg(connection.roundTrips())
                   .arg(connection.mostRequestsInFlight())
                   .arg(problems.size());
        out.flush();
        watch.disableAll();
        connection.close();
    }
    server.stop();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption membersOption(
        QStringLiteral("members"), QStringLiteral("Only this data set size."), QStringLiteral("N"));
    const QCommandLineOption watchOption(
        QStringLiteral("watch"), QStringLiteral("Measure this stationscope-cli's watch process."),
        QStringLiteral("PATH"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("Flood length for --watch (60)."),
                                           QStringLiteral("N"), QStringLiteral("60"));
    parser.addOptions({membersOption, watchOption, secondsOption});
    parser.process(application);
    if (parser.isSet(watchOption)) {
        for (bool buffered : {false, true})
            watchProcess(parser.value(watchOption), buffered, parser.value(secondsOption).toInt());
        return 0;
    }
    for (int members : {100, 1000}) {
        if (parser.isSet(membersOption) && parser.value(membersOption).toInt() != members)
            continue;
        for (bool buffered : {false, true}) {
            for (bool printing : {false, true})
                run(members, buffered, printing);
            if (members == 100)
                run(members, buffered, false, true);
        }
    }
    enableMany(100);
    return 0;
}
