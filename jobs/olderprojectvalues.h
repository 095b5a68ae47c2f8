#ifndef STATIONSCOPE_OLDERPROJECTVALUES_H
#define STATIONSCOPE_OLDERPROJECTVALUES_H

// Values that project files of older versions did not store for the data set
// and report nodes of their SCL model, derived from what those files do hold.
// A value that cannot be derived stays unset: unknown, never guessed.

class Iec61850DbManager;
class QStandardItem;

// bType, MMS type and control model of data set members that have none, from
// the node of the DataObjects branch each member copies.
void deriveMemberTypes(const QStandardItem *dataObjects, QStandardItem *dataSets);
// Indexing and instance count of report control blocks that have none, from
// the project's own pick of the block.
void deriveReportIndexing(QStandardItem *reports, Iec61850DbManager *db);
// The instance count of report control blocks stored as none: a block the
// device has is one instance at least.
void deriveReportInstances(QStandardItem *reports);
// MMS types of data objects, sub data objects and structures (and of the
// elements of arrays of a basic type) that have none or an array's, from their
// place in the tree: an array when their children are "[0]", "[1]" ..., else a
// structure.
void deriveStructureTypes(QStandardItem *branch);
// The same for the MMS type cells of selection rows in column, where older
// versions stored none or the code of an array.
void deriveStructureTypeCells(QStandardItem *selectionRoot, int column);

#endif
