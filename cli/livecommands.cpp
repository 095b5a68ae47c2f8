// The subcommands on a live IED's values and reports: read and watch.

#include "commandlinetool.h"

#include "clisupport.h"
#include "consoleprompt.h"
#include "iec61850dbmanager.h"
#include "iedaddress.h"
#include "iedconnection.h"
#include "livevaluetext.h"
#include "objectreference.h"
#include "projectdocument.h"
#include "reportpicks.h"
#include "reportwatch.h"
#include "scldataexporter.h"
#include "sclmodel.h"
#include "selecteddatasetsmodel.h"
#include "selecteditemsmodel.h"
#include "selectedobjectsmodel.h"
#include "selectedreportsmodel.h"
#include "stopsignal.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QStandardItem>
#include <QTextStream>

#include <memory>

namespace {

// The count of positional arguments, at least minimum, for parseSubcommand
// to check: these commands take a list.
int positionalCount(const QList<QCommandLineOption> &options, const QStringList &arguments,
                    int minimum)
{
    QCommandLineParser probe;
    probe.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    probe.addOptions(options);
    probe.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    probe.parse(QStringList{QStringLiteral("probe")} + arguments);
    return qMax(minimum, probe.positionalArguments().size());
}

// "dchg,qchg,period,gi" or a number as the project stores it.
bool parseFlags(const QString &text, const QStringList &names, int *flags)
{
    bool numeric = false;
    *flags = text.toInt(&numeric);
    if (numeric)
        return *flags >= 0;
    *flags = 0;
    for (const QString &word : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int bit = names.indexOf(word.trimmed());
        if (bit < 0)
            return false;
        *flags |= 1 << bit;
    }
    return true;
}

const QStringList TriggerNames{"dchg", "qchg", "dupd", "period", "gi"};
const QStringList OptionNames{"seqNum",  "timeStamp", "reasonCode", "dataSet",     "dataRef",
                              "bufOvfl", "entryID",   "configRef",  "segmentation"};

// The project's connection node: its value column by row.
QString connectionValue(const QStandardItemModel &scl, int row)
{
    const QStandardItem *ied = scl.item(0);
    const QStandardItem *connection = ied ? ied->child(SclBranch::ConnectionRow) : nullptr;
    const QStandardItem *value = connection ? connection->child(row, 1) : nullptr;
    return value ? value->text().trimmed() : QString();
}

// Member reference -> the signal bound to it, for every data set picked in the project.
QHash<QString, QHash<QString, QString>> boundSignals(const SelectedDatasetsModel &datasets)
{
    QHash<QString, QHash<QString, QString>> bound;
    for (int row = 0; row < datasets.rowCount(); ++row) {
        const QStandardItem *dataSet = datasets.item(row);
        QHash<QString, QString> &members = bound[dataSet->text()];
        for (int child = 0; child < dataSet->rowCount(); ++child) {
            const QStandardItem *member = dataSet->child(child);
            members.insert(member->text(), boundSignalText(member));
        }
    }
    return bound;
}

// The picks of a project file, loaded as Open Project loads them.
struct ProjectPicks
{
    ProjectDocument document;
    const SelectedItemsModel &scl = document.scl;
    const SelectedDatasetsModel &datasets = document.datasets;
    const SelectedReportsModel &reports = document.reports;

    bool load(const QString &path, QString *problem) { return document.loadProject(path, problem); }

    QList<WatchedBlock> blocks() const
    {
        const QHash<QString, QHash<QString, QString>> bound = boundSignals(datasets);
        QList<WatchedBlock> result;
        for (const PickedReport &pick : pickedReports(reports)) {
            WatchedBlock block;
            block.reference = pick.reference;
            block.instances = pick.instances;
            block.trgOps = pick.trgOps;
            block.optFlds = pick.optFlds;
            block.intgPd = pick.intgPd;
            block.bufTm = pick.bufTm;
            block.gi = pick.gi;
            block.confRev = pick.confRev;
            block.signalByMember = bound.value(pick.dataSet);
            ObjectReference dataSetReference;
            if (ObjectReference::parse(pick.dataSet, &dataSetReference))
                block.dataSet = dataSetReference.logicalDevice + QLatin1Char('/') +
                                dataSetReference.plainItem();
            result << block;
        }
        return result;
    }
};

} // namespace

