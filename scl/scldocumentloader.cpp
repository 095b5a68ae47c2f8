#include "scldocumentloader.h"

#include "sclmarkupguard.h"
#include "scltagscanner.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QXmlStreamReader>

#include <climits>

namespace {

const QLatin1String IedTag("IED");
const QLatin1String ConnectedApTag("ConnectedAP");
const QLatin1String AccessPointTag("AccessPoint");
const QLatin1String ServerTag("Server");
const QLatin1String ServerAtTag("ServerAt");
const QLatin1String AddressTag("Address");
const QLatin1String ParameterTag("P");
const QLatin1String LNodeTypeTag("LNodeType");
const QLatin1String DoTypeTag("DOType");
const QLatin1String DaTypeTag("DAType");

bool isXmlBlank(const QString &text)
{
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') &&
            c != QLatin1Char('\r'))
            return false;
    }
    return true;
}

// Builds DOM nodes for the element subtrees it is told to capture, as a DOM
// parser would: blank text dropped, adjacent text merged, comments and
// processing instructions kept.
class SubtreeBuilder
{
public:
    explicit SubtreeBuilder(QDomDocument &document) : document(document)
    {
        root = document.createElement(QStringLiteral("SCL"));
        document.appendChild(root);
    }

    bool capturing() const { return !current.isNull(); }

    // levels: how many levels of the subtree to keep (1: the element only).
    void begin(const QXmlStreamReader &xml, int depth, int levels)
    {
        baseDepth = depth;
        keptLevels = levels;
        current = root;
        startElement(xml, depth);
    }

    void startElement(const QXmlStreamReader &xml, int depth)
    {
        if (!kept(depth))
            return;
        flushText();
        QDomElement element = document.createElement(xml.qualifiedName().toString());
        const QXmlStreamAttributes attributes = xml.attributes();
        for (const QXmlStreamAttribute &attribute : attributes)
            element.setAttribute(attribute.qualifiedName().toString(),
                                 attribute.value().toString());
        current.appendChild(element);
        current = element;
    }

    // depth: the depth of the element that ends. True when the capture ends.
    bool endElement(int depth)
    {
        if (!kept(depth))
            return false;
        flushText();
        current = current.parentNode();
        if (depth != baseDepth)
            return false;
        current.clear();
        return true;
    }

    // depth: the depth of the element that holds the node.
    void characters(const QXmlStreamReader &xml, int depth)
    {
        if (!kept(depth + 1))
            return;
        if (xml.isCDATA()) {
            flushText();
            current.appendChild(document.createCDATASection(xml.text().toString()));
        } else {
            pendingText += xml.text();
        }
    }

    void comment(const QXmlStreamReader &xml, int depth)
    {
        if (!kept(depth + 1))
            return;
        flushText();
        current.appendChild(document.createComment(xml.text().toString()));
    }

    void processingInstruction(const QXmlStreamReader &xml, int depth)
    {
        if (!kept(depth + 1))
            return;
        flushText();
        current.appendChild(
            document.createProcessingInstruction(xml.processingInstructionTarget().toString(),
                                                 xml.processingInstructionData().toString()));
    }

    // Feeds every node of the stream while capturing.
    // Returns true when the captured subtree is complete.
    bool feed(const QXmlStreamReader &xml, QXmlStreamReader::TokenType token, int &depth)
    {
        switch (token) {
        case QXmlStreamReader::StartElement:
            startElement(xml, ++depth);
            return false;
        case QXmlStreamReader::EndElement:
            return endElement(depth--);
        case QXmlStreamReader::Characters:
            characters(xml, depth);
            return false;
        case QXmlStreamReader::Comment:
            comment(xml, depth);
            return false;
        case QXmlStreamReader::ProcessingInstruction:
            processingInstruction(xml, depth);
            return false;
        default:
            return false;
        }
    }

private:
    bool kept(int depth) const { return depth - baseDepth < keptLevels; }

