#ifndef STATIONSCOPE_COMMISSIONINGPLAN_H
#define STATIONSCOPE_COMMISSIONINGPLAN_H

// The points a commissioning test goes through: every binding of a project's
// selections to a signal of its signal list.

#include "commissioningpoint.h"

class QStandardItemModel;
class SelectedDatasetsModel;
class SelectedObjectsModel;
class SelectedReportsModel;

class CommissioningPlan
{
public:
    // The project's picks as the window or ProjectDocument holds them. Order:
    // data objects in selection order (one point per bound signal column),
    // then data set members in selection order; stable for the same picks.
    static CommissioningPoints fromProject(const SelectedObjectsModel &objects,
                                           const SelectedDatasetsModel &datasets,
                                           const SelectedReportsModel &reports,
                                           const QStandardItemModel &signalList);
};

#endif
