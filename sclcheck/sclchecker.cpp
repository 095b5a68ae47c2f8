#include "sclchecker.h"

#include "sclcontrolblockcheck.h"
#include "sclfilescan.h"
#include "sclinstancecheck.h"
#include "sclmarkupguard.h"
#include "scltagscanner.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

const QLatin1String SclNamespace("http://www.iec.ch/61850/2003/SCL");

QString tr(const char *text)
{
    return QCoreApplication::translate("SclChecker", text);
}

struct AddressParameter
{
    QString type;
    QString text;
    qint64 line = 0;
};

struct ConnectedAp
{
    QString subNetwork;
    QString ied;
    QString accessPoint;
    qint64 line = 0;
    bool hasAddress = false;
    QVector<AddressParameter> parameters;

    QString reference() const { return ied + QLatin1Char('/') + accessPoint; }
};

QVector<ConnectedAp> readCommunication(QXmlStreamReader &xml)
{
    QVector<ConnectedAp> found;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("SubNetwork")) {
            xml.skipCurrentElement();
            continue;
        }
        const QString subNetwork = xml.attributes().value(QLatin1String("name")).toString();
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("ConnectedAP")) {
                xml.skipCurrentElement();
                continue;
            }
            ConnectedAp ap;
            ap.subNetwork = subNetwork;
            ap.ied = xml.attributes().value(QLatin1String("iedName")).toString();
            ap.accessPoint = xml.attributes().value(QLatin1String("apName")).toString();
            ap.line = xml.lineNumber();
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("Address")) {
                    xml.skipCurrentElement();
                    continue;
                }
                ap.hasAddress = true;
                while (xml.readNextStartElement()) {
                    if (xml.name() != QLatin1String("P")) {
                        xml.skipCurrentElement();
                        continue;
                    }
                    AddressParameter parameter;
                    parameter.type = xml.attributes().value(QLatin1String("type")).toString();
                    parameter.line = xml.lineNumber();
                    parameter.text =
                        xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
                    ap.parameters.append(parameter);
                }
            }
            found.append(ap);
        }
    }
    return found;
}

bool isIpv4Address(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    for (int part = 1; part <= 4; ++part) {
        if (match.captured(part).toInt() > 255)
            return false;
    }
    return true;
}

bool isIpAddress(const QString &text)
{
    static const QRegularExpression ipv6(QStringLiteral("^[0-9A-Fa-f:.]+$"));
    return isIpv4Address(text) || (text.contains(QLatin1Char(':')) && ipv6.match(text).hasMatch());
}

class FileCheck
{
public:
    FileCheck(const QString &iedFilter, const std::atomic<bool> *cancel)
        : iedFilter(iedFilter), cancel(cancel)
    {
    }

    SclCheckResult run(const QString &fileName);

private:
    bool cancelled() const { return cancel && cancel->load(); }
    void add(SclSeverity severity, const QString &ied, const QString &reference, qint64 line,
             const QString &text)
    {
        result.findings.append(SclFinding{severity, ied, reference, line, text});
    }
    void readTemplates(QFile &file, const QString &encoding);
    // mustBeLast: the element must end the document (its place was found
    // without following the markup).
    bool readTemplatesAt(QFile &file, qint64 offset, bool mustBeLast);
    // The offset of the last "<DataTypeTemplates" of the file's bytes, -1 for none.
    static qint64 lastTemplatesTag(QFile &file);
    // Whether the file's last "</DataTypeTemplates" is followed by the end tag
    // of the document alone (blanks and comments aside): then a tag found by
    // its bytes was no text of a comment or CDATA section.
    static bool templatesEndDocument(QFile &file, qint64 startTag);
    void addTemplateFindings(QFile &file);
    void readTemplatesByStream(QFile &file);
    // For a file that declares an encoding other than UTF-8.
    void checkDeclaredEncoding(QFile &file, const QString &encoding);
    // False, with a finding, when the bytes are not UTF-8.
    bool checkUtf8(QFile &file);
    bool mainPass(QFile &file);
    void checkIed(const SclIed &ied);
    void checkCommunication();

    QString iedFilter;
    const std::atomic<bool> *cancel;
    SclCheckResult result;
    SclTemplates templates;
    QVector<ConnectedAp> connectedAps;
    QHash<QString, QStringList> accessPoints;
    QHash<QString, QStringList> serverAccessPoints;
    QHash<QString, qint64> iedLines;
    bool wellFormed = true;
    bool declaredUtf8 = true;
    SclFindings templateFindings;
    qint64 templatesOffset = -1; // where the templates were read from, -1 for the stream
};