    void flushText()
    {
        if (pendingText.isEmpty())
            return;
        if (!isXmlBlank(pendingText))
            current.appendChild(document.createTextNode(pendingText));
        pendingText.clear();
    }

    QDomDocument &document;
    QDomElement root;
    QDomNode current;
    QString pendingText;
    int baseDepth = 0;
    int keptLevels = 0;
};

// Collects the P elements of one ConnectedAP's own Address with their text as
// a DOM would give it: the element's text nodes, blank ones dropped, joined.
// The P elements of its GSE, SMV and PhysConn name multicast groups and
// connectors, not where the IED is reached.
class AccessPointCollector
{
public:
    bool collecting() const { return apDepth > 0; }

    void begin(int depth, SclConnectedAccessPoint *target)
    {
        apDepth = depth;
        addressDepth = 0;
        accessPoint = target;
        parameters = &target->parameters;
        open.clear();
        pendingText.clear();
    }

    // Returns true when the ConnectedAP ends.
    bool feed(const QXmlStreamReader &xml, QXmlStreamReader::TokenType token, int &depth)
    {
        switch (token) {
        case QXmlStreamReader::StartElement:
            ++depth;
            flushText();
            if (depth == apDepth + 1 && xml.qualifiedName() == AddressTag) {
                addressDepth = depth;
                accessPoint->hasAddress = true;
            } else if (addressDepth > 0 && depth == addressDepth + 1 &&
                       xml.qualifiedName() == ParameterTag) {
                parameters->append(SclAddressParameter{
                    xml.attributes().value(QLatin1String("type")).toString(), QString()});
                open.append(qMakePair(parameters->size() - 1, depth));
            }
            return false;
        case QXmlStreamReader::EndElement:
            flushText();
            if (!open.isEmpty() && open.last().second == depth)
                open.removeLast();
            if (depth == addressDepth)
                addressDepth = 0;
            if (depth-- != apDepth)
                return false;
            apDepth = 0;
            return true;
        case QXmlStreamReader::Characters:
            if (open.isEmpty())
                return false;
            if (xml.isCDATA()) {
                flushText();
                appendToOpen(xml.text().toString());
            } else {
                pendingText += xml.text();
            }
            return false;
        default:
            flushText();
            return false;
        }
    }

private:
    void flushText()
    {
        if (pendingText.isEmpty())
            return;
        if (!isXmlBlank(pendingText))
            appendToOpen(pendingText);
        pendingText.clear();
    }

    void appendToOpen(const QString &text)
    {
        for (const auto &entry : qAsConst(open))
            (*parameters)[entry.first].text += text;
    }

    int apDepth = 0;
    int addressDepth = 0; // of the ConnectedAP's Address while inside it
    SclConnectedAccessPoint *accessPoint = nullptr;
    QVector<SclAddressParameter> *parameters = nullptr;
    QVector<QPair<int, int>> open; // index in parameters, element depth
    QString pendingText;
};

// Feeds a file to the XML reader, past the markup guard, and counts the
// ampersands on the way. Once
// the DOCTYPE has told what a reference may expand to, the reader is stopped
// before the references it has been given can add more than
// MaxEntityExpansion characters: a document is expanded as a whole, so a
// single text of a few megabytes could otherwise become gigabytes.
class EntityBudget : public QIODevice
{
public:
    explicit EntityBudget(QFile &file) : file(file)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return true; }

    // At the DTD token: the longest expansion of a declared entity.
    void setDeclarations(const QXmlStreamEntityDeclarations &declarations)
    {
        QHash<QString, QString> values;
        for (const QXmlStreamEntityDeclaration &declaration : declarations)
            values.insert(declaration.name().toString(), declaration.value().toString());
        QHash<QString, qint64> lengths;
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            referenceCost = qMax(referenceCost, expandedLength(it.key(), values, lengths, 0));
    }

    bool exhausted() const
    {
        return references * referenceCost > SclDocumentLoader::MaxEntityExpansion;
    }

    const SclMarkupGuard &markup() const { return guard; }

