// The subcommands on live devices: browse and serve.

#include "commandlinetool.h"

#include "clisupport.h"
#include "iedaddress.h"
#include "iedserver.h"
#include "iedserverthread.h"
#include "iedsimulator.h"
#include "iedsimulatormodel.h"
#include "onlinebrowse.h"
#include "sclparser.h"
#include "servercontrols.h"
#include "serverreportcontrol.h"
#include "stopsignal.h"
#include "treeprinter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QStandardItemModel>
#include <QTextStream>
#include <QTime>

int CommandLineTool::browseDevice(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"),
        QStringLiteral("Connect and request time-out in milliseconds (default 10000 and 5000)."),
        QStringLiteral("MS"));
    parser.addOption(timeoutOption);
    const Subcommand command = subcommand(QStringLiteral("browse"));
    int exitCode = Success;
    if (!parseSubcommand(parser,
                         {programName(), command.name, command.synopsis, command.description},
                         arguments, 1, out, err, &exitCode))
        return exitCode;
    QString host;
    int port = 0;
    if (!splitIedAddress(parser.positionalArguments().at(0), &host, &port))
        return usage(QStringLiteral("browse: \"%1\" is no HOST[:PORT]")
                         .arg(parser.positionalArguments().at(0)));

    OnlineBrowse browse([this](const QString &line) {
        out << line << '\n';
        out.flush();
    });
    browse.setEventPump([] {});
    if (parser.isSet(timeoutOption)) {
        bool ok = false;
        const int timeout = parser.value(timeoutOption).toInt(&ok);
        if (!ok || timeout <= 0)
            return usage(QStringLiteral("browse: --timeout takes milliseconds"));
        browse.setTimeouts(timeout, timeout);
    }
    QStandardItemModel complete;
    QStandardItemModel dataSets;
    QStandardItemModel reports;
    const OnlineBrowse::Result result =
        browse.browseIed(host, port, {&complete, &dataSets, &reports});
    if (!result.connected)
        return fail(result.failure);
    out << "Tree\n";
    TreePrinter(out).printTree(complete, 1);
    out.flush();
    if (!result)
        return fail(QStringLiteral("browse incomplete, the tree above is what was listed: %1")
                        .arg(result.failure));
    return Success;
}

