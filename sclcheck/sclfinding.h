#ifndef STATIONSCOPE_SCLFINDING_H
#define STATIONSCOPE_SCLFINDING_H

// One thing of an SCL file that breaks or misleads the client (RTU) side of an
// integration, with where it is and what it does to the client.

#include <QString>
#include <QStringList>
#include <QVector>

enum class SclSeverity { Error, Warning, Info };

struct SclFinding
{
    SclSeverity severity = SclSeverity::Error;
    // The IED the finding belongs to; empty for the file, the templates and
    // the communication section as a whole.
    QString ied;
    // The element: an object reference ("IEDLD/LN.DO.da"), a control block
    // ("IEDLD/LLN0.brcbA"), a template id or an IED/access point pair.
    QString reference;
    qint64 line = 0; // 0: the file as a whole
    QString text;
};

Q_DECLARE_TYPEINFO(SclFinding, Q_MOVABLE_TYPE);

using SclFindings = QVector<SclFinding>;

struct SclSeverityCounts
{
    int errors = 0;
    int warnings = 0;
    int infos = 0;
};

QString sclSeverityText(SclSeverity severity);
SclSeverityCounts countSeverities(const SclFindings &findings);
// "error line 12: IED1LD0/LLN0.rcb: text"
QString sclFindingLine(const SclFinding &finding);
// The CSV header and a finding as CSV fields (comma separated, quoted when needed).
QString sclFindingCsvHeader();
QString sclFindingCsvLine(const SclFinding &finding);
QString csvField(const QString &text);

#endif