protected:
    // Bytes past a bound never reach the reader: an element with too many
    // attributes costs it the square of their count before it returns.
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (exhausted() || guard.refused())
            return -1;
        const qint64 read = file.read(data, maxSize);
        if (read > 0 && !guard.feed(data, read))
            return -1;
        for (qint64 i = 0; i < read; ++i) {
            if (data[i] == '&')
                ++references;
        }
        return read;
    }

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    // The reader refuses a single expansion above its own limit, and so does
    // this count; references to undeclared names are left as they are written.
    static qint64 expandedLength(const QString &name, const QHash<QString, QString> &values,
                                 QHash<QString, qint64> &lengths, int depth)
    {
        static const qint64 limit = QXmlStreamReader().entityExpansionLimit();
        const auto known = lengths.constFind(name);
        if (known != lengths.constEnd())
            return known.value();
        const QString value = values.value(name);
        if (depth > 64)
            return limit;
        qint64 length = 0;
        int i = 0;
        while (i < value.size() && length <= limit) {
            const int semicolon =
                value.at(i) == QLatin1Char('&') ? value.indexOf(QLatin1Char(';'), i) : -1;
            const QString reference =
                semicolon > i ? value.mid(i + 1, semicolon - i - 1) : QString();
            if (!reference.isEmpty() && values.contains(reference)) {
                length += expandedLength(reference, values, lengths, depth + 1);
                i = semicolon + 1;
            } else {
                ++length;
                ++i;
            }
        }
        length = qMin(length, limit);
        lengths.insert(name, length);
        return length;
    }

    QFile &file;
    SclMarkupGuard guard;
    qint64 references = 0;
    qint64 referenceCost = 0;
};

// Stops the reader at what no SCL file needs; true when it did.
bool exceedsBounds(QXmlStreamReader &xml, const EntityBudget *budget, int depth)
{
    if (depth > SclDocumentLoader::MaxElementDepth) {
        xml.raiseError(QStringLiteral("elements nested deeper than %1 levels")
                           .arg(SclDocumentLoader::MaxElementDepth));
        return true;
    }
    if (budget && budget->markup().refused()) {
        xml.raiseError(budget->markup().problem());
        return true;
    }
    if (budget && budget->exhausted()) {
        xml.raiseError(QStringLiteral("entity references expand to more than %1 characters")
                           .arg(SclDocumentLoader::MaxEntityExpansion));
        return true;
    }
    return false;
}

// A device or a FIFO would block the open or never end: only regular files
// (also behind a link) are read.
bool openForReading(QFile &file, QString *problem)
{
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isFile())
        *problem = QStringLiteral("not a regular file");
    else if (file.open(QIODevice::ReadOnly))
        return true;
    else
        *problem = file.errorString();
    qDebug().noquote() << "Cannot open SCL file" << file.fileName() << ":" << *problem;
    return false;
}

QString reportXmlError(const QXmlStreamReader &xml, const QString &fileName,
                       const EntityBudget *budget)
{
    const QString problem = budget && budget->markup().refused()
                                ? budget->markup().problem()
                                : QStringLiteral("line %1, column %2: %3")
                                      .arg(xml.lineNumber())
                                      .arg(xml.columnNumber())
                                      .arg(xml.errorString());
    qDebug().noquote() << "SCL file" << fileName << "is not well-formed XML:" << problem;
    return problem;
}

} // namespace

void SclDocumentLoader::clear()
{
    fileName.clear();
    problem.clear();
    rootName.clear();
    asciiMarkup = false;
    names.clear();
    typeIndex.clear();
    typesDocument = QDomDocument();
    accessPoints.clear();
}