int CommandLineTool::serveSimulator(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption iedOption(QStringLiteral("ied"),
                                       QStringLiteral("The IED to serve (the file's first one "
                                                      "when not given)."),
                                       QStringLiteral("NAME"));
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("TCP port (default 102; 0 picks a free one, shown when listening)."),
        QStringLiteral("N"), QStringLiteral("102"));
    const QCommandLineOption bindOption(QStringLiteral("bind"),
                                        QStringLiteral("Address to listen on (default: all)."),
                                        QStringLiteral("ADDR"));
    const QCommandLineOption simulateOption(
        QStringLiteral("simulate"),
        QStringLiteral("Let measured values (MX) change and status values (ST) toggle now and "
                       "then, with their q and t, so that reports flow."));
    const QCommandLineOption stepOption(
        QStringLiteral("step"),
        QStringLiteral("With --simulate: milliseconds between changes (default 1000)."),
        QStringLiteral("MS"), QStringLiteral("1000"));
    const QCommandLineOption rateOption(
        QStringLiteral("rate"),
        QStringLiteral("With --simulate: value steps per second instead of --step (1 to "
                       "100000), for report floods."),
        QStringLiteral("N"));
    const QCommandLineOption refuseOption(
        QStringLiteral("refuse-controls"),
        QStringLiteral("Refuse this share of control commands (blocked by process), so that "
                       "failure paths can be tried."),
        QStringLiteral("N%"), QStringLiteral("0%"));
    const QCommandLineOption bufferOption(
        QStringLiteral("report-buffer"),
        QStringLiteral("Bytes each buffered report control block keeps while nobody reads it "
                       "(default 65536); beyond them the oldest entries go and the next report "
                       "carries BufOvfl."),
        QStringLiteral("BYTES"), QString::number(ServerReportControl::DefaultBufferBytes));
    const QCommandLineOption stallOption(
        QStringLiteral("stall-timeout"),
        QStringLiteral("Close a connection that has no association this many milliseconds after "
                       "it connected, that stops this long halfway through a message, or that "
                       "takes none of what it is sent for this long (default 10000)."),
        QStringLiteral("MS"), QString::number(IedServer::DefaultAssociationDeadlineMs));
    parser.addOptions({iedOption, portOption, bindOption, simulateOption, stepOption, rateOption,
                       refuseOption, bufferOption, stallOption});
    const Subcommand command = subcommand(QStringLiteral("serve"));
    int exitCode = Success;
    if (!parseSubcommand(parser,
                         {programName(), command.name, command.synopsis, command.description},
                         arguments, 1, out, err, &exitCode))
        return exitCode;
    bool ok = false;
    const int port = parser.value(portOption).toInt(&ok);
    if (!ok || port < 0 || port > 65535)
        return usage(QStringLiteral("serve: --port takes a number from 0 to 65535"));
    const int step = parser.value(stepOption).toInt(&ok);
    if (!ok || step <= 0)
        return usage(QStringLiteral("serve: --step takes milliseconds"));
    const int rate = parser.isSet(rateOption) ? parser.value(rateOption).toInt(&ok) : 0;
    if (parser.isSet(rateOption) && (!ok || rate < 1 || rate > 100000))
        return usage(QStringLiteral("serve: --rate takes steps per second from 1 to 100000"));
    QString share = parser.value(refuseOption);
    if (share.endsWith(QLatin1Char('%')))
        share.chop(1);
    const int refusal = share.toInt(&ok);
    if (!ok || refusal < 0 || refusal > 100)
        return usage(QStringLiteral("serve: --refuse-controls takes a share from 0% to 100%"));
    const int bufferBytes = parser.value(bufferOption).toInt(&ok);
    if (!ok || bufferBytes < 1024)
        return usage(QStringLiteral("serve: --report-buffer takes bytes, at least 1024"));
    const int stallMs = parser.value(stallOption).toInt(&ok);
    if (!ok || stallMs <= 0)
        return usage(QStringLiteral("serve: --stall-timeout takes milliseconds"));
    QHostAddress address = QHostAddress::Any;
    if (parser.isSet(bindOption) && !address.setAddress(parser.value(bindOption)))
        return usage(
            QStringLiteral("serve: \"%1\" is no IP address").arg(parser.value(bindOption)));

    const QString file = parser.positionalArguments().at(0);
    QString problem;
    if (!isReadableFile(file, &problem))
        return fail(problem);
    const auto model = IedSimulatorModel::fromSclFile(file, parser.value(iedOption), &problem);
    if (!model)
        return fail(problem);

    const std::shared_ptr<ServerControls> controls = ServerControls::forModel(model);
    controls->setRefusalPercent(refusal);
    IedServerThread server;
    server.setReportBufferBytes(bufferBytes);
    server.setAssociationDeadline(stallMs);
    server.setIdleLimit(stallMs);
    if (!server.start(model, address, quint16(port)))
        return fail(QStringLiteral("cannot listen on %1 port %2: %3")
                        .arg(address.toString())
                        .arg(port)
                        .arg(server.errorString()));
    auto stamp = [] {
        return QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    };
    QObject::connect(&server, &IedServerThread::associationEstablished, [&](const QString &peer) {
        out << stamp() << " association from " << peer << '\n';
        out.flush();
    });
    QObject::connect(&server, &IedServerThread::associationClosed, [&](const QString &peer) {
        out << stamp() << " association of " << peer << " ended\n";
        out.flush();
    });
    QObject::connect(&server, &IedServerThread::connectionDropped,
                     [&](const QString &peer, const QString &reason) {
                         out << stamp() << " connection from " << peer << " closed: " << reason
                             << '\n';
                         out.flush();
                     });

    const StopSignal stop;
    if (!stop.isWatching())
        return fail(QStringLiteral("cannot watch for Ctrl+C"));
    QSocketNotifier stopNotifier(stop.descriptor(), QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });

    const QString iedName =
        parser.isSet(iedOption) ? parser.value(iedOption) : SclParser().loadIedNames(file).value(0);
    IedSimulator simulator(model);
    if (parser.isSet(simulateOption) && rate > 0)
        simulator.startRate(rate);
    else if (parser.isSet(simulateOption))
        simulator.start(step);
    out << "Serving " << iedName << " of " << file << " on " << address.toString() << " port "
        << server.serverPort();
    if (simulator.isRunning()) {
        out << ", simulating " << simulator.measuredCount() << " measured and "
            << simulator.statusCount() << " status values";
    }
    if (refusal > 0)
        out << ", refusing " << refusal << "% of control commands";
    out << "; Ctrl+C stops\n";
    out.flush();
    QCoreApplication::exec();

    simulator.stop();
    server.stop();
    out << "Stopped\n";
    out.flush();
    return Success;
}