int CommandLineTool::readValues(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"),
        QStringLiteral("Connect and request time-out in milliseconds (default 10000 and 5000)."),
        QStringLiteral("MS"));
    parser.addOption(timeoutOption);
    const Subcommand command = subcommand(QStringLiteral("read"));
    int exitCode = Success;
    if (!parseSubcommand(
            parser, {programName(), command.name, command.synopsis, command.description}, arguments,
            positionalCount({timeoutOption}, arguments, 2), out, err, &exitCode))
        return exitCode;
    const QStringList positional = parser.positionalArguments();
    QString host;
    int port = 0;
    if (!splitIedAddress(positional.first(), &host, &port))
        return usage(QStringLiteral("read: \"%1\" is no HOST[:PORT]").arg(positional.first()));
    IedConnection connection;
    if (parser.isSet(timeoutOption)) {
        const int timeout = parser.value(timeoutOption).toInt();
        if (timeout <= 0)
            return usage(QStringLiteral("read: --timeout takes milliseconds"));
        connection.setConnectTimeout(timeout);
        connection.setRequestTimeout(timeout);
    }
    const IedClientError connected = connection.connect(host, quint16(port));
    if (connected != IedClientError::Ok)
        return fail(QStringLiteral("cannot connect to %1 port %2: %3")
                        .arg(host)
                        .arg(port)
                        .arg(iedClientErrorName(connected)));

    int failures = 0;
    for (const QString &text : positional.mid(1)) {
        ObjectReference reference;
        if (!ObjectReference::parse(text, &reference) || reference.path.isEmpty()) {
            err << programName() << ": read: \"" << text << "\" is no LD/LN.DO[.DA][FC]\n";
            ++failures;
            continue;
        }
        // The MMS form "LD/LN$FC$DO$DA" carries its constraint after the node.
        if (reference.fc.isEmpty() && reference.path.size() > 1 &&
            text.contains(QLatin1Char('$')) &&
            ObjectReferences::isFunctionalConstraint(reference.path.first()))
            reference.fc = reference.path.takeFirst();
        const QString plain = reference.logicalDevice + QLatin1Char('/') + reference.logicalNode +
                              QLatin1Char('.') + reference.path.join(QLatin1Char('.'));
        QStringList constraints{reference.fc};
        IedClientError error = IedClientError::Ok;
        if (reference.fc.isEmpty()) {
            // Without a constraint: every one the data object has; an
            // attribute has those its parent lists it under.
            constraints.clear();
            QStringList children = connection.dataDirectoryFc(plain, &error);
            if (children.isEmpty() && reference.path.size() > 1) {
                const QString leaf = reference.path.last() + QLatin1Char('[');
                const QString parent = plain.left(plain.lastIndexOf(QLatin1Char('.')));
                children.clear();
                for (const QString &child : connection.dataDirectoryFc(parent, &error)) {
                    if (child.startsWith(leaf))
                        children << child;
                }
            }
            for (const QString &child : qAsConst(children)) {
                const QString fc = child.section(QLatin1Char('['), 1).chopped(1);
                if (!constraints.contains(fc))
                    constraints << fc;
            }
            if (constraints.isEmpty()) {
                err << programName() << ": read " << text << ": "
                    << iedClientErrorName(
                           error == IedClientError::Ok ? IedClientError::ObjectDoesNotExist : error)
                    << '\n';
                ++failures;
                continue;
            }
        }
        for (const QString &fc : qAsConst(constraints)) {
            const MmsValue value = connection.readObject(plain, fc, &error);
            const QString name = plain + QLatin1Char('[') + fc + QLatin1Char(']');
            if (error != IedClientError::Ok) {
                err << programName() << ": read " << name << ": " << iedClientErrorName(error)
                    << '\n';
                ++failures;
                continue;
            }
            if (value.type() != MmsType::Structure && value.type() != MmsType::Array) {
                out << name << ": "
                    << LiveValueText::typedValue(value, reference.path.join(QLatin1Char('.')))
                    << '\n';
                continue;
            }
            const MmsTypeSpec type = connection.variableSpecification(plain, fc, &error);
            out << name << ": " << value.typeString() << '\n';
            for (const QString &line :
                 LiveValueText::attributeLines(value, type, reference.path.join(QLatin1Char('.'))))
                out << "  " << line << '\n';
        }
    }
    connection.close();
    out.flush();
    err.flush();
    return failures ? Failure : Success;
}