bool SclDocumentLoader::load(const QString &fileName)
{
    clear();
    QFile file(fileName);
    if (!openForReading(file, &problem))
        return false;
    const QByteArray start = file.peek(2);
    const bool utf16 = start == QByteArray("\xFE\xFF", 2) || start == QByteArray("\xFF\xFE", 2);
    EntityBudget budget(file);
    QXmlStreamReader xml(&budget);
    xml.setNamespaceProcessing(false);

    QString encoding;
    SubtreeBuilder types(typesDocument);
    AccessPointCollector accessPoint;
    QHash<QString, QVector<SclConnectedAccessPoint>> connected;
    QHash<QString, SclServerAccessPoints> servers;
    // The first IED element of a name is the one a parse run reads.
    QString iedName;
    int iedDepth = 0;
    QString accessPointName;
    int depth = 0;
    unsigned tokens = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (progress && (++tokens & 0xFFF) == 0)
            progress(file.pos(), file.size());
        if (token == QXmlStreamReader::DTD)
            budget.setDeclarations(xml.entityDeclarations());
        if (exceedsBounds(xml, &budget, depth + (token == QXmlStreamReader::StartElement)))
            break;
        if (types.capturing()) {
            types.feed(xml, token, depth);
            continue;
        }
        if (accessPoint.collecting()) {
            accessPoint.feed(xml, token, depth);
            continue;
        }
        if (token == QXmlStreamReader::EndElement) {
            if (depth-- == iedDepth)
                iedDepth = 0;
            continue;
        }
        if (token == QXmlStreamReader::StartDocument)
            encoding = xml.documentEncoding().toString().toUpper();
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (++depth < 2) {
            rootName = xml.qualifiedName().toString();
            continue;
        }
        const QStringRef tag = xml.qualifiedName();
        if (iedDepth > 0 && depth == iedDepth + 1 && tag == AccessPointTag) {
            accessPointName = xml.attributes().value(QLatin1String("name")).toString();
        } else if (iedDepth > 0 && depth == iedDepth + 2 && tag == ServerTag) {
            servers[iedName].withServer.append(accessPointName);
        } else if (iedDepth > 0 && depth == iedDepth + 2 && tag == ServerAtTag) {
            servers[iedName].withServerAt.append(accessPointName);
        } else if (tag == IedTag) {
            const QXmlStreamAttributes attributes = xml.attributes();
            if (attributes.hasAttribute(QLatin1String("name"))) {
                names.append(attributes.value(QLatin1String("name")).toString());
                if (iedDepth == 0 && !servers.contains(names.last())) {
                    iedName = names.last();
                    iedDepth = depth;
                    servers.insert(iedName, {});
                }
            }
        } else if (tag == LNodeTypeTag || tag == DoTypeTag || tag == DaTypeTag) {
            types.begin(xml, depth, 2);
        } else if (tag == ConnectedApTag) {
            const QXmlStreamAttributes attributes = xml.attributes();
            QVector<SclConnectedAccessPoint> &ofIed =
                connected[attributes.value(QLatin1String("iedName")).toString()];
            ofIed.append({attributes.value(QLatin1String("apName")).toString(), false, {}});
            accessPoint.begin(depth, &ofIed.last());
        }
    }
    if (xml.hasError()) {
        const QString why = reportXmlError(xml, fileName, &budget);
        clear();
        problem = why;
        return false;
    }
    chooseAccessPoints(servers, connected);
    this->fileName = fileName;
    asciiMarkup =
        !utf16 && (encoding.isEmpty() || encoding == QLatin1String("UTF-8") ||
                   encoding == QLatin1String("UTF8") || encoding == QLatin1String("US-ASCII"));
    typeIndex.build(typesDocument.documentElement());
    return true;
}

void SclDocumentLoader::chooseAccessPoints(
    const QHash<QString, SclServerAccessPoints> &servers,
    const QHash<QString, QVector<SclConnectedAccessPoint>> &connected)
{
    // A ConnectedAP may name an access point the IED does not have (vendor
    // files keep those of other variants): its address is not the IED's.
    for (auto it = connected.cbegin(); it != connected.cend(); ++it) {
        const SclServerAccessPoints serving = servers.value(it.key());
        const SclConnectedAccessPoint *chosen = nullptr;
        for (const QString &apName : serving.withServer + serving.withServerAt) {
            for (const SclConnectedAccessPoint &candidate : it.value()) {
                if (!chosen && candidate.hasAddress && candidate.apName == apName)
                    chosen = &candidate;
            }
        }
        for (const SclConnectedAccessPoint &candidate : it.value()) {
            if (!chosen && candidate.hasAddress)
                chosen = &candidate;
        }
        if (chosen)
            accessPoints.insert(it.key(), chosen->parameters);
    }
}

