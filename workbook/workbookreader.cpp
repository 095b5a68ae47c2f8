#include "workbook.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <unzip.h>

#include <cmath>
#include <functional>

namespace {

constexpr int ChunkSize = 64 * 1024;

quint64 cellKey(int row, int column)
{
    return (static_cast<quint64>(row) << 32) | static_cast<quint64>(column);
}

unzFile zipOf(void *handle)
{
    return static_cast<unzFile>(handle);
}

// OOXML escapes characters XML cannot carry as _xHHHH_.
QString decodeEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    int i = 0;
    while (i < text.size()) {
        if (i + 6 < text.size() && text.at(i) == QLatin1Char('_') &&
            text.at(i + 1) == QLatin1Char('x') && text.at(i + 6) == QLatin1Char('_')) {
            bool ok = false;
            const ushort code = text.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 7;
                continue;
            }
        }
        out += text.at(i);
        ++i;
    }
    return out;
}

QString partDirectory(const QString &part)
{
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash);
}

QString relationshipsPart(const QString &part)
{
    const int slash = part.lastIndexOf(QLatin1Char('/'));
    return QStringLiteral("%1_rels/%2.rels").arg(part.left(slash + 1), part.mid(slash + 1));
}

QString resolveTarget(const QString &sourcePart, const QString &target)
{
    QString path = target.startsWith(QLatin1Char('/'))
                       ? target.mid(1)
                       : QDir::cleanPath(partDirectory(sourcePart) + QLatin1Char('/') + target);
    if (path.startsWith(QLatin1Char('/')))
        path = path.mid(1);
    if (path.isEmpty() || path.startsWith(QLatin1String("..")))
        return {};
    return path;
}

QString idAttribute(const QXmlStreamAttributes &attributes)
{
    // The relationship id lives in a namespace whose URI differs between transitional and strict.
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() == QLatin1String("id") && !attribute.namespaceUri().isEmpty())
            return attribute.value().toString();
    }
    return {};
}

QVariant numberValue(const QString &text)
{
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok)
        return text;
    if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) <= 9.0e15)
        return static_cast<qlonglong>(number);
    return number;
}

enum class EntryStatus { Ok, Missing, Failed };

using Handler = std::function<bool(QXmlStreamReader &)>;

// Feeds one zip entry chunk by chunk to a QXmlStreamReader so that a sheet is never held
// uncompressed in memory, and stops as soon as the inflated size passes the limit.
EntryStatus streamXml(unzFile zip, const QString &part, qint64 limit, const Handler &handler,
                      QString *error)
{
    if (unzLocateFile(zip, part.toUtf8().constData(), 2) != UNZ_OK)
        return EntryStatus::Missing;
    unz_file_info64 info = {};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        *error = QStringLiteral("%1: unreadable zip entry").arg(part);
        return EntryStatus::Failed;
    }
    if (info.flag & 1) {
        *error = QStringLiteral("%1 is encrypted").arg(part);
        return EntryStatus::Failed;
    }
    if (info.uncompressed_size > static_cast<quint64>(limit)) {
        *error = QStringLiteral("%1 declares %2 bytes, more than the limit of %3")
                     .arg(part)
                     .arg(info.uncompressed_size)
                     .arg(limit);
        return EntryStatus::Failed;
    }
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        *error = QStringLiteral("%1: unsupported or damaged zip entry").arg(part);
        return EntryStatus::Failed;
    }

    QXmlStreamReader xml;
    QString handlerError;
    bool finished = false;
    // Returns false on a fatal error; true when it needs more data or the document ended.
    auto pump = [&]() -> bool {
        while (!finished) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::Invalid) {
                if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                    return true;
                handlerError = QStringLiteral("%1: malformed XML at line %2: %3")
                                   .arg(part)
                                   .arg(xml.lineNumber())
                                   .arg(xml.errorString());
                return false;
            }
            if (token == QXmlStreamReader::DTD) {
                handlerError =
                    QStringLiteral("%1: a document type declaration is not allowed").arg(part);
                return false;
            }
            if (token == QXmlStreamReader::EndDocument) {
                finished = true;
                return true;
            }
            if (!handler(xml)) {
                handlerError =
                    error->isEmpty() ? QStringLiteral("%1: invalid content").arg(part) : *error;
                return false;
            }
        }
        return true;
    };

    QByteArray buffer(ChunkSize, Qt::Uninitialized);
    qint64 total = 0;
    bool ok = true;
    while (ok) {
        const int read = unzReadCurrentFile(zip, buffer.data(), ChunkSize);
        if (read < 0) {
            handlerError = QStringLiteral("%1: damaged compressed data").arg(part);
            ok = false;
            break;
        }
        if (read == 0)
            break;
        total += read;
        if (total > limit) {
            handlerError = QStringLiteral("%1 inflates to more than the limit of %2 bytes")
                               .arg(part)
                               .arg(limit);
            ok = false;
            break;
        }
        if (finished)
            continue;
        xml.addData(QByteArray(buffer.constData(), read));
        ok = pump();
    }
    const int closed = unzCloseCurrentFile(zip);
    if (ok && closed == UNZ_CRCERROR) {
        handlerError = QStringLiteral("%1: checksum mismatch").arg(part);
        ok = false;
    }
    if (ok && !finished) {
        handlerError = QStringLiteral("%1: XML ends prematurely").arg(part);
        ok = false;
    }
    if (!ok) {
        *error = handlerError;
        return EntryStatus::Failed;
    }
    return EntryStatus::Ok;
}

