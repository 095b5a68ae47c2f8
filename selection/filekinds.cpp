#include "filekinds.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("FileKinds", text);
}
} // namespace

QString FileKinds::sclFiles()
{
    return tr("IEC61850 Conf files (*.scd *.cid *.icd *.iid *.sed *.ssd *.scl *.xml);;"
              "All files (*)");
}

QString FileKinds::projectFiles()
{
    return tr("SCL Project files (*.sclpro)");
}

QString FileKinds::workbooks()
{
    return tr("Excel Files (*.xlsx)");
}

QString FileKinds::csvFiles()
{
    return tr("CSV files (*.csv)");
}

QStringList FileKinds::patterns(const QString &filter)
{
    // The file dialog takes the parenthesised list only when it closes the
    // entry; otherwise the whole entry is read as patterns.
    static const QRegularExpression entry(QStringLiteral("^(.*)\\(([^()]*)\\)$"));
    QStringList found;
    for (const QString &part : filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = entry.match(part.trimmed());
        const QString list = match.hasMatch() ? match.captured(2) : part;
        found += list.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return found;
}