const QVector<SclAddressParameter> *SclDocumentLoader::accessPoint(const QString &iedName) const
{
    const auto it = accessPoints.constFind(iedName);
    return it == accessPoints.constEnd() ? nullptr : &it.value();
}

QDomDocument SclDocumentLoader::loadIed(const QString &iedName) const
{
    if (fileName.isEmpty())
        return {};
    if (asciiMarkup) {
        QFile file(fileName);
        if (!openForReading(file, &problem))
            return {};
        QDomDocument document;
        bool failed = false;
        const SclTagScanner::Result result = SclTagScanner::scan(
            file, "IED", "name", iedName,
            [&](qint64 offset) {
                const Fragment fragment = readIedAt(offset, iedName, document);
                failed = fragment == Fragment::Failed;
                return fragment != Fragment::OtherIed;
            },
            progress);
        if (result == SclTagScanner::Result::Stopped && !failed)
            return document;
        if (result == SclTagScanner::Result::Finished)
            return {};
        // Markup the scanner does not follow (or a changed file): read the
        // file with the XML reader from its start.
        qDebug().noquote() << "SCL file" << fileName << ": IED" << iedName
                           << "is read again with the XML reader";
    }
    return streamIed(iedName);
}

SclDocumentLoader::Fragment SclDocumentLoader::readIedAt(qint64 offset, const QString &iedName,
                                                         QDomDocument &document) const
{
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return Fragment::Failed;
    EntityBudget guarded(file);
    QXmlStreamReader xml(&guarded);
    xml.setNamespaceProcessing(false);
    document = QDomDocument();
    SubtreeBuilder builder(document);
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (exceedsBounds(xml, &guarded, depth + (token == QXmlStreamReader::StartElement)))
            return Fragment::Failed;
        if (builder.capturing()) {
            if (builder.feed(xml, token, depth))
                return Fragment::Read;
        } else if (token == QXmlStreamReader::StartElement) {
            if (xml.qualifiedName() != IedTag)
                return Fragment::Failed;
            // The scanner passes names that need decoding on unchecked.
            if (xml.attributes().value(QLatin1String("name")) != iedName)
                return Fragment::OtherIed;
            builder.begin(xml, ++depth, INT_MAX);
        }
    }
    // Entities declared in the file's DOCTYPE are unknown to a fragment.
    return Fragment::Failed;
}

QDomDocument SclDocumentLoader::streamIed(const QString &iedName) const
{
    QFile file(fileName);
    if (!openForReading(file, &problem))
        return {};
    EntityBudget budget(file);
    QXmlStreamReader xml(&budget);
    xml.setNamespaceProcessing(false);

    QDomDocument document;
    SubtreeBuilder builder(document);
    int depth = 0;
    unsigned tokens = 0;
    // The file was read whole when loaded; reading stops once the IED is in.
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (progress && (++tokens & 0xFFF) == 0)
            progress(file.pos(), file.size());
        if (token == QXmlStreamReader::DTD)
            budget.setDeclarations(xml.entityDeclarations());
        if (exceedsBounds(xml, &budget, depth + (token == QXmlStreamReader::StartElement)))
            break;
        if (builder.capturing()) {
            if (builder.feed(xml, token, depth))
                return document;
            continue;
        }
        if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::StartElement) {
            if (++depth >= 2 && xml.qualifiedName() == IedTag &&
                xml.attributes().value(QLatin1String("name")) == iedName)
                builder.begin(xml, depth, INT_MAX);
        }
    }
    if (xml.hasError())
        problem = reportXmlError(xml, fileName, &budget);
    return {};
}
