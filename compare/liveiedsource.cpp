#include "liveiedsource.h"

#include "iedbrowser.h"
#include "iedconnection.h"
#include "projectpicks.h"
#include "sclmodel.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("LiveIedSource", source);
}

// Servers write references with '$' inside a logical node; the project with dots.
QString dotted(QString reference)
{
    return reference.replace(QLatin1Char('$'), QLatin1Char('.'));
}

// A data set reference as the SCL file names it: the device separates the
// logical node from the data set's name with '$', and the name may hold '$'
// of its own ("LLN0$MMXU1$MX" is the data set "MMXU1$MX" of LLN0).
QString dataSetDotted(QString reference)
{
    const int separator = reference.indexOf(QLatin1Char('$'), reference.indexOf(QLatin1Char('/')));
    if (separator >= 0)
        reference[separator] = QLatin1Char('.');
    return reference;
}

// "Pos[ST]" gives "ST".
QString constraintOf(const QString &name)
{
    const int open = name.lastIndexOf(QLatin1Char('['));
    return open < 0 ? QString() : name.mid(open + 1, name.size() - open - 2);
}

// A data set member naming a whole data object ("LD/LN.DO[FC]") is held
// without its constraint, as the SCL model names it; attributes keep theirs.
QString memberKey(const QString &member)
{
    const int open = member.lastIndexOf(QLatin1Char('['));
    if (open < 0)
        return member;
    const int slash = member.indexOf(QLatin1Char('/'));
    if (member.left(open).mid(slash + 1).count(QLatin1Char('.')) == 1)
        return member.left(open);
    return member;
}

// Adds node and what is below it; returns the count of leaf attributes.
int addType(ModelSnapshot *snapshot, const MmsTypeSpec &type, const QString &path,
            const QString &fc)
{
    ++snapshot->nodeCount;
    SnapshotObject object;
    object.mmsType = int(type.type());
    int leaves = 0;
    if (type.type() == MmsType::Structure) {
        object.kind = DataObjectKind;
        for (int i = 0; i < type.componentCount(); ++i)
            leaves += addType(snapshot, type.component(i),
                              path + QLatin1Char('.') + type.componentName(i), fc);
    } else if (type.type() == MmsType::Array && type.element().type() == MmsType::Structure) {
        object.kind = DataObjectKind;
        for (int i = 0; i < type.elementCount(); ++i)
            leaves += addType(snapshot, type.element(),
                              path + QLatin1Char('.') + arrayElementText(i), fc);
    } else {
        object.kind = DataAttributeKind;
        // An array of a basic type is one leaf of its element's type.
        if (type.type() == MmsType::Array)
            object.mmsType = int(type.element().type());
    }
    object.leafCount = leaves;
    QStringList &constraints = snapshot->constraints[path];
    if (!constraints.contains(fc))
        constraints.append(fc);
    snapshot->objects.insert(snapshot->objectKey(path, fc), object);
    return leaves + (object.kind == DataAttributeKind ? 1 : 0);
}

// The browse's attribute tree, without types, for a constraint the server
// would not describe.
int addBrowsed(ModelSnapshot *snapshot, const QVector<BrowsedAttribute> &attributes,
               const QString &path, const QString &fc)
{
    int leaves = 0;
    for (const BrowsedAttribute &attribute : attributes) {
        if (constraintOf(attribute.name) != fc)
            continue;
        ++snapshot->nodeCount;
        const QString childPath = path + QLatin1Char('.') + nodeNamePart(attribute.name);
        SnapshotObject object;
        object.kind = attribute.children.isEmpty() ? DataAttributeKind : DataObjectKind;
        object.leafCount = addBrowsed(snapshot, attribute.children, childPath, fc);
        QStringList &constraints = snapshot->constraints[childPath];
        if (!constraints.contains(fc))
            constraints.append(fc);
        snapshot->objects.insert(snapshot->objectKey(childPath, fc), object);
        leaves += object.leafCount + (object.kind == DataAttributeKind ? 1 : 0);
    }
    return leaves;
}

} // namespace

LiveIedSource::LiveIedSource(const QString &host, int port, const QString &projectIed,
                             const QStringList &projectDevices)
    : host(host), port(port), projectIed(projectIed), projectDevices(projectDevices)
{
}

LiveIedSource::~LiveIedSource() = default;

