#include "sheetprint.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace SheetPrint {

namespace {

// Characters of the default font a portrait page holds between the margins below, A4 or
// Letter alike.
constexpr double PortraitPageCharacters = 90;

// Margins in inches. The binder's holes go along the sheet's long edge: the left one of a
// portrait page, the top one of a landscape page.
constexpr double BinderMargin = 1.0;
constexpr double OuterMargin = 0.5;
constexpr double PlainMargin = 0.75;
constexpr double HeaderFooterMargin = 0.3;
constexpr double LandscapeHeaderMargin = 0.55;

// Headers and footers hold at most 255 characters.
constexpr int MaxProjectBytes = 100;
constexpr int MaxIedBytes = 64;

// A text for a printed header: "&" doubled, as the codes start with it, and cut to a number
// of UTF-8 bytes without splitting a doubled "&".
QString headerText(const QString &text, int maxBytes)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    while (escaped.toUtf8().size() > maxBytes)
        escaped.chop(1);
    int ampersands = 0;
    while (ampersands < escaped.size() &&
           escaped.at(escaped.size() - 1 - ampersands) == QLatin1Char('&'))
        ++ampersands;
    if (ampersands % 2 != 0)
        escaped.chop(1);
    return escaped;
}

} // namespace

double contentWidth(const QVariant &value, bool bold)
{
    double width = 0;
    switch (static_cast<QMetaType::Type>(value.userType())) {
    case QMetaType::QDateTime: {
        const QDateTime time = value.toDateTime();
        // The shown text less the quotes around the zone.
        width = dateTimeFormat(time).size() - 2;
        break;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        width = QString::number(value.toDouble(), 'g', 10).size();
        break;
    default: {
        const QStringList lines = value.toString().split(QLatin1Char('\n'));
        for (const QString &line : lines)
            width = std::max(width, double(line.size()));
        break;
    }
    }
    return bold ? width * 1.1 + 1 : width + 1;
}

QMap<int, double> columnWidths(const QMap<int, double> &set, const SheetLayout &layout,
                               const QMap<int, double> &texts, const QMap<int, double> &unbroken)
{
    QMap<int, double> widths;
    if (layout.widthsFromContent) {
        for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
            widths[it.key()] =
                std::ceil(std::clamp(it.value(), layout.minColumnWidth, layout.maxColumnWidth));
        }
        for (auto it = unbroken.cbegin(); it != unbroken.cend(); ++it) {
            widths[it.key()] = std::min(
                255.0,
                std::ceil(std::max({widths.value(it.key()), it.value(), layout.minColumnWidth})));
        }
    }
    for (auto it = set.cbegin(); it != set.cend(); ++it)
        widths[it.key()] = it.value();
    return widths;
}

bool landscape(const SheetLayout &layout, const QMap<int, double> &widths, int lastColumn)
{
    if (layout.orientation != SheetLayout::Orientation::Automatic)
        return layout.orientation == SheetLayout::Orientation::Landscape;
    double total = 0;
    for (int column = 1; column <= lastColumn; ++column)
        total += widths.value(column, DefaultColumnWidth);
    return total > PortraitPageCharacters;
}

lxw_datetime wallClock(const QDateTime &time)
{
    const QDateTime wall = time.toUTC().addSecs(time.offsetFromUtc());
    const QDate date = wall.date();
    const QTime clock = wall.time();
    lxw_datetime result = {};
    result.year = date.year();
    result.month = date.month();
    result.day = date.day();
    result.hour = clock.hour();
    result.min = clock.minute();
    result.sec = clock.second() + clock.msec() / 1000.0;
    return result;
}