struct Relationship
{
    QString type;
    QString target;
};

} // namespace

WorkbookReader::WorkbookReader() = default;

WorkbookReader::~WorkbookReader()
{
    close();
}

bool WorkbookReader::fail(const QString &message)
{
    m_error = message;
    return false;
}

void WorkbookReader::close()
{
    if (m_zip)
        unzClose(zipOf(m_zip));
    m_zip = nullptr;
    m_path.clear();
    m_sheets.clear();
    m_sharedStrings.clear();
    m_activeTab = 0;
    clearSheet();
}

void WorkbookReader::clearSheet()
{
    m_cells.clear();
    m_currentSheet.clear();
    m_firstRow = m_firstColumn = m_lastRow = m_lastColumn = 0;
}

bool WorkbookReader::open(const QString &path)
{
    close();
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFile::exists(path))
        return fail(QStringLiteral("Cannot open %1: no such file").arg(shown));
    const QByteArray encoded = QFile::encodeName(path);
    m_zip = unzOpen64(encoded.constData());
    if (!m_zip)
        return fail(QStringLiteral("Cannot open %1: not a zip archive").arg(shown));
    m_path = path;

    QString officeDocument = QStringLiteral("xl/workbook.xml");
    QString error;
    const auto rootHandler = [&](QXmlStreamReader &xml) {
        if (xml.isStartElement() && xml.name() == QLatin1String("Relationship") &&
            xml.attributes()
                .value(QLatin1String("Type"))
                .endsWith(QLatin1String("/officeDocument"))) {
            const QString target = resolveTarget(
                QString(), xml.attributes().value(QLatin1String("Target")).toString());
            if (!target.isEmpty())
                officeDocument = target;
        }
        return true;
    };
    if (streamXml(zipOf(m_zip), QStringLiteral("_rels/.rels"), m_limits.maxPartBytes, rootHandler,
                  &error) == EntryStatus::Failed) {
        const QString message = QStringLiteral("Cannot open %1: %2").arg(shown, error);
        close();
        return fail(message);
    }
    if (!parseWorkbook(officeDocument)) {
        const QString message = QStringLiteral("Cannot open %1: %2").arg(shown, m_error);
        close();
        return fail(message);
    }
    m_error.clear();
    return true;
}

