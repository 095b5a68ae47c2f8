#include "sclieddata.h"

#include <QXmlStreamReader>

#include <utility>

namespace {

QString attribute(const QXmlStreamAttributes &attributes, const char *name)
{
    return attributes.value(QLatin1String(name)).toString();
}

bool isTrue(const QXmlStreamAttributes &attributes, const char *name)
{
    const QStringRef value = attributes.value(QLatin1String(name));
    return value == QLatin1String("true") || value == QLatin1String("1");
}

// SDIs nest a few levels; a file nesting thousands must not exhaust the stack.
constexpr int MaxInstanceDepth = 64;

void readInstance(QXmlStreamReader &xml, int parent, SclLogicalNode &ln, int depth = 0)
{
    SclInstanceNode node;
    node.parent = parent;
    node.isAttribute = xml.name() == QLatin1String("DAI");
    node.name = attribute(xml.attributes(), "name");
    node.line = xml.lineNumber();
    const int index = ln.instances.size();
    ln.instances.append(node);
    while (xml.readNextStartElement()) {
        const QStringRef tag = xml.name();
        if ((tag == QLatin1String("SDI") || tag == QLatin1String("DAI")) &&
            depth < MaxInstanceDepth) {
            readInstance(xml, index, ln, depth + 1);
        } else if (tag == QLatin1String("Val") && ln.instances[index].value.isNull()) {
            ln.instances[index].value =
                xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else {
            xml.skipCurrentElement();
        }
    }
}

SclControlBlock readControl(QXmlStreamReader &xml, SclControlBlock::Kind kind)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    SclControlBlock block;
    block.kind = kind;
    block.name = attribute(attributes, "name");
    block.datSet = attribute(attributes, "datSet");
    block.rptId = attribute(attributes, "rptID");
    block.confRev = attribute(attributes, "confRev");
    block.intgPd = attribute(attributes, "intgPd");
    block.buffered = isTrue(attributes, "buffered");
    block.line = xml.lineNumber();
    while (xml.readNextStartElement()) {
        const QStringRef tag = xml.name();
        if (tag == QLatin1String("TrgOps")) {
            block.periodTrigger = isTrue(xml.attributes(), "period");
            xml.skipCurrentElement();
        } else if (tag == QLatin1String("OptFields")) {
            block.dataRef = isTrue(xml.attributes(), "dataRef");
            xml.skipCurrentElement();
        } else if (tag == QLatin1String("RptEnabled")) {
            block.hasRptEnabled = true;
            const QString max = attribute(xml.attributes(), "max");
            block.max = max.isEmpty() ? 1 : max.toInt();
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("ClientLN"))
                    ++block.clients;
                xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    return block;
}

SclLogicalNode readLogicalNode(QXmlStreamReader &xml, const QString &ldInst)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    SclLogicalNode ln;
    ln.ldInst = ldInst;
    ln.prefix = attribute(attributes, "prefix");
    ln.lnClass = attribute(attributes, "lnClass");
    ln.inst = attribute(attributes, "inst");
    ln.lnType = attribute(attributes, "lnType");
    ln.line = xml.lineNumber();
    while (xml.readNextStartElement()) {
        const QStringRef tag = xml.name();
        if (tag == QLatin1String("DOI")) {
            readInstance(xml, -1, ln);
        } else if (tag == QLatin1String("DataSet")) {
            SclDataSet dataSet{attribute(xml.attributes(), "name"), xml.lineNumber(), {}};
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("FCDA")) {
                    const QXmlStreamAttributes member = xml.attributes();
                    dataSet.members.append(
                        SclMember{attribute(member, "ldInst"), attribute(member, "prefix"),
                                  attribute(member, "lnClass"), attribute(member, "lnInst"),
                                  attribute(member, "doName"), attribute(member, "daName"),
                                  attribute(member, "fc"), xml.lineNumber()});
                }
                xml.skipCurrentElement();
            }
            ln.dataSets.append(std::move(dataSet));
        } else if (tag == QLatin1String("ReportControl")) {
            ln.controls.append(readControl(xml, SclControlBlock::Report));
        } else if (tag == QLatin1String("LogControl")) {
            ln.controls.append(readControl(xml, SclControlBlock::Log));
        } else if (tag == QLatin1String("GSEControl")) {
            ln.controls.append(readControl(xml, SclControlBlock::Goose));
        } else {
            xml.skipCurrentElement();
        }
    }
    return ln;
}

} // namespace

QString SclLogicalNode::instancePath(int node) const
{
    QString path = instances.at(node).name;
    for (int at = instances.at(node).parent; at >= 0; at = instances.at(at).parent)
        path = instances.at(at).name + QLatin1Char('.') + path;
    return path;
}

QString SclIed::lnReference(const SclLogicalNode &ln) const
{
    return name + ln.ldInst + QLatin1Char('/') + ln.name();
}

SclIed readSclIed(QXmlStreamReader &xml)
{
    SclIed ied;
    ied.name = attribute(xml.attributes(), "name");
    ied.line = xml.lineNumber();
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("AccessPoint")) {
            xml.skipCurrentElement();
            continue;
        }
        const QString apName = attribute(xml.attributes(), "name");
        ied.accessPoints.append(apName);
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("Server")) {
                xml.skipCurrentElement();
                continue;
            }
            ied.serverAccessPoints.append(apName);
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("LDevice")) {
                    xml.skipCurrentElement();
                    continue;
                }
                const QString ldInst = attribute(xml.attributes(), "inst");
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("LN0") || xml.name() == QLatin1String("LN"))
                        ied.logicalNodes.append(readLogicalNode(xml, ldInst));
                    else
                        xml.skipCurrentElement();
                }
            }
        }
    }
    return ied;
}
