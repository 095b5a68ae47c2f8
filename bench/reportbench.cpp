// Reports per second from our server to our client on 127.0.0.1, with a data
// set of 100 and of 1000 measured values, and the client's CPU time per
// decoded report, beside the time of one plain read of the same data set.
// A feeder thread changes every member at once, at most two reports ahead of
// what the client has received, so the figure is what the pair sustains.

#include "iec61850types.h"
#include "iedconnection.h"
#include "iedserverthread.h"
#include "mmsreport.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>

#include <ctime>

namespace {

QTextStream out(stdout);
const QString Device = QStringLiteral("BENCHLD0");
constexpr int RunMs = 3000;
constexpr int InFlight = 2;

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

std::shared_ptr<MmsServerModel> benchModel(int members)
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
    settings.bufTm = 1;
    settings.trgOps = TriggerOptionDataChanged;
    MmsTypeSpec rp = MmsTypeSpec::structure();
    rp.addComponent(QStringLiteral("BigRCB01"), Iec61850Types::reportControlType(false));
    const MmsTypeSpec lln0 = structureOf({{"RP", rp}});
    device.variables.append({QStringLiteral("LLN0"), lln0,
                             MmsValue::structure({MmsValue::structure(
                                 {Iec61850Types::reportControlValue(settings)})})});
    MmsServerDataSet dataSet{QStringLiteral("LLN0$Big"), {}, false};
    for (int i = 0; i < members; ++i) {
        dataSet.members.append({MmsObjectName::DomainSpecific, Device,
                                QStringLiteral("GGIO1$MX$%1$mag$f").arg(analog(i))});
    }
    device.dataSets.append(dataSet);
    model->finish();
    return model;
}

double threadCpuMs()
{
    timespec spec{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &spec);
    return spec.tv_sec * 1e3 + spec.tv_nsec / 1e6;
}

void run(int members)
{
    const auto model = benchModel(members);
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

    const QString rcbReference = Device + QStringLiteral("/LLN0.RP.BigRCB01");
    QAtomicInt received;
    qint64 included = 0;
    connection.installReportHandler(rcbReference, QStringLiteral("Bench"),
                                    [&](const ClientReport &report) {
                                        included += report.content().values.size();
                                        received.fetchAndAddRelease(1);
                                    });
    ClientReportControlBlock rcb(rcbReference, false);
    rcb.setRptEna(true);
    if (connection.setRCBValues(rcb, ClientReportControlBlock::ElementRptEna, true) !=
        IedClientError::Ok) {
        out << "cannot enable the report control block\n";
        return;
    }

    QAtomicInt stop;
    QThread *feeder = QThread::create([&] {
        int sent = 0;
        float offset = 0;
        while (!stop.loadAcquire()) {
            if (sent - received.loadAcquire() >= InFlight) {
                QThread::usleep(50);
                continue;
            }
            offset += 1;
            QVector<MmsValueUpdate> updates;
            updates.reserve(members);
            for (int i = 0; i < members; ++i) {
                updates.append({Device, QStringLiteral("GGIO1$MX$%1$mag$f").arg(analog(i)),
                                MmsValue::floatingPoint(offset + i)});
            }
            model->update(updates);
            ++sent;
        }
    });
    feeder->start();
    const double cpuBefore = threadCpuMs();
    clock.restart();
    while (clock.elapsed() < RunMs)
        connection.processIncoming(50);
    const double elapsedMs = clock.nsecsElapsed() / 1e6;
    const double cpuMs = threadCpuMs() - cpuBefore;
    const int reports = received.loadAcquire();
    stop.storeRelease(1);
    feeder->wait();
    delete feeder;
    rcb.setRptEna(false);
    connection.setRCBValues(rcb, ClientReportControlBlock::ElementRptEna, true);
    connection.close();
    server.stop();

    out << QStringLiteral("%1 members: %2 reports/s, %3 members per report, client CPU %4 ms "
                          "per decoded report; one plain read of the data set %5 ms\n")
               .arg(members)
               .arg(reports * 1000.0 / elapsedMs, 0, 'f', 0)
               .arg(reports ? double(included) / reports : 0, 0, 'f', 0)
               .arg(reports ? cpuMs / reports : 0, 0, 'f', 3)
               .arg(readMs, 0, 'f', 3);
    out.flush();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    for (int members : {100, 1000})
        run(members);
    return 0;
}