bool WorkbookReader::parseWorkbook(const QString &workbookPart)
{
    QString error;
    std::vector<std::pair<QString, QString>> sheetIds;
    int activeTab = 0;
    const auto workbookHandler = [&](QXmlStreamReader &xml) {
        if (!xml.isStartElement())
            return true;
        if (xml.name() == QLatin1String("sheet")) {
            const QString name = xml.attributes().value(QLatin1String("name")).toString();
            if (name.isEmpty()) {
                error = QStringLiteral("%1: a sheet without a name").arg(workbookPart);
                return false;
            }
            sheetIds.emplace_back(name, idAttribute(xml.attributes()));
        } else if (xml.name() == QLatin1String("workbookView")) {
            const QStringRef tab = xml.attributes().value(QLatin1String("activeTab"));
            if (!tab.isEmpty() && activeTab == 0)
                activeTab = tab.toInt();
        }
        return true;
    };
    switch (streamXml(zipOf(m_zip), workbookPart, m_limits.maxPartBytes, workbookHandler, &error)) {
    case EntryStatus::Missing:
        return fail(QStringLiteral("not a workbook (%1 is missing)").arg(workbookPart));
    case EntryStatus::Failed:
        return fail(error);
    case EntryStatus::Ok:
        break;
    }

    QHash<QString, Relationship> relationships;
    const QString relsPart = relationshipsPart(workbookPart);
    const auto relsHandler = [&](QXmlStreamReader &xml) {
        if (xml.isStartElement() && xml.name() == QLatin1String("Relationship")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            if (attributes.value(QLatin1String("TargetMode")) == QLatin1String("External"))
                return true;
            relationships.insert(
                attributes.value(QLatin1String("Id")).toString(),
                Relationship{attributes.value(QLatin1String("Type")).toString(),
                             resolveTarget(workbookPart,
                                           attributes.value(QLatin1String("Target")).toString())});
        }
        return true;
    };
    switch (streamXml(zipOf(m_zip), relsPart, m_limits.maxPartBytes, relsHandler, &error)) {
    case EntryStatus::Missing:
        return fail(QStringLiteral("not a workbook (%1 is missing)").arg(relsPart));
    case EntryStatus::Failed:
        return fail(error);
    case EntryStatus::Ok:
        break;
    }

    for (const auto &sheet : sheetIds) {
        const auto it = relationships.constFind(sheet.second);
        if (it == relationships.constEnd() || it->target.isEmpty())
            return fail(
                QStringLiteral("sheet \"%1\" has no part in %2").arg(sheet.first, relsPart));
        m_sheets.push_back(SheetEntry{sheet.first, it->target});
    }
    m_activeTab = (activeTab >= 0 && activeTab < static_cast<int>(m_sheets.size())) ? activeTab : 0;

    for (const Relationship &relationship : qAsConst(relationships)) {
        if (relationship.type.endsWith(QLatin1String("/sharedStrings")) &&
            !relationship.target.isEmpty())
            return loadSharedStrings(relationship.target);
    }
    return true;
}

bool WorkbookReader::loadSharedStrings(const QString &part)
{
    QString error;
    QString text;
    bool inItem = false;
    bool inText = false;
    int phoneticDepth = 0;
    const auto handler = [&](QXmlStreamReader &xml) {
        const QStringRef name = xml.name();
        if (xml.isStartElement()) {
            if (name == QLatin1String("si")) {
                inItem = true;
                text.clear();
            } else if (name == QLatin1String("rPh")) {
                ++phoneticDepth;
            } else if (name == QLatin1String("t") && inItem && phoneticDepth == 0) {
                inText = true;
            }
        } else if (xml.isEndElement()) {
            if (name == QLatin1String("si")) {
                m_sharedStrings.append(decodeEscapes(text));
                inItem = false;
            } else if (name == QLatin1String("rPh")) {
                --phoneticDepth;
            } else if (name == QLatin1String("t")) {
                inText = false;
            }
        } else if (xml.isCharacters() && inText) {
            text += xml.text();
        }
        return true;
    };
    switch (streamXml(zipOf(m_zip), part, m_limits.maxSharedStringsBytes, handler, &error)) {
    case EntryStatus::Missing:
        return true;
    case EntryStatus::Failed:
        return fail(error);
    case EntryStatus::Ok:
        break;
    }
    return true;
}

