#include "iedsimulatormodel.h"

#include "iec61850types.h"
#include "iedsimulatorstreams.h"
#include "sclmodel.h"
#include "sclparser.h"
#include "simulatedenumerations.h"

#include <QFile>
#include <QHash>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QXmlStreamReader>

namespace {

// The order of functional constraints inside a logical node's structure.
const QStringList &constraintOrder()
{
    static const QStringList order{"MX", "ST", "CO", "SP", "SV", "CF", "DC", "SG", "SE", "SR",
                                   "OR", "BL", "EX", "US", "MS", "LG", "GO", "BR", "RP"};
    return order;
}

struct Fcda
{
    QString ldInst, prefix, lnClass, lnInst, doName, daName, fc;
};

struct DataSetElement
{
    QString name;
    QVector<Fcda> members;
};

// What the SCL model does not keep of a ReportControl element.
struct ReportControlExtras
{
    QString datSet;
    bool gi = true;      // TrgOps gi defaults to true
    bool bufOvfl = true; // OptFields bufOvfl defaults to true
    bool segmentation = false;
    bool reserved = false; // RptEnabled names a client
};

// Data sets and report controls of one IED, by "ldInst/lnName".
struct ControlBlocks
{
    QHash<QString, QVector<DataSetElement>> dataSets;
    QHash<QString, QHash<QString, ReportControlExtras>> reports;
};

bool isTrue(const QXmlStreamAttributes &attributes, const char *name, bool fallback)
{
    const QStringRef value = attributes.value(QLatin1String(name));
    if (value.isEmpty())
        return fallback;
    return value == QLatin1String("true") || value == QLatin1String("1");
}

// A DAI's configured value: "LD/LN" and the path below the LN without the
// functional constraint, "Mod$stVal" or "NamPlt$vendor".
struct ConfiguredValue
{
    QString lnKey;
    QString path;
    QString text;
};

struct ConfiguredValues
{
    QVector<ConfiguredValue> values;
    QHash<QString, int> enumOrds; // EnumVal text -> ord, over every EnumType
};

// What the SCL model leaves out of one IED: its data sets and report
// controls, and the Val of each DAI with the enumerations to read them.
struct IedExtras
{
    ControlBlocks blocks;
    ConfiguredValues configured;
    QHash<QString, QVector<StreamControl>> streams; // GOOSE and sampled value blocks
    std::shared_ptr<SimulatedEnumerations> enumerations;
};

// One stream over the file: the enumerations may stand anywhere in it, so it
// is read to its end.
IedExtras readIedExtras(const QString &fileName, const QString &iedName)
{
    IedExtras extras;
    ControlBlocks &blocks = extras.blocks;
    ConfiguredValues &configured = extras.configured;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return extras;
    QXmlStreamReader xml(&file);
    StreamControls::Collector streams(iedName);
    extras.enumerations = std::make_shared<SimulatedEnumerations>(iedName);
    SimulatedEnumerations &enumerations = *extras.enumerations;
    bool inIed = false;
    QString ldInst;
    QString lnKey;
    DataSetElement *dataSet = nullptr;
    ReportControlExtras *report = nullptr;
    QStringList path; // DOI, SDI ... names down to the DAI
    bool inDai = false;
    bool valTaken = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const QStringRef tag = xml.name();
        if (token == QXmlStreamReader::EndElement) {
            enumerations.endElement(tag);
            if (tag == QLatin1String("IED")) {
                inIed = false;
            } else if (tag == QLatin1String("DataSet")) {
                dataSet = nullptr;
            } else if (tag == QLatin1String("ReportControl")) {
                report = nullptr;
            } else if (tag == QLatin1String("DOI") || tag == QLatin1String("SDI") ||
                       tag == QLatin1String("DAI")) {
                if (!path.isEmpty())
                    path.removeLast();
                inDai = false;
            }
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const bool wantsText = SimulatedEnumerations::wantsText(tag) ||
                               (!inIed && tag != QLatin1String("IED") && streams.wantsText(tag));
        const QString text = wantsText ? xml.readElementText().trimmed() : QString();
        enumerations.element(tag, a, text);
        if (tag == QLatin1String("IED")) {
            inIed = a.value(QLatin1String("name")) == iedName;
        } else if (tag == QLatin1String("EnumVal")) {
            const int ord = a.value(QLatin1String("ord")).toInt();
            if (!configured.enumOrds.contains(text))
                configured.enumOrds.insert(text, ord);
        } else if (!inIed) {
            streams.communicationElement(tag, a, text);
            continue;
        }
        streams.controlElement(tag, a, lnKey, iedName + ldInst);
        if (tag == QLatin1String("LDevice")) {
            ldInst = a.value(QLatin1String("inst")).toString();
        } else if (tag == QLatin1String("LN0") || tag == QLatin1String("LN")) {
            lnKey = ldInst + QLatin1Char('/') + a.value(QLatin1String("prefix")) +
                    a.value(QLatin1String("lnClass")) + a.value(QLatin1String("inst"));
            path.clear();
        } else if (tag == QLatin1String("DataSet")) {
            QVector<DataSetElement> &list = blocks.dataSets[lnKey];
            list.append({a.value(QLatin1String("name")).toString(), {}});
            dataSet = &list.last();
        } else if (tag == QLatin1String("FCDA") && dataSet) {
            const auto text = [&a](const char *name) {
                return a.value(QLatin1String(name)).toString();
            };
            dataSet->members.append({text("ldInst"), text("prefix"), text("lnClass"),
                                     text("lnInst"), text("doName"), text("daName"), text("fc")});
        } else if (tag == QLatin1String("ReportControl")) {
            report = &blocks.reports[lnKey][a.value(QLatin1String("name")).toString()];
            report->datSet = a.value(QLatin1String("datSet")).toString();
        } else if (tag == QLatin1String("TrgOps") && report) {
            report->gi = isTrue(a, "gi", true);
        } else if (tag == QLatin1String("OptFields") && report) {
            report->bufOvfl = isTrue(a, "bufOvfl", true);
            report->segmentation = isTrue(a, "segmentation", false);
        } else if (tag == QLatin1String("ClientLN") && report) {
            report->reserved = true;
        } else if (tag == QLatin1String("DOI") || tag == QLatin1String("SDI") ||
                   tag == QLatin1String("DAI")) {
            // Array elements (ix) keep their type's defaults.
            path.append(a.hasAttribute(QLatin1String("ix"))
                            ? QString()
                            : a.value(QLatin1String("name")).toString());
            inDai = tag == QLatin1String("DAI");
            valTaken = false;
        } else if (tag == QLatin1String("Val") && inDai && !valTaken) {
            valTaken = true;
            if (!path.contains(QString()))
                configured.values.append({lnKey, path.join(QLatin1Char('$')), text});
        }
    }
    extras.streams = streams.blocks();
    return extras;
}

// The value of type that text configures; null when it does not fit.
MmsValue configuredValue(const MmsTypeSpec &type, const QString &text,
                         const QHash<QString, int> &enumOrds)
{
    bool ok = false;
    switch (type.type()) {
    case MmsType::Boolean:
        return MmsValue::boolean(text == QLatin1String("true") || text == QLatin1String("1"));
    case MmsType::Integer: {
        const qint64 number = text.toLongLong(&ok);
        if (ok)
            return MmsValue::integer(number);
        const auto ord = enumOrds.constFind(text);
        return ord != enumOrds.constEnd() ? MmsValue::integer(ord.value()) : MmsValue();
    }
    case MmsType::Unsigned: {
        const quint64 number = text.toULongLong(&ok);
        return ok ? MmsValue::unsignedInteger(number) : MmsValue();
    }
    case MmsType::Float: {
        if (type.size() == 64) {
            const double number = text.toDouble(&ok);
            return ok ? MmsValue::doubleFloatingPoint(number) : MmsValue();
        }
        const float number = text.toFloat(&ok);
        return ok ? MmsValue::floatingPoint(number) : MmsValue();
    }
    case MmsType::VisibleString:
        return MmsValue::visibleString(text.toLatin1().left(qAbs(type.size())));
    case MmsType::String:
        return MmsValue::mmsString(text.left(qAbs(type.size())));
    case MmsType::OctetString:
        return MmsValue::octetString(text.toLatin1().left(qAbs(type.size())));
    default:
        return MmsValue();
    }
}

// Puts the configured values into the finished model, each under the first
// functional constraint of its logical node that has the attribute.
void applyConfiguredValues(const MmsServerModel &model, const QString &iedName,
                           const ConfiguredValues &configured)
{
    for (const ConfiguredValue &entry : configured.values) {
        const QString domain = iedName + entry.lnKey.section(QLatin1Char('/'), 0, 0);
        const QString ln = entry.lnKey.section(QLatin1Char('/'), 1);
        for (const QString &fc : constraintOrder()) {
            const QString item = ln + QLatin1Char('$') + fc + QLatin1Char('$') + entry.path;
            MmsTypeSpec type;
            MmsValue current;
            if (!model.find(domain, item, &type, &current))
                continue;
            const MmsValue value = configuredValue(type, entry.text, configured.enumOrds);
            if (!value.isNull())
                model.update(domain, item, value, true);
            break;
        }
    }
}

QStandardItem *childWithText(const QStandardItem *parent, const QString &text)
{
    for (int row = 0; parent && row < parent->rowCount(); ++row) {
        if (parent->child(row) && parent->child(row)->text() == text)
            return parent->child(row);
    }
    return nullptr;
}

bool isArrayNode(const QStandardItem *node)
{
    return node->rowCount() > 0 && node->child(0)->text().startsWith(QLatin1Char('['));
}

struct TypedValue
{
    MmsTypeSpec type;
    MmsValue value;
};

TypedValue leafOf(const QStandardItem *node)
{
    const QString bType = node->data(BTypeRole).toString();
    // A multicast address is a structure on the wire, not its SCL octets.
    const MmsTypeSpec type = bType == QLatin1String("PhyComAddr") ? StreamControls::phyComAddrType()
                                                                  : Iec61850Types::basicType(bType);
    MmsValue value = type.defaultValue();
    // The configured control model is the one value clients look at first.
    const QStandardItem *parent = node->parent();
    if (nodeNamePart(node->text()) == QLatin1String("ctlModel") && parent &&
        parent->data(CtlModelRole).isValid() && type.type() == MmsType::Integer)
        value = MmsValue::integer(parent->data(CtlModelRole).toInt());
    // Health, Beh and Mod have no value 0: 1 is Ok and on.
    static const QStringList oneBased{QStringLiteral("Health"), QStringLiteral("Beh"),
                                      QStringLiteral("Mod")};
    if (nodeNamePart(node->text()) == QLatin1String("stVal") && parent &&
        bType == QLatin1String("Enum") && oneBased.contains(nodeNamePart(parent->text())))
        value = MmsValue::integer(1);
    return {type, value};
}

TypedValue structureOf(const QStandardItem *node);

TypedValue elementOf(const QStandardItem *node)
{
    if (isArrayNode(node)) {
        // Leaf arrays keep their basic type on the named node itself.
        const TypedValue element = node->data(KindRole).toInt() == DataAttributeKind
                                       ? leafOf(node)
                                       : structureOf(node->child(0));
        const MmsTypeSpec type = MmsTypeSpec::array(node->rowCount(), element.type);
        return {type, type.defaultValue()};
    }
    if (node->rowCount() == 0 && node->data(KindRole).toInt() == DataAttributeKind)
        return leafOf(node);
    return structureOf(node);
}

TypedValue structureOf(const QStandardItem *node)
{
    TypedValue result{MmsTypeSpec::structure(), MmsValue()};
    std::vector<MmsValue> members;
    for (int row = 0; row < node->rowCount(); ++row) {
        const QStandardItem *child = node->child(row);
        const TypedValue element = elementOf(child);
        result.type.addComponent(nodeNamePart(child->text()), element.type);
        members.push_back(element.value);
    }
    result.value = MmsValue::structure(std::move(members));
    return result;
}

// A logical node's functional constraints, keyed by constraint.
using Constraints = QHash<QString, TypedValue>;

MmsServerVariable assemble(const QString &name, const Constraints &constraints)
{
    MmsServerVariable variable{name, MmsTypeSpec::structure(), MmsValue()};
    std::vector<MmsValue> members;
    for (const QString &fc : constraintOrder()) {
        const auto found = constraints.constFind(fc);
        if (found == constraints.constEnd())
            continue;
        variable.type.addComponent(fc, found->type);
        members.push_back(found->value);
    }
    variable.value = MmsValue::structure(std::move(members));
    return variable;
}

void addReports(const QStandardItem *lnReports, const QString &domain, const QString &lnName,
                const QHash<QString, ReportControlExtras> &extras, Constraints *constraints)
{
    for (int row = 0; lnReports && row < lnReports->rowCount(); ++row) {
        const QStandardItem *rcb = lnReports->child(row);
        const QString name = rcb->data(ReportNameRole).toString();
        const ReportControlExtras extra = extras.value(name);
        ReportControlSettings settings;
        settings.buffered = rcb->data(BufferedRole).toBool();
        settings.rptId = rcb->data(RptIdRole).toString();
        settings.resv = extra.reserved && !settings.buffered;
        if (!extra.datSet.isEmpty())
            settings.dataSet = domain + QLatin1Char('/') + lnName + QLatin1Char('$') + extra.datSet;
        settings.confRev = rcb->data(ConfRevRole).toUInt();
        settings.optFlds = rcb->data(OptFieldsRole).toInt() | (extra.bufOvfl ? 32 : 0) |
                           (extra.segmentation ? 256 : 0);
        settings.bufTm = rcb->data(BufTimeRole).toUInt();
        settings.trgOps = rcb->data(TrgOpsRole).toInt() | (extra.gi ? 16 : 0);
        settings.intgPd = rcb->data(IntgPdRole).toUInt();
        const bool indexed = rcb->data(IndexedRole).toBool();
        const int instances = indexed ? qMax(1, rcb->data(MaxIndexRole).toInt()) : 1;

        TypedValue &fc =
            (*constraints)[settings.buffered ? QStringLiteral("BR") : QStringLiteral("RP")];
        std::vector<MmsValue> members = fc.value.elements();
        const MmsTypeSpec type = Iec61850Types::reportControlType(settings.buffered);
        for (int instance = 1; instance <= instances; ++instance) {
            fc.type.addComponent(Iec61850Types::reportControlInstanceName(name, indexed, instance),
                                 type);
            members.push_back(Iec61850Types::reportControlValue(settings));
        }
        fc.value = MmsValue::structure(std::move(members));
    }
}

void addStreamControls(const QVector<StreamControl> &controls, Constraints *constraints)
{
    for (const StreamControl &control : controls) {
        TypedValue &fc = (*constraints)[control.constraint()];
        if (fc.type.type() != MmsType::Structure)
            fc.type = MmsTypeSpec::structure();
        std::vector<MmsValue> members = fc.value.elements();
        fc.type.addComponent(control.name, StreamControls::typeOf(control.kind));
        members.push_back(StreamControls::valueOf(control));
        fc.value = MmsValue::structure(std::move(members));
    }
}

QString fcdaItem(const Fcda &fcda)
{
    QString item = fcda.prefix + fcda.lnClass + fcda.lnInst + QLatin1Char('$') + fcda.fc +
                   QLatin1Char('$') + fcda.doName;
    if (!fcda.daName.isEmpty())
        item += QLatin1Char('$') + fcda.daName;
    return item.replace(QLatin1Char('.'), QLatin1Char('$'));
}

} // namespace

