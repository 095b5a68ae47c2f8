#include "workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <cmath>
#include <map>

struct WorkbookWriter::Sheet
{
    struct Cell
    {
        QVariant value;
        CellStyle style = CellStyle::Plain;
    };
    QString name;
    std::map<std::pair<int, int>, Cell> cells;
    QMap<int, double> widths;
};

namespace {

// Beyond 2^53 a double no longer holds every integer, so such values are kept as text.
constexpr double MaxExactInteger = 9007199254740992.0;

QString sheetNameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("a sheet name must not be empty");
    if (name.size() > 31)
        return QStringLiteral("sheet name \"%1\" is longer than 31 characters").arg(name);
    for (const QChar c : name) {
        if (QStringLiteral("[]:*?/\\").contains(c))
            return QStringLiteral("sheet name \"%1\" contains '%2'").arg(name, c);
    }
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        return QStringLiteral("sheet name \"%1\" starts or ends with an apostrophe").arg(name);
    return {};
}

bool isNumber(const QVariant &value)
{
    switch (static_cast<QMetaType::Type>(value.userType())) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

// Readers turn _xHHHH_ into the character it names, so a literal one is protected by escaping
// its underscore; libxlsxwriter only escapes control characters.
QString protectEscapes(const QString &text)
{
    static const QRegularExpression escape(QStringLiteral("_(x[0-9A-Fa-f]{4}_)"));
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out = text;
    return out.replace(escape, QStringLiteral("_x005F_\\1"));
}

QString lxwMessage(lxw_error error)
{
    return QString::fromUtf8(lxw_strerror(error));
}

} // namespace

WorkbookWriter::WorkbookWriter() = default;
WorkbookWriter::~WorkbookWriter() = default;

bool WorkbookWriter::fail(const QString &message)
{
    m_error = message;
    return false;
}

WorkbookWriter::Sheet *WorkbookWriter::current()
{
    if (m_current < 0)
        return nullptr;
    return m_sheets[static_cast<size_t>(m_current)].get();
}

bool WorkbookWriter::addSheet(const QString &name)
{
    const QString problem = sheetNameProblem(name);
    if (!problem.isEmpty())
        return fail(problem);
    for (const auto &sheet : m_sheets) {
        // Excel compares sheet names case-insensitively.
        if (sheet->name.compare(name, Qt::CaseInsensitive) == 0)
            return fail(QStringLiteral("a sheet named \"%1\" already exists").arg(name));
    }
    auto sheet = std::make_unique<Sheet>();
    sheet->name = name;
    m_sheets.push_back(std::move(sheet));
    m_current = static_cast<int>(m_sheets.size()) - 1;
    return true;
}

bool WorkbookWriter::selectSheet(const QString &name)
{
    for (size_t i = 0; i < m_sheets.size(); ++i) {
        if (m_sheets[i]->name == name) {
            m_current = static_cast<int>(i);
            return true;
        }
    }
    return fail(QStringLiteral("no sheet named \"%1\"").arg(name));
}

QString WorkbookWriter::currentSheet() const
{
    return m_current < 0 ? QString() : m_sheets[static_cast<size_t>(m_current)]->name;
}

QStringList WorkbookWriter::sheetNames() const
{
    QStringList names;
    for (const auto &sheet : m_sheets)
        names << sheet->name;
    return names;
}

bool WorkbookWriter::write(int row, int column, const QVariant &value, CellStyle style)
{
    Sheet *sheet = current();
    if (!sheet)
        return fail(QStringLiteral("no sheet selected"));
    if (row < 1 || row > WorkbookMaxRows || column < 1 || column > WorkbookMaxColumns)
        return fail(QStringLiteral("cell (%1, %2) is outside the sheet").arg(row).arg(column));
    if (value.userType() == QMetaType::QString && value.toString().size() > 32767)
        return fail(QStringLiteral("text in cell (%1, %2) is longer than 32767 characters")
                        .arg(row)
                        .arg(column));
    const auto key = std::make_pair(row, column);
    if ((value.isNull() ||
         (value.userType() == QMetaType::QString && value.toString().isEmpty())) &&
        style == CellStyle::Plain) {
        sheet->cells.erase(key);
        return true;
    }
    sheet->cells[key] = Sheet::Cell{value, style};
    return true;
}

bool WorkbookWriter::setColumnWidth(int column, double width)
{
    Sheet *sheet = current();
    if (!sheet)
        return fail(QStringLiteral("no sheet selected"));
    if (column < 1 || column > WorkbookMaxColumns)
        return fail(QStringLiteral("column %1 is outside the sheet").arg(column));
    if (!(width >= 0 && width <= 255))
        return fail(QStringLiteral("column width %1 is not between 0 and 255").arg(width));
    sheet->widths[column] = width;
    return true;
}

bool WorkbookWriter::setActiveSheet(const QString &name)
{
    for (size_t i = 0; i < m_sheets.size(); ++i) {
        if (m_sheets[i]->name == name) {
            m_active = static_cast<int>(i);
            return true;
        }
    }
    return fail(QStringLiteral("no sheet named \"%1\"").arg(name));
}

