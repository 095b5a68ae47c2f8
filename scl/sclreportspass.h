#ifndef STATIONSCOPE_SCLREPORTSPASS_H
#define STATIONSCOPE_SCLREPORTSPASS_H

// Builds the Reports branch of one IED: its report control blocks with their
// configuration, and the IED's report settings.

#include "sclrecords.h"

#include <QDomElement>
#include <QString>

class QStandardItem;
class SclNodeFactory;
class SclParseFeedback;

class SclReportsPass
{
public:
    SclReportsPass(SclNodeFactory &nodes, SclParseFeedback &feedback);

    // The IED's report settings mask goes to *reportSettings.
    int parseReports(const QDomElement &ied, const QString &iedName, QStandardItem *reportsRoot,
                     int *reportSettings);

    static ReportControlRecord readReportControl(QStandardItem *node,
                                                 const QDomElement &reportControl,
                                                 const QString &lnReference);
    // 1 bufTime, 2 trgOps, 4 intgPd, 8 optFields: each when it is "Dyn".
    static int reportSettingsMask(const QDomElement &reportSettings);

private:
    SclNodeFactory &nodes;
    SclParseFeedback &feedback;
};

#endif
