#ifndef STATIONSCOPE_REPORTPICKS_H
#define STATIONSCOPE_REPORTPICKS_H

// What live work needs of the project's picks: the settings of each picked
// report and the RTU/PLC signal bound to each data set member. The window's
// Read Rapor and the command line's watch read them alike.

#include <QString>
#include <QVector>

class QStandardItem;
class SelectedReportsModel;

struct PickedReport
{
    QString reference; // as picked: the block, or the base name of an indexed one
    int instances = 0; // > 0: indexed, instances name01 ... nameNN
    // The settings to write; -1 where the cell holds no number.
    int trgOps = -1;
    int optFlds = -1;
    qint64 intgPd = -1;
    qint64 bufTm = -1;
    bool gi = false;     // general interrogation is one of the trigger options
    QString dataSet;     // the picked data set reference, as the cell holds it
    qint64 confRev = -1; // expected revision when the pick checks it
};

QVector<PickedReport> pickedReports(const SelectedReportsModel &reports);

// A selection cell's text; "-" and "NoRef" stand for nothing.
QString pickCellText(const QStandardItem *row, int column);

// The signal bound to a data set member: its own result signal, or else
// "mag.f=AI_1 q=AI_1Q" for attributes bound one by one; empty when none is.
QString boundSignalText(const QStandardItem *member);

#endif
