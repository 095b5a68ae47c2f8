#ifndef STATIONSCOPE_SCLPARSER_H
#define STATIONSCOPE_SCLPARSER_H

// Reads one IED of an SCL file into the SCL model: its connection settings,
// logical devices and nodes, data objects, data sets and report control blocks.

#include "scldocumentloader.h"
#include "sclnodefactory.h"
#include "sclrecords.h"

#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QStandardItem;
class SclParseObserver;
class QStandardItemModel;

class SclParser : public QObject
{
    Q_OBJECT

public:
    // The observer, when given, must outlive the parser; it is told on the
    // thread that parses.
    explicit SclParser(SclParseObserver *observer = nullptr, QObject *parent = nullptr);
    ~SclParser() override;

    // Names of the file's IEDs in document order; empty when the file cannot
    // be read or is not well-formed XML. Must precede parse().
    QStringList loadIedNames(const QString &fileName);
    // Why the file could not be read, with the line where there is one.
    QString loadError() const { return document.errorString(); }
    QString documentElementName() const { return document.documentElementName(); }
    // Appends the project root of iedName to model. False when the IED has no
    // logical node (or is not in the file).
    bool parse(const QString &iedName, QStandardItemModel *model);
    SclConnectionInfo connectionInfo() const;

    const QList<LnRecord> &logicalNodeRecords() const { return lnRecords; }
    const QList<CtlModelRecord> &ctlModelRecords() const { return ctlModels; }
    QString namePlateRevision() const { return namePlateConfigRev; }
    int reportSettingsMask() const { return reportSettings; }

private:
    int parseDevices(const QString &iedName);
    void parseNamePlate();
    void parseConnection(const QString &iedName);
    void debugTimeLine(const char *text) const;

    QString port;
    QString ipAddress;
    QString namePlateConfigRev;
    int reportSettings = 0;
    QList<LnRecord> lnRecords;
    QStandardItemModel *model = nullptr;
    QStandardItem *projectRoot = nullptr;
    QStandardItem *connectionRoot = nullptr;
    QStandardItem *dataObjectsRoot = nullptr;
    QStandardItem *dataSetsRoot = nullptr;
    QStandardItem *reportsRoot = nullptr;
    // The file of the last loadIedNames with its type templates and access
    // points; parse() reads the chosen IED's element again for its run.
    SclDocumentLoader document;
    QDomDocument iedDocument;
    QDomElement iedElement;
    SclParseObserver *observer;
    QStandardItem *dataObjectsIed = nullptr;
    QList<CtlModelRecord> ctlModels;
    SclNodeFactory nodes;
};

#endif