SclCheckResult FileCheck::run(const QString &fileName)
{
    QFile file(fileName);
    // A device or a FIFO would block the open or never end.
    if (QFileInfo::exists(fileName) && !QFileInfo(fileName).isFile()) {
        result.problem = tr("%1 cannot be read: not a regular file").arg(fileName);
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.problem = tr("%1 cannot be read: %2").arg(fileName, file.errorString());
        return result;
    }
    // Markup no SCL file has would cost the readers below minutes or gigabytes.
    QString markupProblem;
    if (!SclMarkupGuard::check(file, &markupProblem) || !file.seek(0)) {
        result.problem = tr("%1 cannot be read: %2").arg(fileName, markupProblem);
        return result;
    }
    const QByteArray head = file.peek(256);
    if (head.trimmed().isEmpty()) {
        result.problem = tr("%1 is empty").arg(fileName);
        return result;
    }
    const QString encoding = SclFileScan::declaredEncoding(head);
    declaredUtf8 = encoding.isEmpty() || encoding == QLatin1String("UTF-8");
    readTemplates(file, encoding);
    if (!mainPass(file))
        return result;
    result.readable = true;
    if (cancelled()) {
        result.problem = tr("The check was cancelled.");
        return result;
    }
    addTemplateFindings(file);
    // Past a syntax error the IEDs the addresses name are unknown.
    if (wellFormed)
        checkCommunication();
    if (!iedFilter.isEmpty()) {
        const auto other = [this](const SclFinding &finding) {
            return !finding.ied.isEmpty() && finding.ied != iedFilter;
        };
        result.findings.erase(std::remove_if(result.findings.begin(), result.findings.end(), other),
                              result.findings.end());
    }
    std::stable_sort(result.findings.begin(), result.findings.end(),
                     [](const SclFinding &a, const SclFinding &b) { return a.line < b.line; });
    return result;
}

void FileCheck::readTemplates(QFile &file, const QString &encoding)
{
    const bool utf16 = SclFileScan::hasUtf16Bom(file.peek(4));
    const bool asciiMarkup = !utf16 && (encoding.isEmpty() || encoding == QLatin1String("UTF-8") ||
                                        encoding == QLatin1String("US-ASCII"));
    if (!utf16 && !asciiMarkup)
        checkDeclaredEncoding(file, encoding);
    // The templates close the file: find them without reading the IEDs as
    // XML, first from the end, then with a scan that follows the markup.
    if (asciiMarkup && readTemplatesAt(file, lastTemplatesTag(file), true)) {
        file.seek(0);
        return;
    }
    qint64 offset = -1;
    if (asciiMarkup) {
        file.seek(0);
        SclTagScanner::scan(file, QByteArrayLiteral("DataTypeTemplates"), QByteArray(), QString(),
                            [&offset](qint64 at) {
                                offset = at;
                                return true;
                            });
    }
    if (offset < 0 || !readTemplatesAt(file, offset, false))
        readTemplatesByStream(file);
    file.seek(0);
}

qint64 FileCheck::lastTemplatesTag(QFile &file)
{
    static const QByteArray tag = QByteArrayLiteral("<DataTypeTemplates");
    constexpr qint64 Chunk = 1 << 20;
    qint64 end = file.size();
    while (end > 0) {
        const qint64 begin = std::max<qint64>(0, end - Chunk);
        if (!file.seek(begin))
            return -1;
        // Overlapping by the tag's length, so a tag across two chunks is found.
        const QByteArray bytes = file.read(end - begin + tag.size());
        for (int at = bytes.lastIndexOf(tag); at >= 0; at = bytes.lastIndexOf(tag, at - 1)) {
            const char next = at + tag.size() < bytes.size() ? bytes.at(at + tag.size()) : 0;
            if (next == ' ' || next == '>' || next == '/' || next == '\n' || next == '\r' ||
                next == '\t')
                return begin + at;
            if (at == 0)
                break;
        }
        end = begin;
    }
    return -1;
}

bool FileCheck::templatesEndDocument(QFile &file, qint64 startTag)
{
    static const QRegularExpression documentEnd(
        QStringLiteral("^\\s*>\\s*(<!--((?!-->).)*-->\\s*)*</([A-Za-z_][\\w.-]*:)?SCL\\s*>\\s*$"),
        QRegularExpression::DotMatchesEverythingOption);
    constexpr qint64 Tail = 64 * 1024;
    const qint64 tailStart = std::max<qint64>(0, file.size() - Tail);
    if (!file.seek(tailStart))
        return false;
    const QByteArray tail = file.readAll();
    const int end = tail.lastIndexOf("</DataTypeTemplates");
    // The start tag found must open the element that ends there.
    if (end < 0 || startTag >= tailStart + end)
        return false;
    return documentEnd.match(QString::fromUtf8(tail.mid(end + int(qstrlen("</DataTypeTemplates")))))
        .hasMatch();
}

