#include "sclparser.h"

#include "scldataobjectspass.h"
#include "scldatasetspass.h"
#include "sclelements.h"
#include "sclmodel.h"
#include "sclparsefeedback.h"
#include "sclparseobserver.h"
#include "sclreportspass.h"

#include <QDebug>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTime>

SclParser::SclParser(SclParseObserver *observer, QObject *parent)
    : QObject(parent), observer(observer)
{
}

SclParser::~SclParser() = default;

QStringList SclParser::loadIedNames(const QString &fileName)
{
    // A large file takes a while: keep the window responsive.
    SclParseFeedback feedback(observer);
    if (observer) {
        document.setProgressFunction(
            [&feedback](qint64 done, qint64 total) { feedback.reportFileProgress(done, total); });
    }
    const bool loaded = document.load(fileName);
    document.setProgressFunction(nullptr);
    if (!loaded)
        return {};
    return document.iedNames();
}

SclConnectionInfo SclParser::connectionInfo() const
{
    return SclConnectionInfo{port, ipAddress};
}

void SclParser::debugTimeLine(const char *text) const
{
    qDebug().noquote() << text << QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
}

bool SclParser::parse(const QString &iedName, QStandardItemModel *model)
{
    if (!model)
        return false;
    this->model = model;
    ctlModels.clear();
    dataObjectsIed = nullptr;

    projectRoot = nodes.createItem(iedName, QString(), false, QString());
    connectionRoot = nodes.createItem(tr("Connection"), QString(), false, QString());
    dataObjectsRoot = nodes.createItem(SclBranch::DataObjects, QString(), false, QString());
    dataSetsRoot = nodes.createItem(SclBranch::DataSets, QString(), false, QString());
    reportsRoot = nodes.createItem(SclBranch::Reports, QString(), false, QString());
    model->appendRow(projectRoot);
    projectRoot->insertRow(projectRoot->rowCount(), connectionRoot);
    projectRoot->appendRow(dataObjectsRoot);
    projectRoot->appendRow(dataSetsRoot);
    projectRoot->appendRow(reportsRoot);
    model->setHorizontalHeaderLabels({QStringLiteral("Item"), QStringLiteral("Value")});
    model->setColumnCount(2);

    SclParseFeedback feedback(observer);
    if (observer) {
        document.setProgressFunction(
            [&feedback](qint64 done, qint64 total) { feedback.reportFileProgress(done, total); });
    }
    iedDocument = document.loadIed(iedName);
    document.setProgressFunction(nullptr);
    iedElement = iedDocument.documentElement().firstChildElement();

    parseDevices(iedName);

    debugTimeLine("Parsing dataobject started at :");
    feedback.appendLog(QStringLiteral("parse_dataobject"));
    SclDataObjectsPass dataObjects(document.types(), nodes, feedback, ctlModels);
    const bool ok = dataObjects.parseDataObjects(iedElement, lnRecords, &dataObjectsIed) == 0;
    if (ok) {
        // Marked before the branch enters the model: one insertion, no
        // change signals.
        SclDataObjectsPass::applyCtlModels(ctlModels);
        dataObjectsRoot->appendRow(dataObjectsIed);

        debugTimeLine("Parsing datasets started at :");
        feedback.appendLog(QStringLiteral("parse_datasets"));
        SclDataSetsPass dataSets(nodes, feedback, dataObjectsIed);
        dataSets.parseDataSets(iedElement, iedName, dataSetsRoot);

        debugTimeLine("Parsing reports started at :");
        feedback.appendLog(QStringLiteral("parse_reports"));
        SclReportsPass reports(nodes, feedback);
        reports.parseReports(iedElement, iedName, reportsRoot, &reportSettings);

        debugTimeLine("Parsing NamePltconfigrev started at :");
        parseNamePlate();

        debugTimeLine("Parsing ipsettings started at :");
        parseConnection(iedName);
    }

    // The IED's element is needed for this run only.
    iedElement = QDomElement();
    iedDocument = QDomDocument();
    return ok;
}