bool WorkbookWriter::saveAs(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (m_sheets.empty())
        return fail(QStringLiteral("Cannot write %1: the workbook has no sheet").arg(shown));
    if (QFileInfo(path).isDir())
        return fail(QStringLiteral("Cannot write %1: it is a directory").arg(shown));

    // Opened first so that an unwritable destination fails before any work is done;
    // QSaveFile also keeps an existing file intact until the new one is complete.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Cannot write %1: %2").arg(shown, out.errorString()));

    QTemporaryDir scratch;
    if (!scratch.isValid())
        return fail(QStringLiteral("Cannot write %1: no temporary folder (%2)")
                        .arg(shown, scratch.errorString()));
    const QByteArray scratchFile = QFile::encodeName(scratch.filePath(QStringLiteral("out.xlsx")));
    const QByteArray scratchDir = QFile::encodeName(scratch.path());

    lxw_workbook_options options = {};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = const_cast<char *>(scratchDir.constData());
    options.use_zip64 = LXW_FALSE;
    lxw_workbook *book = workbook_new_opt(scratchFile.constData(), &options);
    if (!book)
        return fail(
            QStringLiteral("Cannot write %1: the workbook could not be created").arg(shown));

    lxw_format *header = workbook_add_format(book);
    format_set_bold(header);
    format_set_pattern(header, LXW_PATTERN_SOLID);
    format_set_bg_color(header, 0xC0C0C0); // Qt::lightGray

    QString problem;
    for (size_t i = 0; i < m_sheets.size() && problem.isEmpty(); ++i) {
        const Sheet &sheet = *m_sheets[i];
        const QByteArray name = sheet.name.toUtf8();
        lxw_worksheet *ws = workbook_add_worksheet(book, name.constData());
        if (!ws) {
            problem = QStringLiteral("sheet \"%1\" could not be added").arg(sheet.name);
            break;
        }
        if (static_cast<int>(i) == m_active)
            worksheet_activate(ws);
        for (auto it = sheet.widths.cbegin(); it != sheet.widths.cend(); ++it) {
            const lxw_col_t col = static_cast<lxw_col_t>(it.key() - 1);
            worksheet_set_column(ws, col, col, it.value(), nullptr);
        }
        for (const auto &entry : sheet.cells) {
            const lxw_row_t r = static_cast<lxw_row_t>(entry.first.first - 1);
            const lxw_col_t c = static_cast<lxw_col_t>(entry.first.second - 1);
            const QVariant &value = entry.second.value;
            lxw_format *format = entry.second.style == CellStyle::Header ? header : nullptr;
            lxw_error error = LXW_NO_ERROR;
            if (value.userType() == QMetaType::Bool) {
                error = worksheet_write_boolean(ws, r, c, value.toBool() ? 1 : 0, format);
            } else if (isNumber(value) && std::isfinite(value.toDouble()) &&
                       (value.userType() == QMetaType::Double ||
                        value.userType() == QMetaType::Float ||
                        std::fabs(value.toDouble()) <= MaxExactInteger)) {
                error = worksheet_write_number(ws, r, c, value.toDouble(), format);
            } else {
                const QString text = protectEscapes(value.toString());
                if (text.isEmpty()) {
                    error = worksheet_write_blank(ws, r, c, format);
                } else {
                    const QByteArray utf8 = text.toUtf8();
                    error = worksheet_write_string(ws, r, c, utf8.constData(), format);
                }
            }
            if (error != LXW_NO_ERROR) {
                problem = QStringLiteral("cell (%1, %2) on sheet \"%3\": %4")
                              .arg(entry.first.first)
                              .arg(entry.first.second)
                              .arg(sheet.name, lxwMessage(error));
                break;
            }
        }
    }

    // workbook_close() also frees the workbook, so it must run on every path.
    const lxw_error closed = workbook_close(book);
    if (!problem.isEmpty())
        return fail(QStringLiteral("Cannot write %1: %2").arg(shown, problem));
    if (closed != LXW_NO_ERROR)
        return fail(QStringLiteral("Cannot write %1: %2").arg(shown, lxwMessage(closed)));

    QFile produced(scratch.filePath(QStringLiteral("out.xlsx")));
    if (!produced.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot write %1: %2").arg(shown, produced.errorString()));
    while (!produced.atEnd()) {
        const QByteArray chunk = produced.read(1 << 20);
        if (chunk.isEmpty() && produced.error() != QFileDevice::NoError)
            return fail(QStringLiteral("Cannot write %1: %2").arg(shown, produced.errorString()));
        if (out.write(chunk) != chunk.size())
            return fail(QStringLiteral("Cannot write %1: %2").arg(shown, out.errorString()));
    }
    if (!out.commit())
        return fail(QStringLiteral("Cannot write %1: %2").arg(shown, out.errorString()));
    m_error.clear();
    return true;
}