bool FileCheck::readTemplatesAt(QFile &file, qint64 offset, bool mustBeLast)
{
    if (offset < 0 || !file.seek(offset))
        return false;
    QXmlStreamReader xml(&file);
    SclFindings found;
    SclTemplates read;
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("DataTypeTemplates"))
        return false;
    read.read(xml, 0, found);
    // The fragment lacks the document's namespace declarations: a prefixed
    // element in it is an error here, not in the file.
    if (xml.hasError())
        return false;
    if (mustBeLast && !templatesEndDocument(file, offset))
        return false;
    templates = read;
    templateFindings = found;
    templatesOffset = offset;
    return true;
}

void FileCheck::addTemplateFindings(QFile &file)
{
    templates.checkReferences(templateFindings);
    if (templateFindings.isEmpty())
        return;
    // Read from the middle of the file, the templates count their lines from
    // there: the file's line at that point is only worth counting now.
    if (templatesOffset > 0) {
        file.seek(0);
        const qint64 lineOffset = SclFileScan::scan(file, templatesOffset).lineAtOffset - 1;
        for (SclFinding &finding : templateFindings)
            finding.line += lineOffset;
    }
    result.findings += templateFindings;
}

void FileCheck::readTemplatesByStream(QFile &file)
{
    file.seek(0);
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement())
        return;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("DataTypeTemplates")) {
            templates.read(xml, 0, templateFindings);
            return;
        }
        xml.skipCurrentElement();
    }
}

void FileCheck::checkDeclaredEncoding(QFile &file, const QString &encoding)
{
    const SclByteScan scan = SclFileScan::scan(file, -1);
    file.seek(0);
    if (encoding != QLatin1String("US-ASCII") && scan.multiByteCharacters &&
        scan.invalidUtf8Line == 0)
        add(SclSeverity::Warning, QString(), QString(), 1,
            tr("the file declares %1 but its bytes read as UTF-8: non-ASCII names and texts "
               "reach the client garbled")
                .arg(encoding));
}

bool FileCheck::checkUtf8(QFile &file)
{
    file.seek(0);
    const SclByteScan scan = SclFileScan::scan(file, -1);
    if (scan.invalidUtf8Line == 0)
        return true;
    add(SclSeverity::Error, QString(), QString(), scan.invalidUtf8Line,
        tr("the bytes are not UTF-8 as the file declares: names and texts from here on "
           "may reach the client garbled"));
    return false;
}

bool FileCheck::mainPass(QFile &file)
{
    file.seek(0);
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement()) {
        // Bytes the declared encoding cannot decode stop the reader at once:
        // the byte scan says where.
        if (declaredUtf8 && !checkUtf8(file))
            return true;
        result.problem = tr("not an XML file: %1 (line %2, column %3)")
                             .arg(xml.errorString())
                             .arg(xml.lineNumber())
                             .arg(xml.columnNumber());
        return false;
    }
    if (xml.name() != QLatin1String("SCL")) {
        result.problem =
            tr("not an SCL file: the document element is <%1>").arg(xml.qualifiedName().toString());
        return false;
    }
    if (xml.namespaceUri() != SclNamespace)
        add(SclSeverity::Error, QString(), QStringLiteral("SCL"), xml.lineNumber(),
            tr("unknown SCL namespace \"%1\": tools that validate the file refuse it")
                .arg(xml.namespaceUri().toString()));
    while (!cancelled() && xml.readNextStartElement()) {
        const QStringRef tag = xml.name();
        if (tag == QLatin1String("Communication")) {
            connectedAps += readCommunication(xml);
        } else if (tag == QLatin1String("IED")) {
            const SclIed ied = readSclIed(xml);
            if (!xml.hasError())
                checkIed(ied);
        } else {
            xml.skipCurrentElement();
        }
    }
    wellFormed = !xml.hasError();
    // The reader stops at bytes its encoding cannot decode; say so rather than
    // report bad syntax.
    if (!wellFormed && declaredUtf8 && !checkUtf8(file))
        return true;
    if (!wellFormed)
        add(SclSeverity::Error, QString(), QString(), xml.lineNumber(),
            tr("not well-formed at column %1 (%2): nothing after it was checked, and tools "
               "that read the whole file refuse it")
                .arg(xml.columnNumber())
                .arg(xml.errorString().remove(QRegularExpression(QStringLiteral("\\.$")))));
    return true;
}

