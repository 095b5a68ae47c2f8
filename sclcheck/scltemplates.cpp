#include "scltemplates.h"

#include <QCoreApplication>
#include <QXmlStreamReader>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SclTemplates", text);
}

SclFinding templateFinding(SclSeverity severity, const QString &reference, qint64 line,
                           const QString &text)
{
    return SclFinding{severity, QString(), reference, line, text};
}

} // namespace

const SclTemplateChild *SclTemplate::child(const QString &name) const
{
    for (const SclTemplateChild &c : children) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

const SclTemplate *SclTemplates::find(const QHash<QString, SclTemplate> &in, const QString &id)
{
    const auto it = in.constFind(id);
    return it == in.constEnd() ? nullptr : &it.value();
}

void SclTemplates::read(QXmlStreamReader &xml, qint64 lineOffset, SclFindings &findings)
{
    while (xml.readNextStartElement()) {
        const QStringRef name = xml.name();
        if (name == QLatin1String("LNodeType"))
            readType(xml, lineOffset, lnodeTypes, QStringLiteral("LNodeType"), findings);
        else if (name == QLatin1String("DOType"))
            readType(xml, lineOffset, doTypes, QStringLiteral("DOType"), findings);
        else if (name == QLatin1String("DAType"))
            readType(xml, lineOffset, daTypes, QStringLiteral("DAType"), findings);
        else if (name == QLatin1String("EnumType"))
            readEnum(xml, lineOffset, findings);
        else
            xml.skipCurrentElement();
    }
}

void SclTemplates::readType(QXmlStreamReader &xml, qint64 lineOffset,
                            QHash<QString, SclTemplate> &into, const QString &kind,
                            SclFindings &findings)
{
    SclTemplate type;
    type.id = xml.attributes().value(QLatin1String("id")).toString();
    type.line = xml.lineNumber() + lineOffset;
    while (xml.readNextStartElement()) {
        const QStringRef tag = xml.name();
        const bool dataObject = tag == QLatin1String("DO") || tag == QLatin1String("SDO");
        if (!dataObject && tag != QLatin1String("DA") && tag != QLatin1String("BDA")) {
            xml.skipCurrentElement();
            continue;
        }
        const QXmlStreamAttributes attributes = xml.attributes();
        SclTemplateChild child;
        child.isDataObject = dataObject;
        child.name = attributes.value(QLatin1String("name")).toString();
        child.type = attributes.value(QLatin1String("type")).toString();
        child.bType = attributes.value(QLatin1String("bType")).toString();
        child.fc = attributes.value(QLatin1String("fc")).toString();
        child.count = attributes.value(QLatin1String("count")).toInt();
        child.line = xml.lineNumber() + lineOffset;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("Val") && child.value.isNull())
                child.value = xml.readElementText(QXmlStreamReader::SkipChildElements);
            else
                xml.skipCurrentElement();
        }
        for (const SclTemplateChild &other : qAsConst(type.children)) {
            if (other.name == child.name) {
                findings.append(templateFinding(
                    SclSeverity::Error,
                    kind + QLatin1Char(' ') + type.id + QLatin1Char('.') + child.name, child.line,
                    tr("the name is used twice in the type: the client resolves only one of "
                       "them")));
                break;
            }
        }
        type.children.append(child);
    }
    if (into.contains(type.id)) {
        findings.append(templateFinding(
            SclSeverity::Error, kind + QLatin1Char(' ') + type.id, type.line,
            tr("the id is defined twice: instances may get a type other than the one their "
               "vendor meant, and the client reads a different structure")));
        return;
    }
    into.insert(type.id, type);
}

void SclTemplates::readEnum(QXmlStreamReader &xml, qint64 lineOffset, SclFindings &findings)
{
    const QString id = xml.attributes().value(QLatin1String("id")).toString();
    const qint64 line = xml.lineNumber() + lineOffset;
    QSet<QString> values;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("EnumVal"))
            values.insert(xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed());
        else
            xml.skipCurrentElement();
    }
    if (enumTypes.contains(id)) {
        findings.append(templateFinding(
            SclSeverity::Error, QStringLiteral("EnumType ") + id, line,
            tr("the id is defined twice: the client may show enumeration values wrongly")));
        return;
    }
    enumTypes.insert(id, values);
}

void SclTemplates::checkReferences(SclFindings &findings) const
{
    auto check = [&](const QString &kind, const SclTemplate &type) {
        for (const SclTemplateChild &child : type.children) {
            const QString reference =
                kind + QLatin1Char(' ') + type.id + QLatin1Char('.') + child.name;
            if (child.isDataObject) {
                if (!doTypes.contains(child.type))
                    findings.append(templateFinding(
                        SclSeverity::Error, reference, child.line,
                        tr("DO type \"%1\" names no DOType: the data object has no attributes "
                           "the client could read")
                            .arg(child.type)));
            } else if (child.bType == QLatin1String("Struct")) {
                if (!daTypes.contains(child.type))
                    findings.append(templateFinding(
                        SclSeverity::Error, reference, child.line,
                        tr("type \"%1\" names no DAType: the structure's members are unknown to "
                           "the client")
                            .arg(child.type)));
            } else if (child.bType == QLatin1String("Enum")) {
                if (!enumTypes.contains(child.type))
                    findings.append(templateFinding(
                        SclSeverity::Error, reference, child.line,
                        tr("type \"%1\" names no EnumType: the client cannot tell what the "
                           "values mean")
                            .arg(child.type)));
            }
        }
    };
    for (const SclTemplate &type : lnodeTypes)
        check(QStringLiteral("LNodeType"), type);
    for (const SclTemplate &type : doTypes)
        check(QStringLiteral("DOType"), type);
    for (const SclTemplate &type : daTypes)
        check(QStringLiteral("DAType"), type);
}
