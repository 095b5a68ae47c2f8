// Round trips, bytes and time of a full online browse: our simulated IED and
// our client on 127.0.0.1, for the largest IED among the public SCL samples
// and for a synthetic IED of about 500 logical nodes. The browse lists the
// logical devices and nodes, every data object with its attribute tree, the
// data sets with their members and the control blocks with their values.

#include "benchsupport.h"
#include "iedbrowser.h"
#include "iedconnection.h"
#include "iedserverthread.h"
#include "iedsimulatormodel.h"
#include "sclgenerator.h"
#include "sclparser.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

QTextStream out(stdout);

struct Sample
{
    QString file;
    QString ied;
    std::shared_ptr<MmsServerModel> model;
    int names = 0;
};

int nameCount(const MmsServerModel &model)
{
    int count = 0;
    for (const QString &domain : model.domainNames())
        count += model.variableNames(domain).size();
    return count;
}

// The IED whose simulated model has the most variable names.
Sample largestSample(const QString &folder)
{
    Sample largest;
    QDirIterator files(folder, {"*.scd", "*.cid", "*.icd", "*.iid", "*.scl", "*.xml"}, QDir::Files,
                       QDirIterator::Subdirectories);
    QStringList paths;
    while (files.hasNext())
        paths << files.next();
    std::sort(paths.begin(), paths.end());
    for (const QString &path : qAsConst(paths)) {
        SclParser parser;
        for (const QString &ied : parser.loadIedNames(path)) {
            const auto model = IedSimulatorModel::fromSclFile(path, ied);
            if (!model)
                continue;
            const int names = nameCount(*model);
            if (names > largest.names)
                largest = {path, ied, model, names};
        }
    }
    return largest;
}

struct Totals
{
    int devices = 0, nodes = 0, objects = 0, attributes = 0, dataSets = 0, members = 0, reports = 0;
};

int countAttributes(const QVector<BrowsedAttribute> &attributes)
{
    int count = attributes.size();
    for (const BrowsedAttribute &attribute : attributes)
        count += countAttributes(attribute.children);
    return count;
}

Totals totalsOf(const IedBrowseResult &result)
{
    Totals totals;
    totals.devices = result.logicalDevices.size();
    for (const BrowsedLogicalDevice &device : result.logicalDevices) {
        for (const BrowsedLogicalNode &node : device.logicalNodes) {
            ++totals.nodes;
            totals.objects += node.dataObjects.size();
            for (const BrowsedDataObject &object : node.dataObjects)
                totals.attributes += countAttributes(object.attributes);
            totals.dataSets += node.dataSets.size();
            for (const BrowsedDataSet &dataSet : node.dataSets)
                totals.members += dataSet.members.size();
            totals.reports += node.unbufferedReports.size() + node.bufferedReports.size();
        }
    }
    return totals;
}

void measure(const QString &title, const std::shared_ptr<MmsServerModel> &model, int pduSize,
             int repeat)
{
    IedServerThread server;
    if (!server.start(model, QHostAddress::LocalHost, 0)) {
        out << title << ": the simulator does not listen: " << server.errorString() << Qt::endl;
        return;
    }
    qint64 best = -1;
    IedBrowseResult result;
    int roundTrips = 0;
    qint64 sent = 0;
    qint64 received = 0;
    for (int run = 0; run < repeat; ++run) {
        IedConnection connection;
        connection.setMaxPduSize(pduSize);
        QElapsedTimer timer;
        timer.start();
        if (connection.connect(QStringLiteral("127.0.0.1"), server.serverPort()) !=
            IedClientError::Ok) {
            out << title << ": no association" << Qt::endl;
            return;
        }
        connection.resetCounters();
        result = IedBrowser::browse(connection);
        const qint64 elapsed = timer.elapsed();
        roundTrips = connection.roundTrips();
        sent = connection.bytesSent();
        received = connection.bytesReceived();
        connection.close();
        if (best < 0 || elapsed < best)
            best = elapsed;
    }
    const Totals t = totalsOf(result);
    out << title << ", max PDU " << pduSize << ": " << t.devices << " LDs, " << t.nodes << " LNs, "
        << t.objects << " DOs, " << t.attributes << " attribute entries, " << t.dataSets
        << " data sets (" << t.members << " members), " << t.reports << " RCBs\n    " << roundTrips
        << " round trips, " << sent << " bytes sent, " << received << " bytes received, " << best
        << " ms (connect and browse, best of " << repeat << ")" << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWindowlessBench();
    QGuiApplication app(argc, argv);

    QString shared =
        QDir(QStringLiteral(STATIONSCOPE_SOURCE_DIR)).filePath(QStringLiteral("../shared"));
    SclGeneratorOptions options;
    options.iedCount = 1;
    options.lnInstances = 70; // 8 + 7 x 70 = 498 logical nodes
    options.templateFamilies = 1;
    int repeat = 3;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString arg = args.at(i);
        if (arg == QLatin1String("--lns") && i + 1 < args.size())
            options.lnInstances = args.at(++i).toInt();
        else if (arg == QLatin1String("--repeat") && i + 1 < args.size())
            repeat = std::max(1, args.at(++i).toInt());
        else if (arg == QLatin1String("--shared") && i + 1 < args.size())
            shared = args.at(++i);
        else {
            out << "usage: mmsbench [--lns M] [--repeat R] [--shared FOLDER]\n";
            return 2;
        }
    }

    const QString samples = QDir(shared).filePath(QStringLiteral("scl-samples"));
    if (QFileInfo(samples).isDir()) {
        QElapsedTimer timer;
        timer.start();
        const Sample largest = largestSample(samples);
        if (largest.model) {
            out << "Largest sample IED: " << largest.ied << " of "
                << QDir(samples).relativeFilePath(largest.file) << ", " << largest.names
                << " variable names (all samples modelled in " << timer.elapsed() << " ms)"
                << Qt::endl;
            measure(QStringLiteral("  ") + largest.ied, largest.model, 65000, repeat);
            measure(QStringLiteral("  ") + largest.ied, largest.model, 1000, repeat);
        }
    } else {
        out << "No SCL samples at " << samples << "; only the synthetic IED is browsed."
            << Qt::endl;
    }

    QTemporaryDir directory;
    const QString file = directory.filePath(QStringLiteral("mmsbench.scd"));
    if (!SclGenerator::write(file, options)) {
        out << "cannot write " << file << Qt::endl;
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    const auto model = IedSimulatorModel::fromSclFile(file, SclGenerator::iedName(0));
    if (!model) {
        out << "the synthetic IED cannot be modelled" << Qt::endl;
        return 1;
    }
    out << "Synthetic IED " << SclGenerator::iedName(0) << ": " << nameCount(*model)
        << " variable names (parsed and modelled in " << timer.elapsed() << " ms)" << Qt::endl;
    measure(QStringLiteral("  ") + SclGenerator::iedName(0), model, 65000, repeat);
    measure(QStringLiteral("  ") + SclGenerator::iedName(0), model, 1000, repeat);
    return 0;
}