QString dateTimeFormat(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    QString zone = QStringLiteral("UTC");
    if (offset != 0) {
        const int minutes = std::abs(offset) / 60;
        zone += QStringLiteral("%1%2:%3")
                    .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                    .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                    .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
    const QString seconds =
        time.time().msec() != 0 ? QStringLiteral("ss.000") : QStringLiteral("ss");
    return QStringLiteral("yyyy-mm-dd hh:mm:%1 \"%2\"").arg(seconds, zone);
}

lxw_error apply(lxw_worksheet *sheet, const SheetLayout &layout, bool landscape, PaperSize paper,
                const Heading &heading, int lastRow, int lastColumn)
{
    if (layout.headerRows > 0 || layout.frozenColumns > 0)
        worksheet_freeze_panes(sheet, static_cast<lxw_row_t>(layout.headerRows),
                               static_cast<lxw_col_t>(layout.frozenColumns));
    if (layout.autoFilter && layout.headerRows > 0 && lastColumn > 0) {
        const lxw_row_t header = static_cast<lxw_row_t>(layout.headerRows - 1);
        const lxw_row_t last = static_cast<lxw_row_t>(std::max(lastRow, layout.headerRows) - 1);
        const lxw_error error =
            worksheet_autofilter(sheet, header, 0, last, static_cast<lxw_col_t>(lastColumn - 1));
        if (error != LXW_NO_ERROR)
            return error;
    }
    if (layout.headerRows > 0) {
        const lxw_error error =
            worksheet_repeat_rows(sheet, 0, static_cast<lxw_row_t>(layout.headerRows - 1));
        if (error != LXW_NO_ERROR)
            return error;
    }

    // Excel's paper codes: 1 Letter, 9 A4.
    worksheet_set_paper(sheet, paper == PaperSize::Letter ? 1 : 9);
    double headerMargin = HeaderFooterMargin;
    if (landscape) {
        worksheet_set_landscape(sheet);
        worksheet_set_margins(sheet, OuterMargin, OuterMargin, BinderMargin, PlainMargin);
        headerMargin = LandscapeHeaderMargin;
    } else {
        worksheet_set_portrait(sheet);
        worksheet_set_margins(sheet, BinderMargin, OuterMargin, PlainMargin, PlainMargin);
    }
    worksheet_fit_to_pages(sheet, 1, layout.onePage ? 1 : 0);
    if (layout.printGridlines)
        worksheet_gridlines(sheet, LXW_SHOW_ALL_GRIDLINES);

    QStringList named;
    if (!heading.project.isEmpty())
        named << headerText(heading.project, MaxProjectBytes);
    if (!heading.ied.isEmpty())
        named << QStringLiteral("IED ") + headerText(heading.ied, MaxIedBytes);
    const QByteArray header = (QStringLiteral("&L") + named.join(QStringLiteral(", ")) +
                               QStringLiteral("&C&A&RPrinted &D"))
                                  .toUtf8();
    const QByteArray footer = QByteArrayLiteral("&Cpage &P of &N");
    lxw_header_footer_options headerOptions = {};
    headerOptions.margin = headerMargin;
    lxw_header_footer_options footerOptions = {};
    footerOptions.margin = HeaderFooterMargin;
    lxw_error error = worksheet_set_header_opt(sheet, header.constData(), &headerOptions);
    if (error == LXW_NO_ERROR)
        error = worksheet_set_footer_opt(sheet, footer.constData(), &footerOptions);
    return error;
}

lxw_format *Formats::format(WorkbookWriter::CellStyle style, bool wrap, const QString &numberFormat)
{
    using CellStyle = WorkbookWriter::CellStyle;
    if (style == CellStyle::Plain && !wrap && numberFormat.isEmpty())
        return nullptr;
    const QString key = QStringLiteral("%1|%2|%3").arg(int(style)).arg(wrap).arg(numberFormat);
    if (lxw_format *known = made.value(key))
        return known;
    lxw_format *format = workbook_add_format(book);
    switch (style) {
    case CellStyle::Header:
        format_set_bold(format);
        format_set_pattern(format, LXW_PATTERN_SOLID);
        format_set_bg_color(format, 0xC0C0C0); // Qt::lightGray
        break;
    case CellStyle::Title:
        format_set_bold(format);
        format_set_font_size(format, 14);
        break;
    case CellStyle::SignatureLine:
        format_set_bottom(format, LXW_BORDER_THIN);
        break;
    case CellStyle::Plain:
        break;
    }
    if (wrap) {
        format_set_text_wrap(format);
        format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
    }
    if (!numberFormat.isEmpty()) {
        const QByteArray code = numberFormat.toUtf8();
        format_set_num_format(format, code.constData());
        format_set_align(format, LXW_ALIGN_LEFT);
    }
    made.insert(key, format);
    return format;
}

} // namespace SheetPrint