void FileCheck::checkIed(const SclIed &ied)
{
    if (iedLines.contains(ied.name)) {
        add(SclSeverity::Error, ied.name, ied.name, ied.line,
            tr("a second IED of this name (the first at line %1): the client cannot tell "
               "which one a reference means")
                .arg(iedLines.value(ied.name)));
        return;
    }
    result.iedNames.append(ied.name);
    iedLines.insert(ied.name, ied.line);
    accessPoints.insert(ied.name, ied.accessPoints);
    serverAccessPoints.insert(ied.name, ied.serverAccessPoints);
    if (!iedFilter.isEmpty() && ied.name != iedFilter)
        return;
    SclInstanceCheck(templates, result.findings).check(ied);
    SclControlBlockCheck(templates, result.findings).check(ied);
}

void FileCheck::checkCommunication()
{
    QHash<QString, const ConnectedAp *> addressed; // "ied/ap" with an Address
    QHash<QString, const ConnectedAp *> byAddress; // "subnetwork/ip"
    for (const ConnectedAp &ap : qAsConst(connectedAps)) {
        const QString reference = ap.reference();
        if (!iedLines.contains(ap.ied)) {
            add(SclSeverity::Warning, ap.ied, reference, ap.line,
                tr("ConnectedAP names IED \"%1\", which the file does not have: the address "
                   "belongs to no device")
                    .arg(ap.ied));
            continue;
        }
        if (!accessPoints.value(ap.ied).contains(ap.accessPoint)) {
            add(SclSeverity::Error, ap.ied, reference, ap.line,
                tr("ConnectedAP names access point \"%1\", which the IED does not have: the "
                   "client finds no address for the IED")
                    .arg(ap.accessPoint));
            continue;
        }
        if (ap.hasAddress)
            addressed.insert(reference, &ap);
        for (const AddressParameter &parameter : ap.parameters) {
            if (parameter.type == QLatin1String("IP")) {
                if (!isIpAddress(parameter.text)) {
                    add(SclSeverity::Error, ap.ied, reference, parameter.line,
                        tr("IP \"%1\" is no IP address: the client cannot connect")
                            .arg(parameter.text));
                    continue;
                }
                const QString key = ap.subNetwork + QLatin1Char('/') + parameter.text;
                if (const ConnectedAp *other = byAddress.value(key)) {
                    add(SclSeverity::Error, ap.ied, reference, parameter.line,
                        tr("IP %1 is also the address of %2 on subnetwork %3: the client "
                           "reaches one of them only")
                            .arg(parameter.text, other->reference(), ap.subNetwork));
                } else {
                    byAddress.insert(key, &ap);
                }
            } else if (parameter.type == QLatin1String("IP-SUBNET") ||
                       parameter.type == QLatin1String("IP-GATEWAY")) {
                if (!isIpAddress(parameter.text))
                    add(SclSeverity::Warning, ap.ied, reference, parameter.line,
                        tr("%1 \"%2\" is no IP address: the network settings taken from the "
                           "file are wrong")
                            .arg(parameter.type, parameter.text));
            } else if (parameter.type.contains(QLatin1String("Port"))) {
                bool number = false;
                const int port = parameter.text.toInt(&number);
                if (!number || port < 1 || port > 65535)
                    add(SclSeverity::Error, ap.ied, reference, parameter.line,
                        tr("%1 \"%2\" is no TCP port: the client cannot connect")
                            .arg(parameter.type, parameter.text));
            }
        }
    }
    for (const QString &ied : qAsConst(result.iedNames)) {
        for (const QString &ap : serverAccessPoints.value(ied)) {
            const ConnectedAp *connected = addressed.value(ied + QLatin1Char('/') + ap);
            bool hasIp = false;
            for (const AddressParameter &parameter :
                 connected ? connected->parameters : QVector<AddressParameter>())
                hasIp = hasIp || parameter.type == QLatin1String("IP");
            if (!hasIp)
                add(SclSeverity::Error, ied, ied + QLatin1Char('/') + ap,
                    connected ? connected->line : iedLines.value(ied),
                    tr("access point with a server but no IP address in the Communication "
                       "section: the client has no address to connect to"));
        }
    }
}

} // namespace

SclSeverityCounts SclCheckResult::countsOf(const QString &iedName) const
{
    SclFindings own;
    for (const SclFinding &finding : findings) {
        if (finding.ied == iedName)
            own.append(finding);
    }
    return countSeverities(own);
}

SclCheckResult SclChecker::check(const QString &fileName) const
{
    return FileCheck(iedFilter, cancel).run(fileName);
}