std::shared_ptr<MmsServerModel>
IedSimulatorModel::fromSclFile(const QString &fileName, const QString &iedName, QString *errorText)
{
    const auto failure = [errorText](const QString &reason) {
        if (errorText)
            *errorText = reason;
        return std::shared_ptr<MmsServerModel>();
    };
    SclParser parser;
    const QStringList names = parser.loadIedNames(fileName);
    if (names.isEmpty())
        return failure(QStringLiteral("%1 holds no IED or is no readable SCL file").arg(fileName));
    const QString ied = iedName.isEmpty() ? names.first() : iedName;
    if (!names.contains(ied))
        return failure(QStringLiteral("%1 has no IED named %2").arg(fileName, ied));
    QStandardItemModel sclModel;
    if (!parser.parse(ied, &sclModel))
        return failure(QStringLiteral("IED %1 of %2 has no logical node").arg(ied, fileName));
    return fromSclModel(sclModel, ied, fileName);
}

std::shared_ptr<MmsServerModel> IedSimulatorModel::fromSclModel(const QStandardItemModel &sclModel,
                                                                const QString &iedName,
                                                                const QString &fileName)
{
    auto model = std::make_shared<MmsServerModel>();
    const IedExtras extras = readIedExtras(fileName, iedName);
    const ControlBlocks &blocks = extras.blocks;
    const QStandardItem *root = sclModel.item(0);
    const QStandardItem *objects =
        childWithText(childWithText(root, SclBranch::DataObjects), iedName);
    const QStandardItem *reports = childWithText(childWithText(root, SclBranch::Reports), iedName);

    for (int ldRow = 0; objects && ldRow < objects->rowCount(); ++ldRow) {
        const QStandardItem *ld = objects->child(ldRow);
        const QString domainName = iedName + ld->text();
        MmsServerDomain &domain = model->domain(domainName);
        const QStandardItem *ldReports = childWithText(reports, ld->text());
        for (int lnRow = 0; lnRow < ld->rowCount(); ++lnRow) {
            const QStandardItem *ln = ld->child(lnRow);
            const QString lnKey = ld->text() + QLatin1Char('/') + ln->text();
            Constraints constraints;
            for (int fcRow = 0; fcRow < ln->rowCount(); ++fcRow)
                constraints.insert(ln->child(fcRow)->text(), structureOf(ln->child(fcRow)));
            addReports(childWithText(ldReports, ln->text()), domainName, ln->text(),
                       blocks.reports.value(lnKey), &constraints);
            addStreamControls(extras.streams.value(lnKey), &constraints);
            domain.variables.append(assemble(ln->text(), constraints));

            for (const DataSetElement &element : blocks.dataSets.value(lnKey)) {
                MmsServerDataSet dataSet;
                dataSet.name = ln->text() + QLatin1Char('$') + element.name;
                for (const Fcda &fcda : element.members) {
                    dataSet.members.append(
                        {MmsObjectName::DomainSpecific, iedName + fcda.ldInst, fcdaItem(fcda)});
                }
                domain.dataSets.append(dataSet);
            }
        }
    }
    model->finish();
    extras.enumerations->apply(*model);
    applyConfiguredValues(*model, iedName, extras.configured);
    return model;
}