int CommandLineTool::watchReports(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption secondsOption(
        QStringLiteral("seconds"), QStringLiteral("Stop after N seconds (default: at Ctrl+C)."),
        QStringLiteral("N"));
    const QCommandLineOption hostOption(
        QStringLiteral("host"),
        QStringLiteral("With a project: the IED's address instead of the project's."),
        QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption giOption(QStringLiteral("gi"),
                                      QStringLiteral("Ask for a general interrogation once "
                                                     "enabled."));
    const QCommandLineOption trgOpsOption(
        QStringLiteral("trgops"), QStringLiteral("Triggers to write: dchg,qchg,dupd,period,gi."),
        QStringLiteral("LIST"));
    const QCommandLineOption optFldsOption(
        QStringLiteral("optflds"),
        QStringLiteral("Optional fields to write: seqNum,timeStamp,reasonCode,dataSet,dataRef,"
                       "bufOvfl,entryID,configRef,segmentation."),
        QStringLiteral("LIST"));
    const QCommandLineOption intgPdOption(QStringLiteral("intgpd"),
                                          QStringLiteral("Integrity period to write."),
                                          QStringLiteral("MS"));
    const QCommandLineOption bufTmOption(
        QStringLiteral("buftm"), QStringLiteral("Buffer time to write."), QStringLiteral("MS"));
    const QCommandLineOption purgeOption(
        QStringLiteral("purge"),
        QStringLiteral("Buffered blocks: purge the buffer before enabling, so no old report "
                       "comes."));
    const QCommandLineOption resumeOption(
        QStringLiteral("resume"),
        QStringLiteral("One buffered block: continue after this EntryID (hex, as printed) "
                       "instead of receiving the whole buffer."),
        QStringLiteral("ENTRYID"));
    const QList<QCommandLineOption> options{secondsOption, hostOption,    giOption,
                                            trgOpsOption,  optFldsOption, intgPdOption,
                                            bufTmOption,   purgeOption,   resumeOption};
    parser.addOptions(options);
    const Subcommand command = subcommand(QStringLiteral("watch"));
    int exitCode = Success;
    if (!parseSubcommand(parser,
                         {programName(), command.name, command.synopsis, command.description},
                         arguments, positionalCount(options, arguments, 1), out, err, &exitCode))
        return exitCode;
    const QStringList positional = parser.positionalArguments();
    qint64 seconds = -1;
    if (parser.isSet(secondsOption)) {
        bool ok = false;
        seconds = parser.value(secondsOption).toLongLong(&ok);
        if (!ok || seconds < 0)
            return usage(QStringLiteral("watch: --seconds takes a number of seconds"));
    }

    QByteArray resumeEntryId;
    if (parser.isSet(resumeOption)) {
        resumeEntryId = QByteArray::fromHex(parser.value(resumeOption).toLatin1());
        if (resumeEntryId.isEmpty() ||
            resumeEntryId.toHex() != parser.value(resumeOption).toLower())
            return usage(QStringLiteral("watch: --resume takes an EntryID in hex digits"));
        if (parser.isSet(purgeOption))
            return usage(QStringLiteral("watch: --resume and --purge exclude each other"));
    }

    QString address = positional.first();
    QList<WatchedBlock> blocks;
    const bool project = QFileInfo::exists(positional.first()) ||
                         positional.first().endsWith(QLatin1String(".sclpro"));
    if (project) {
        if (positional.size() != 1)
            return usage(QStringLiteral("watch: a project takes no RCB references"));
        if (!resumeEntryId.isEmpty())
            return usage(QStringLiteral("watch: --resume takes one RCB reference, not a project"));
        ConsolePrompt prompt;
        ProjectPicks picks;
        QString problem;
        if (!picks.load(positional.first(), &problem))
            return fail(problem);
        blocks = picks.blocks();
        if (blocks.isEmpty())
            return fail(QStringLiteral("%1 has no report picked").arg(positional.first()));
        if (parser.isSet(hostOption)) {
            address = parser.value(hostOption);
        } else {
            address = connectionValue(picks.scl, 2);
            const QString portText = connectionValue(picks.scl, 3);
            if (!portText.isEmpty() && portText != QLatin1String("102"))
                address += QLatin1Char(':') + portText;
        }
    } else {
        if (positional.size() < 2)
            return usage(QStringLiteral("watch: name at least one RCB (see --help)"));
        if (!resumeEntryId.isEmpty() && positional.size() != 2)
            return usage(QStringLiteral("watch: --resume takes one RCB reference"));
        WatchedBlock settings;
        settings.gi = parser.isSet(giOption);
        settings.resumeEntryId = resumeEntryId;
        int flags = 0;
        if (parser.isSet(trgOpsOption)) {
            if (!parseFlags(parser.value(trgOpsOption), TriggerNames, &flags))
                return usage(QStringLiteral("watch: --trgops takes dchg,qchg,dupd,period,gi"));
            settings.trgOps = flags;
        }
        if (parser.isSet(optFldsOption)) {
            if (!parseFlags(parser.value(optFldsOption), OptionNames, &flags))
                return usage(
                    QStringLiteral("watch: --optflds takes %1").arg(OptionNames.join(',')));
            settings.optFlds = flags;
        }
        bool ok = true;
        if (parser.isSet(intgPdOption))
            settings.intgPd = parser.value(intgPdOption).toUInt(&ok);
        if (ok && parser.isSet(bufTmOption))
            settings.bufTm = parser.value(bufTmOption).toUInt(&ok);
        if (!ok)
            return usage(QStringLiteral("watch: --intgpd and --buftm take milliseconds"));
        for (const QString &reference : positional.mid(1)) {
            if (ReportWatch::browseForm(reference).isEmpty())
                return usage(QStringLiteral("watch: \"%1\" is no RCB reference "
                                            "(LD/LLN0$RP$name or LD/LLN0.BR.name)")
                                 .arg(reference));
            settings.reference = reference;
            blocks << settings;
        }
    }
    for (WatchedBlock &block : blocks)
        block.purge = parser.isSet(purgeOption);
    QString host;
    int port = 0;
    if (!splitIedAddress(address, &host, &port))
        return usage(QStringLiteral("watch: \"%1\" is no HOST[:PORT]").arg(address));

    StopSignal stop;
    IedConnection connection;
    const IedClientError connected = connection.connect(host, quint16(port));
    if (connected != IedClientError::Ok)
        return fail(QStringLiteral("cannot connect to %1 port %2: %3")
                        .arg(host)
                        .arg(port)
                        .arg(iedClientErrorName(connected)));
    QString problem;
    QStringList refusals;
    bool watched = true;
    int reports = 0;
    int history = 0;
    {
        ReportWatch watch(connection, out);
        watch.enableAll(blocks, &refusals, [&] { return stop.raised(); });
        // Each block refused is named; the others are watched all the same.
        for (const QString &refusal : qAsConst(refusals))
            printFailure(err, refusal);
        if (watch.enabledCount() > 0 && !stop.raised()) {
            out << "Watching " << watch.enabledCount() << " report control blocks of " << host
                << " port " << port << "; Ctrl+C stops\n";
            out.flush();
            watched = watch.run(
                seconds < 0 ? -1 : seconds * 1000, [&] { return stop.raised(); }, &problem);
        }
        watch.disableAll();
        reports = watch.reportCount();
        history = watch.historyCount();
    }
    out << reports << " reports";
    if (history)
        out << " (" << history << " from the buffer)";
    if (connection.droppedReports() || connection.malformedReports())
        out << ", " << connection.droppedReports() << " dropped (queue full), "
            << connection.malformedReports() << " malformed";
    if (connection.unhandledReports())
        out << ", " << connection.unhandledReports() << " of no block watched";
    if (connection.ambiguousReports())
        out << ", " << connection.ambiguousReports() << " of no single block";
    out << '\n';
    out.flush();
    connection.close();
    if (!watched)
        return fail(problem);
    return refusals.isEmpty() ? Success : Failure;
}