int SclParser::parseDevices(const QString &iedName)
{
    if (observer)
        observer->parseLogged(QStringLiteral("\n\nparse_devices"));
    lnRecords.clear();
    if (iedElement.isNull())
        return 0;
    for (const QDomElement &lDevice :
         SclElements::descendants(iedElement, QStringLiteral("LDevice"))) {
        const QString ldInst = lDevice.attribute(QStringLiteral("inst"));
        for (const QDomElement &ln : SclElements::logicalNodes(lDevice)) {
            lnRecords.append(LnRecord{iedName, ldInst, ln.attribute(QStringLiteral("lnClass")),
                                      ln.attribute(QStringLiteral("lnType")),
                                      ln.attribute(QStringLiteral("inst")),
                                      ln.attribute(QStringLiteral("prefix"))});
        }
    }
    return lnRecords.size();
}

void SclParser::parseNamePlate()
{
    if (iedElement.isNull())
        return;
    for (const QDomElement &lDevice :
         SclElements::descendants(iedElement, QStringLiteral("LDevice"))) {
        const QDomElement ln0 = lDevice.firstChildElement(QStringLiteral("LN0"));
        if (ln0.isNull())
            continue;
        for (const QDomElement &doi : SclElements::descendants(ln0, QStringLiteral("DOI"))) {
            if (doi.attribute(QStringLiteral("name")) != QLatin1String("NamPlt"))
                continue;
            for (const QDomElement &dai : SclElements::descendants(doi, QStringLiteral("DAI"))) {
                if (dai.attribute(QStringLiteral("name")) != QLatin1String("configRev"))
                    continue;
                const QVector<QDomElement> values =
                    SclElements::descendants(dai, QStringLiteral("Val"));
                if (!values.isEmpty()) {
                    namePlateConfigRev = values.first().text();
                    return;
                }
            }
        }
    }
}

void SclParser::parseConnection(const QString &iedName)
{
    if (observer)
        observer->parseLogged(QStringLiteral("\n\nparse_ipsettings"));
    // Without a ConnectedAP (most ICD and many CID files) the rows are still
    // made, so that the engineer can enter the address.
    port = QStringLiteral("102");
    if (const QVector<SclAddressParameter> *parameters = document.accessPoint(iedName)) {
        for (const SclAddressParameter &p : *parameters) {
            if (p.type == QLatin1String("IP")) {
                ipAddress = p.text;
                if (observer)
                    observer->parseLogged(QStringLiteral("Ip Adress:") + ipAddress);
            }
            if (p.type.contains(QLatin1String("Port"))) {
                port = p.text;
                if (observer)
                    observer->parseLogged(QStringLiteral("Port:") + port);
            }
        }
    }

    struct Row
    {
        QString label;
        QString icon;
        QString value;
        QString editor;
    };
    const QString none = QStringLiteral("-");
    const Row rows[] = {
        {tr("Id"), SclIcon::Settings, QStringLiteral("0"), QString()},
        {tr("IED Name"), SclIcon::Settings, iedName, QString()},
        {tr("Ip Address"), SclIcon::IpAddress, ipAddress, QString()},
        {tr("Port"), SclIcon::Port, port, QString()},
        {tr("Interface"), SclIcon::Settings, QStringLiteral("0"), QString()},
        {tr("ConnectEnbl Signal"), SclIcon::Settings, none, EditorKind::SignalSelect},
        {tr("DevStatus Signal"), SclIcon::Settings, none, EditorKind::SignalSelect},
        {tr("NamPlt.configRev"), SclIcon::Settings, namePlateConfigRev, QString()},
        {tr("NamPlt.check "), SclIcon::Settings, none, QString()},
        {tr("ReportSets"), SclIcon::Settings, QString::number(reportSettings),
         EditorKind::ReportSettingsDialog},
        {tr("CtlTestFlag Signal"), SclIcon::Settings, none, EditorKind::SignalSelect},
        {tr("CtlSyncCheck Signal"), SclIcon::Settings, none, EditorKind::SignalSelect},
        {tr("CtlInterlockCheck Signal"), SclIcon::Settings, none, EditorKind::SignalSelect},
        {tr("ControlOrginatorCategory"), SclIcon::Settings, QStringLiteral("3"), QString()},
        {tr("ControlOriginatorIdentification"), SclIcon::Settings, QStringLiteral("KEL"),
         QString()},
        {tr("TimeSyncIndication Signal"), SclIcon::Settings, none, EditorKind::SignalSelect},
    };
    for (const Row &row : rows) {
        connectionRoot->appendRow({nodes.createItem(row.label, row.icon, false, QString()),
                                   nodes.createItem(row.value, QString(), true, row.editor)});
    }
}
