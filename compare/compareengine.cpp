#include "compareengine.h"

#include "sclmodel.h"

#include <QCoreApplication>
#include <QSet>

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("CompareEngine", source);
}

QString mmsTypeName(int code)
{
    const QString name = valueListName(ValueList::MmsType, code);
    return name.isEmpty() ? QString::number(code) : name;
}

QString reportKind(bool buffered)
{
    return buffered ? text("buffered") : text("unbuffered");
}

} // namespace

CompareEngine::CompareEngine(const ProjectPicks &picks, const ModelSnapshot &found)
    : picks(picks), found(found)
{
}

ComparisonResult CompareEngine::compare(const ProjectPicks &picks, const ModelSnapshot &found)
{
    CompareEngine engine(picks, found);
    engine.compareIed();
    engine.result.objectResolved.reserve(picks.objects.size());
    for (const ObjectPick &pick : picks.objects)
        engine.result.objectResolved.append(engine.compareObject(pick));
    for (const DataSetPick &pick : picks.dataSets)
        engine.result.dataSetResolved.append(engine.compareDataSet(pick));
    for (const ReportPick &pick : picks.reports)
        engine.result.reportResolved.append(engine.compareReport(pick));
    return engine.result;
}

void CompareEngine::add(FindingSeverity severity, PickKind kind, int row, const QString &pick,
                        const QString &what, const QString &expected, const QString &foundText)
{
    result.findings.append({severity, kind, row, pick, what, expected, foundText});
}

void CompareEngine::compareIed()
{
    if (picks.iedName != found.iedName) {
        add(FindingSeverity::Warning, PickKind::Ied, -1, picks.iedName, text("IED name differs"),
            picks.iedName, found.iedName);
    }
    if (!found.namePlateRevision.isNull() &&
        picks.namePlateRevision.trimmed() != found.namePlateRevision.trimmed()) {
        // Only a sign that the configuration moved on; the picks tell what broke.
        add(FindingSeverity::Info, PickKind::Ied, -1, picks.iedName,
            text("name plate configuration revision differs"), picks.namePlateRevision,
            found.namePlateRevision);
    }
}

bool CompareEngine::compareObject(const ObjectPick &pick)
{
    const QString path = ModelSnapshot::relative(pick.reference, picks.iedName);
    const auto object = found.objects.constFind(found.objectKey(path, pick.constraint));
    if (object == found.objects.constEnd()) {
        const QStringList constraints = found.constraints.value(path);
        if (constraints.isEmpty()) {
            add(FindingSeverity::Error, PickKind::DataObject, pick.row, pick.reference,
                text("missing"), pick.constraint, QString());
        } else {
            add(FindingSeverity::Error, PickKind::DataObject, pick.row, pick.reference,
                text("functional constraint changed"), pick.constraint,
                constraints.join(QStringLiteral(", ")));
        }
        return false;
    }
    if (pick.mmsType >= 0 && object->mmsType >= 0 && pick.mmsType != object->mmsType) {
        add(FindingSeverity::Error, PickKind::DataObject, pick.row, pick.reference,
            text("MMS type changed"), mmsTypeName(pick.mmsType), mmsTypeName(object->mmsType));
    }
    for (const AttributePick &attribute : pick.attributes) {
        const auto leaf = found.objects.constFind(
            found.objectKey(path + QLatin1Char('.') + attribute.path, pick.constraint));
        if (leaf == found.objects.constEnd()) {
            add(FindingSeverity::Error, PickKind::DataObject, pick.row, pick.reference,
                text("attribute missing"), attribute.path, QString());
        } else if (attribute.mmsType >= 0 && leaf->mmsType >= 0 &&
                   attribute.mmsType != leaf->mmsType) {
            add(FindingSeverity::Error, PickKind::DataObject, pick.row, pick.reference,
                text("MMS type of %1 changed").arg(attribute.path), mmsTypeName(attribute.mmsType),
                mmsTypeName(leaf->mmsType));
        }
    }
    // The object is read as one structure: an attribute more changes its layout.
    if (!pick.attributes.isEmpty() && object->leafCount > pick.attributes.size()) {
        add(FindingSeverity::Warning, PickKind::DataObject, pick.row, pick.reference,
            text("attributes added"), QString::number(pick.attributes.size()),
            QString::number(object->leafCount));
    }
    return true;
}

QString CompareEngine::renamedDataSet(const QStringList &members)
{
    if (dataSetByMembers.isEmpty()) {
        for (auto set = found.dataSets.constBegin(); set != found.dataSets.constEnd(); ++set)
            dataSetByMembers.insert(set.value().join(QLatin1Char('\n')), set.key());
    }
    const QString key = dataSetByMembers.value(members.join(QLatin1Char('\n')));
    return key.isEmpty() ? QString() : found.iedName + key;
}