QString LiveIedSource::description() const
{
    return host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(host).arg(port)
                                           : QStringLiteral("%1:%2").arg(host).arg(port);
}

void LiveIedSource::setTimeouts(int connectMs, int requestMs)
{
    connectTimeout = connectMs;
    requestTimeout = requestMs;
}

void LiveIedSource::setProgress(std::function<void(const QString &)> listener)
{
    progress = std::move(listener);
}

void LiveIedSource::cancel()
{
    const QMutexLocker locker(&activeLock);
    cancelled = true;
    if (active)
        active->cancel();
}

QStringList LiveIedSource::devicesOf(const ProjectPicks &picks)
{
    QSet<QString> devices;
    const auto add = [&](const QString &reference) {
        const int slash = reference.indexOf(QLatin1Char('/'));
        if (slash > picks.iedName.size() && reference.startsWith(picks.iedName))
            devices.insert(reference.mid(picks.iedName.size(), slash - picks.iedName.size()));
    };
    for (const ObjectPick &pick : picks.objects)
        add(pick.reference);
    for (const DataSetPick &pick : picks.dataSets)
        add(pick.reference);
    for (const ReportPick &pick : picks.reports)
        add(pick.reference);
    return QStringList(devices.cbegin(), devices.cend());
}

QString LiveIedSource::iedNameOf(const QStringList &domains) const
{
    const auto allStartWith = [&](const QString &prefix) {
        for (const QString &domain : domains) {
            if (!domain.startsWith(prefix) || domain.size() == prefix.size())
                return false;
        }
        return true;
    };
    if (!projectIed.isEmpty() && allStartWith(projectIed))
        return projectIed;
    // A renamed IED: the domain of a known LD inst shows the new name.
    for (const QString &domain : domains) {
        for (const QString &device : projectDevices) {
            if (domain.size() > device.size() && domain.endsWith(device))
                return domain.left(domain.size() - device.size());
        }
    }
    QString prefix = domains.value(0);
    for (const QString &domain : domains) {
        while (!domain.startsWith(prefix))
            prefix.chop(1);
    }
    return prefix;
}

QString LiveIedSource::readNamePlate(IedConnection &connection, const QStringList &domains)
{
    for (const QString &domain : domains) {
        IedClientError error = IedClientError::Ok;
        const MmsValue value = connection.readObject(
            domain + QStringLiteral("/LLN0.NamPlt.configRev"), QStringLiteral("DC"), &error);
        if (error == IedClientError::Ok && value.type() == MmsType::VisibleString)
            return value.toString();
        if (cancelled)
            break;
    }
    return QString();
}

void LiveIedSource::addObjects(IedConnection &connection, ModelSnapshot *snapshot,
                               const BrowsedLogicalNode &node, const QString &lnPath)
{
    QStringList constraints;
    for (const BrowsedDataObject &dataObject : node.dataObjects) {
        for (const BrowsedAttribute &attribute : dataObject.attributes) {
            const QString fc = constraintOf(attribute.name);
            if (!fc.isEmpty() && !constraints.contains(fc))
                constraints.append(fc);
        }
    }
    for (const QString &fc : constraints) {
        if (cancelled)
            return;
        IedClientError error = IedClientError::Ok;
        const MmsTypeSpec type = connection.variableSpecification(node.reference, fc, &error);
        if (error == IedClientError::Ok && type.type() == MmsType::Structure) {
            ++snapshot->nodeCount;
            for (int i = 0; i < type.componentCount(); ++i)
                addType(snapshot, type.component(i),
                        lnPath + QLatin1Char('.') + type.componentName(i), fc);
            continue;
        }
        for (const BrowsedDataObject &dataObject : node.dataObjects) {
            const QString path = lnPath + QLatin1Char('.') + dataObject.name;
            bool present = false;
            for (const BrowsedAttribute &attribute : dataObject.attributes)
                present = present || constraintOf(attribute.name) == fc;
            if (!present)
                continue;
            SnapshotObject object;
            object.kind = DataObjectKind;
            object.leafCount = addBrowsed(snapshot, dataObject.attributes, path, fc);
            snapshot->constraints[path].append(fc);
            snapshot->objects.insert(snapshot->objectKey(path, fc), object);
        }
    }
}