QStringList WorkbookReader::sheetNames() const
{
    QStringList names;
    for (const SheetEntry &sheet : m_sheets)
        names << sheet.name;
    return names;
}

QString WorkbookReader::activeSheet() const
{
    if (m_sheets.empty())
        return {};
    return m_sheets[static_cast<size_t>(m_activeTab)].name;
}

bool WorkbookReader::selectSheet(const QString &name)
{
    clearSheet();
    if (!m_zip)
        return fail(QStringLiteral("no workbook is open"));
    for (const SheetEntry &sheet : m_sheets) {
        if (sheet.name == name) {
            if (!loadSheet(sheet)) {
                const QString message = m_error;
                clearSheet();
                return fail(QStringLiteral("Cannot read sheet \"%1\" of %2: %3")
                                .arg(name, QDir::toNativeSeparators(m_path), message));
            }
            m_currentSheet = name;
            m_error.clear();
            return true;
        }
    }
    return fail(
        QStringLiteral("%1 has no sheet named \"%2\"").arg(QDir::toNativeSeparators(m_path), name));
}

bool WorkbookReader::loadSheet(const SheetEntry &sheet)
{
    QString error;
    bool inSheetData = false;
    int row = 0;
    int column = 0;
    bool inCell = false;
    int cellRow = 0;
    int cellColumn = 0;
    QString type;
    QString value;
    QString inlineText;
    bool hasValue = false;
    bool hasInline = false;
    bool inValue = false;
    bool inInline = false;
    bool inInlineText = false;
    int phoneticDepth = 0;

    const auto store = [&]() -> bool {
        QVariant result;
        if (type == QLatin1String("s")) {
            if (!hasValue)
                return true;
            bool ok = false;
            const int index = value.trimmed().toInt(&ok);
            if (!ok || index < 0 || index >= m_sharedStrings.size()) {
                error = QStringLiteral("cell %1: shared string %2 does not exist")
                            .arg(cellRow)
                            .arg(value);
                return false;
            }
            result = m_sharedStrings.at(index);
        } else if (type == QLatin1String("inlineStr") || (hasInline && type.isEmpty())) {
            result = decodeEscapes(hasInline ? inlineText : value);
        } else if (type == QLatin1String("b")) {
            if (!hasValue)
                return true;
            const QString flag = value.trimmed();
            result = flag == QLatin1String("1") || flag == QLatin1String("true");
        } else if (type == QLatin1String("str") || type == QLatin1String("e") ||
                   type == QLatin1String("d")) {
            if (!hasValue)
                return true;
            result = decodeEscapes(value);
        } else {
            if (!hasValue || value.trimmed().isEmpty())
                return true;
            result = numberValue(value);
        }
        if (result.userType() == QMetaType::QString && result.toString().isEmpty())
            return true;
        const quint64 key = cellKey(cellRow, cellColumn);
        if (!m_cells.contains(key) && m_cells.size() >= m_limits.maxCells) {
            error = QStringLiteral("more than %1 cells").arg(m_limits.maxCells);
            return false;
        }
        m_cells.insert(key, result);
        if (m_firstRow == 0 || cellRow < m_firstRow)
            m_firstRow = cellRow;
        if (m_firstColumn == 0 || cellColumn < m_firstColumn)
            m_firstColumn = cellColumn;
        m_lastRow = qMax(m_lastRow, cellRow);
        m_lastColumn = qMax(m_lastColumn, cellColumn);
        return true;
    };

    const auto handler = [&](QXmlStreamReader &xml) -> bool {
        const QStringRef name = xml.name();
        if (xml.isStartElement()) {
            if (name == QLatin1String("sheetData")) {
                inSheetData = true;
            } else if (!inSheetData) {
                return true;
            } else if (name == QLatin1String("row")) {
                const QStringRef r = xml.attributes().value(QLatin1String("r"));
                if (r.isEmpty()) {
                    ++row;
                } else {
                    bool ok = false;
                    row = r.toInt(&ok);
                    if (!ok) {
                        error = QStringLiteral("row number \"%1\" is malformed").arg(r);
                        return false;
                    }
                }
                if (row < 1 || row > WorkbookMaxRows) {
                    error = QStringLiteral("row %1 is outside the sheet").arg(row);
                    return false;
                }
                column = 0;
            } else if (name == QLatin1String("c")) {
                // One copy of the attributes per cell: this is the hot path of a large sheet.
                const QXmlStreamAttributes attributes = xml.attributes();
                const QStringRef r = attributes.value(QLatin1String("r"));
                if (r.isEmpty()) {
                    cellRow = qMax(row, 1);
                    cellColumn = column + 1;
                    if (cellColumn > WorkbookMaxColumns) {
                        error = QStringLiteral("row %1 has more than %2 columns")
                                    .arg(cellRow)
                                    .arg(WorkbookMaxColumns);
                        return false;
                    }
                } else if (!parseCellReference(r.constData(), r.size(), &cellRow, &cellColumn)) {
                    error =
                        QStringLiteral("cell reference \"%1\" is malformed or outside the sheet")
                            .arg(r);
                    return false;
                }
                column = cellColumn;
                inCell = true;
                type = attributes.value(QLatin1String("t")).toString();
                value.clear();
                inlineText.clear();
                hasValue = hasInline = false;
                phoneticDepth = 0;
            } else if (!inCell) {
                return true;
            } else if (name == QLatin1String("v")) {
                inValue = true;
                hasValue = true;
            } else if (name == QLatin1String("is")) {
                inInline = true;
                hasInline = true;
            } else if (name == QLatin1String("rPh")) {
                ++phoneticDepth;
            } else if (name == QLatin1String("t") && inInline && phoneticDepth == 0) {
                inInlineText = true;
            }
        } else if (xml.isEndElement()) {
            if (name == QLatin1String("sheetData")) {
                inSheetData = false;
            } else if (name == QLatin1String("c") && inCell) {
                inCell = false;
                return store();
            } else if (name == QLatin1String("v")) {
                inValue = false;
            } else if (name == QLatin1String("is")) {
                inInline = false;
            } else if (name == QLatin1String("rPh")) {
                --phoneticDepth;
            } else if (name == QLatin1String("t")) {
                inInlineText = false;
            }
        } else if (xml.isCharacters()) {
            if (inValue)
                value += xml.text();
            else if (inInlineText)
                inlineText += xml.text();
        }
        return true;
    };

    switch (streamXml(zipOf(m_zip), sheet.part, m_limits.maxSheetBytes, handler, &error)) {
    case EntryStatus::Missing:
        return fail(QStringLiteral("%1 is missing").arg(sheet.part));
    case EntryStatus::Failed:
        return fail(error);
    case EntryStatus::Ok:
        break;
    }
    return true;
}

QVariant WorkbookReader::read(int row, int column) const
{
    if (row < 1 || column < 1)
        return {};
    return m_cells.value(cellKey(row, column));
}

bool WorkbookReader::parseCellReference(const QString &reference, int *row, int *column)
{
    return parseCellReference(reference.constData(), reference.size(), row, column);
}

bool WorkbookReader::parseCellReference(const QChar *reference, int size, int *row, int *column)
{
    int i = 0;
    qint64 col = 0;
    while (i < size) {
        const QChar c = reference[i].toUpper();
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            break;
        col = col * 26 + (c.unicode() - 'A' + 1);
        if (col > WorkbookMaxColumns)
            return false;
        ++i;
    }
    if (i == 0 || i == size)
        return false;
    qint64 r = 0;
    for (; i < size; ++i) {
        const QChar c = reference[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        r = r * 10 + (c.unicode() - '0');
        if (r > WorkbookMaxRows)
            return false;
    }
    if (r < 1)
        return false;
    *row = static_cast<int>(r);
    *column = static_cast<int>(col);
    return true;
}