bool CompareEngine::compareDataSet(const DataSetPick &pick)
{
    const QString reference = ModelSnapshot::relative(pick.reference, picks.iedName);
    QStringList expected;
    expected.reserve(pick.members.size());
    for (const QString &member : pick.members)
        expected.append(ModelSnapshot::relative(member, picks.iedName));
    const auto set = found.dataSets.constFind(reference);
    if (set == found.dataSets.constEnd()) {
        const QString renamed = expected.isEmpty() ? QString() : renamedDataSet(expected);
        add(FindingSeverity::Error, PickKind::DataSet, pick.row, pick.reference,
            renamed.isEmpty() ? text("missing")
                              : text("missing; the same members form %1").arg(renamed),
            pick.reference, renamed);
        return false;
    }
    const QSet<QString> expectedSet(expected.cbegin(), expected.cend());
    const QStringList members = ModelSnapshot::membersAsNamed(set.value(), expectedSet);
    if (members == expected)
        return true;
    // Reports carry the members by position, so any change breaks decoding.
    const QSet<QString> foundSet(members.cbegin(), members.cend());
    QStringList expectedCommon;
    for (int i = 0; i < expected.size(); ++i) {
        if (foundSet.contains(expected.at(i)))
            expectedCommon.append(expected.at(i));
        else
            add(FindingSeverity::Error, PickKind::DataSet, pick.row, pick.reference,
                text("member removed"), pick.members.at(i), QString());
    }
    QStringList foundCommon;
    for (const QString &member : members) {
        if (expectedSet.contains(member))
            foundCommon.append(member);
        else
            add(FindingSeverity::Error, PickKind::DataSet, pick.row, pick.reference,
                text("member added"), QString(), found.iedName + member);
    }
    if (expectedCommon != foundCommon) {
        add(FindingSeverity::Error, PickKind::DataSet, pick.row, pick.reference,
            text("members reordered"), expectedCommon.join(QStringLiteral(", ")),
            foundCommon.join(QStringLiteral(", ")));
    }
    return true;
}

bool CompareEngine::compareReport(const ReportPick &pick)
{
    const QString key =
        ModelSnapshot::reportKey(ModelSnapshot::relative(pick.reference, picks.iedName));
    const auto report = found.reports.constFind(key);
    if (report == found.reports.constEnd()) {
        add(FindingSeverity::Error, PickKind::Report, pick.row, pick.reference,
            text("report control block missing"), pick.reference, QString());
        return false;
    }
    if (report->buffered != pick.buffered) {
        add(FindingSeverity::Error, PickKind::Report, pick.row, pick.reference,
            text("buffered/unbuffered changed"), reportKind(pick.buffered),
            reportKind(report->buffered));
    }
    const QString dataSet = ModelSnapshot::relative(pick.dataSetReference, picks.iedName);
    if (dataSet != report->dataSetReference) {
        add(FindingSeverity::Error, PickKind::Report, pick.row, pick.reference,
            text("data set reference changed"), pick.dataSetReference,
            found.iedName + report->dataSetReference);
    } else if (!found.dataSets.contains(dataSet) && !dataSet.isEmpty() &&
               !dataSet.endsWith(QLatin1Char('.'))) {
        // A block that names no data set ("LN." with nothing after it) gets
        // one from the client; only a named one can be missing.
        add(FindingSeverity::Warning, PickKind::Report, pick.row, pick.reference,
            text("data set of the report missing"), pick.dataSetReference, QString());
    }
    if (!pick.reportId.isNull() && !report->reportId.isNull() &&
        pick.reportId != report->reportId) {
        add(FindingSeverity::Warning, PickKind::Report, pick.row, pick.reference,
            text("RptID differs"), pick.reportId, report->reportId);
    }
    if (pick.confRev != report->confRev) {
        // With the check on, the client refuses every report of the block.
        add(pick.confRevChecked ? FindingSeverity::Error : FindingSeverity::Warning,
            PickKind::Report, pick.row, pick.reference, text("confRev differs"),
            QString::number(pick.confRev), QString::number(report->confRev));
    }
    if (pick.triggerOptions != report->triggerOptions) {
        add(FindingSeverity::Warning, PickKind::Report, pick.row, pick.reference,
            text("trigger options differ"), QString::number(pick.triggerOptions),
            QString::number(report->triggerOptions));
    }
    return true;
}