bool LiveIedSource::fetch(ModelSnapshot *snapshot, QString *problem)
{
    IedConnection connection;
    connection.setConnectTimeout(connectTimeout);
    connection.setRequestTimeout(requestTimeout);
    {
        const QMutexLocker locker(&activeLock);
        if (cancelled) {
            *problem = text("the check of %1 was cancelled").arg(description());
            return false;
        }
        active = &connection;
    }
    const bool fetched = fetchFrom(connection, snapshot, problem);
    const QMutexLocker locker(&activeLock);
    active = nullptr;
    return fetched;
}

bool LiveIedSource::fetchFrom(IedConnection &connection, ModelSnapshot *snapshot, QString *problem)
{
    const IedClientError connected = connection.connect(host, quint16(port));
    if (connected != IedClientError::Ok) {
        *problem =
            text("cannot connect to %1 (%2)").arg(description(), iedClientErrorName(connected));
        return false;
    }
    const IedBrowseResult browsed = IedBrowser::browse(connection, progress);
    if (browsed.error != IedClientError::Ok || browsed.logicalDevices.isEmpty() || cancelled) {
        *problem = cancelled ? text("the check of %1 was cancelled").arg(description())
                             : text("%1 lists no logical device (%2)")
                                   .arg(description(), iedClientErrorName(browsed.error));
        connection.abort();
        return false;
    }
    if (!browsed.failure.isEmpty()) {
        *problem = text("%1 could not be listed whole, so it cannot be compared: %2")
                       .arg(description(), browsed.failure);
        connection.abort();
        return false;
    }
    QStringList domains;
    for (const BrowsedLogicalDevice &device : browsed.logicalDevices)
        domains.append(device.name);

    ModelSnapshot found;
    found.iedName = iedNameOf(domains);
    found.namePlateRevision = readNamePlate(connection, domains);
    for (const BrowsedLogicalDevice &device : browsed.logicalDevices) {
        for (const BrowsedLogicalNode &node : device.logicalNodes) {
            found.nodeCount += 2;
            const QString lnPath = ModelSnapshot::relative(node.reference, found.iedName);
            addObjects(connection, &found, node, lnPath);
            for (const BrowsedDataSet &dataSet : node.dataSets) {
                QStringList members;
                for (const QString &member : dataSet.members)
                    members.append(ModelSnapshot::relative(memberKey(member), found.iedName));
                found.nodeCount += 1 + members.size();
                found.dataSets.insert(ModelSnapshot::relative(dataSet.reference, found.iedName),
                                      members);
            }
            for (const auto *reports : {&node.unbufferedReports, &node.bufferedReports}) {
                for (const BrowsedReport &browsedReport : *reports) {
                    ++found.nodeCount;
                    const ClientReportControlBlock &values = browsedReport.values;
                    SnapshotReport report;
                    report.reference = dotted(browsedReport.reference);
                    report.buffered = browsedReport.buffered;
                    if (!values.isNull()) {
                        report.dataSetReference = ModelSnapshot::relative(
                            dataSetDotted(values.dataSetReference()), found.iedName);
                        report.reportId = values.rptId();
                        report.confRev = int(values.confRev());
                        report.triggerOptions = values.trgOps();
                        report.optionalFields = values.optFlds();
                        report.integrityPeriod = int(values.intgPd());
                        report.bufferTime = int(values.bufTm());
                    }
                    const QString key = ModelSnapshot::reportKey(
                        ModelSnapshot::relative(report.reference, found.iedName));
                    found.reports.insert(key, report);
                }
            }
        }
    }
    // An indexed block is served as instances name01, name02 ...; the
    // project names the block, so the first instance answers for it.
    // The block's own name may end in a digit (rcb1: rcb101).
    static const QRegularExpression indexed(QStringLiteral("^(.+)\\d\\d$"));
    const QHash<QString, SnapshotReport> served = found.reports;
    for (auto instance = served.constBegin(); instance != served.constEnd(); ++instance) {
        const QRegularExpressionMatch match = indexed.match(instance.key());
        if (!match.hasMatch())
            continue;
        const QString block = match.captured(1);
        const auto known = found.reports.constFind(block);
        if (known == found.reports.constEnd() ||
            (!served.contains(block) && known->reference > instance->reference))
            found.reports.insert(block, instance.value());
    }
    // A cancel during the type descriptions leaves the snapshot short.
    if (cancelled) {
        *problem = text("the check of %1 was cancelled").arg(description());
        connection.abort();
        return false;
    }
    connection.close();
    *snapshot = found;
    return true;
}
