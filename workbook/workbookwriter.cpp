#include "workbook.h"

#include "sheetprint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
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
    QMap<int, double> heights;
    SheetLayout layout;
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

PaperSize paperSizeFor(const QLocale &locale)
{
    if (locale.measurementSystem() == QLocale::ImperialUSSystem)
        return PaperSize::Letter;
    switch (locale.country()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Philippines:
    case QLocale::Chile:
    case QLocale::Colombia:
    case QLocale::Venezuela:
    case QLocale::PuertoRico:
        return PaperSize::Letter;
    default:
        return PaperSize::A4;
    }
}

WorkbookWriter::WorkbookWriter() : m_paper(paperSizeFor(QLocale::system())) {}
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

bool WorkbookWriter::setRowHeight(int row, double height)
{
    Sheet *sheet = current();
    if (!sheet)
        return fail(QStringLiteral("no sheet selected"));
    if (row < 1 || row > WorkbookMaxRows)
        return fail(QStringLiteral("row %1 is outside the sheet").arg(row));
    if (!(height >= 0 && height <= 409))
        return fail(QStringLiteral("row height %1 is not between 0 and 409").arg(height));
    sheet->heights[row] = height;
    return true;
}

bool WorkbookWriter::setLayout(const SheetLayout &layout)
{
    Sheet *sheet = current();
    if (!sheet)
        return fail(QStringLiteral("no sheet selected"));
    if (layout.headerRows < 0 || layout.headerRows > WorkbookMaxRows || layout.frozenColumns < 0 ||
        layout.frozenColumns > WorkbookMaxColumns)
        return fail(QStringLiteral("frozen rows or columns outside the sheet"));
    if (layout.widthsFromContent &&
        !(layout.minColumnWidth >= 0 && layout.minColumnWidth <= layout.maxColumnWidth &&
          layout.maxColumnWidth <= 255))
        return fail(QStringLiteral("column width bounds %1 to %2 are not between 0 and 255")
                        .arg(layout.minColumnWidth)
                        .arg(layout.maxColumnWidth));
    sheet->layout = layout;
    return true;
}

SheetLayout WorkbookWriter::layout() const
{
    return m_current < 0 ? SheetLayout() : m_sheets[static_cast<size_t>(m_current)]->layout;
}

void WorkbookWriter::setPrintHeading(const QString &project, const QString &ied)
{
    m_project = project;
    m_ied = ied;
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

    SheetPrint::Formats formats(book);
    const SheetPrint::Heading heading{m_project, m_ied};
    const PaperSize paper = m_paper;
    auto writeSheet = [&formats, &heading, paper](lxw_worksheet *ws, const Sheet &sheet) {
        int lastRow = 0;
        int lastColumn = 0;
        QMap<int, double> needed;
        QMap<int, double> unbroken;
        for (const auto &entry : sheet.cells) {
            lastRow = std::max(lastRow, entry.first.first);
            lastColumn = std::max(lastColumn, entry.first.second);
            if (!sheet.layout.widthsFromContent)
                continue;
            double width = SheetPrint::contentWidth(entry.second.value,
                                                    entry.second.style == CellStyle::Header);
            // Room for the filter's button beside a header.
            if (sheet.layout.autoFilter && entry.first.first == sheet.layout.headerRows)
                width += 2;
            // A title spans its row; it does not widen its column. Only texts can wrap, so a
            // number or time keeps its width beyond the layout's bound.
            if (entry.second.style == CellStyle::Title)
                continue;
            QMap<int, double> &column =
                entry.second.value.userType() == QMetaType::QString ? needed : unbroken;
            column[entry.first.second] = std::max(column.value(entry.first.second), width);
        }
        const QMap<int, double> widths =
            SheetPrint::columnWidths(sheet.widths, sheet.layout, needed, unbroken);
        for (auto it = widths.cbegin(); it != widths.cend(); ++it) {
            const lxw_col_t col = static_cast<lxw_col_t>(it.key() - 1);
            worksheet_set_column(ws, col, col, it.value(), nullptr);
        }
        for (auto it = sheet.heights.cbegin(); it != sheet.heights.cend(); ++it)
            worksheet_set_row(ws, static_cast<lxw_row_t>(it.key() - 1), it.value(), nullptr);

        for (const auto &entry : sheet.cells) {
            const lxw_row_t r = static_cast<lxw_row_t>(entry.first.first - 1);
            const lxw_col_t c = static_cast<lxw_col_t>(entry.first.second - 1);
            const QVariant &value = entry.second.value;
            const CellStyle style = entry.second.style;
            // Text longer than the width its column got wraps within it.
            const bool wrap =
                sheet.layout.widthsFromContent && style != CellStyle::Title &&
                value.userType() == QMetaType::QString &&
                needed.value(entry.first.second) > widths.value(entry.first.second) + 0.5 &&
                SheetPrint::contentWidth(value, style == CellStyle::Header) >
                    widths.value(entry.first.second) + 0.5;
            lxw_error error = LXW_NO_ERROR;
            if (value.userType() == QMetaType::Bool) {
                error = worksheet_write_boolean(ws, r, c, value.toBool() ? 1 : 0,
                                                formats.format(style, false, QString()));
            } else if (value.userType() == QMetaType::QDateTime && value.toDateTime().isValid()) {
                const QDateTime time = value.toDateTime();
                lxw_datetime wall = SheetPrint::wallClock(time);
                error = worksheet_write_datetime(
                    ws, r, c, &wall,
                    formats.format(style, false, SheetPrint::dateTimeFormat(time)));
            } else if (isNumber(value) && std::isfinite(value.toDouble()) &&
                       (value.userType() == QMetaType::Double ||
                        value.userType() == QMetaType::Float ||
                        std::fabs(value.toDouble()) <= MaxExactInteger)) {
                error = worksheet_write_number(ws, r, c, value.toDouble(),
                                               formats.format(style, false, QString()));
            } else {
                const QString text = value.userType() == QMetaType::QDateTime
                                         ? QString()
                                         : protectEscapes(value.toString());
                lxw_format *format = formats.format(style, wrap, QString());
                if (text.isEmpty()) {
                    error = worksheet_write_blank(ws, r, c, format);
                } else {
                    const QByteArray utf8 = text.toUtf8();
                    error = worksheet_write_string(ws, r, c, utf8.constData(), format);
                }
            }
            if (error != LXW_NO_ERROR) {
                return QStringLiteral("cell (%1, %2) on sheet \"%3\": %4")
                    .arg(entry.first.first)
                    .arg(entry.first.second)
                    .arg(sheet.name, lxwMessage(error));
            }
        }
        const lxw_error error = SheetPrint::apply(
            ws, sheet.layout, SheetPrint::landscape(sheet.layout, widths, lastColumn), paper,
            heading, lastRow, lastColumn);
        if (error != LXW_NO_ERROR)
            return QStringLiteral("page setup of sheet \"%1\": %2")
                .arg(sheet.name, lxwMessage(error));
        return QString();
    };

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
        problem = writeSheet(ws, sheet);
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
