#include "sclgenerator.h"

#include <QFile>
#include <QStringList>
#include <QXmlStreamWriter>

#include <initializer_list>
#include <utility>

namespace {

using Attributes = std::initializer_list<std::pair<const char *, QString>>;

class Writer
{
public:
    Writer(QIODevice *device, const SclGeneratorOptions &options) : xml(device), options(options)
    {
        xml.setAutoFormatting(true);
        xml.setAutoFormattingIndent(2);
    }

    void document()
    {
        xml.writeStartDocument();
        open("SCL", {{"xmlns", "http://www.iec.ch/61850/2003/SCL"},
                     {"version", "2007"},
                     {"revision", "B"},
                     {"release", "4"}});
        empty("Header", {{"id", "Benchmark"}, {"version", "1"}, {"revision", "1"}});
        communication();
        for (int i = 0; i < options.iedCount; ++i)
            ied(i);
        templates();
        xml.writeEndElement();
        xml.writeEndDocument();
    }

private:
    void open(const char *tag, Attributes attributes = {})
    {
        xml.writeStartElement(QLatin1String(tag));
        for (const auto &a : attributes)
            xml.writeAttribute(QLatin1String(a.first), a.second);
    }
    void close() { xml.writeEndElement(); }
    void empty(const char *tag, Attributes attributes = {})
    {
        xml.writeEmptyElement(QLatin1String(tag));
        for (const auto &a : attributes)
            xml.writeAttribute(QLatin1String(a.first), a.second);
    }
    void text(const char *tag, Attributes attributes, const QString &value)
    {
        open(tag, attributes);
        xml.writeCharacters(value);
        close();
    }
    void p(const char *type, const QString &value) { text("P", {{"type", type}}, value); }

    static QString family(int ied, int families) { return QString::number(ied % families); }
    QString typeId(const char *name, int ied) const
    {
        return QStringLiteral("F%1_%2").arg(family(ied, options.templateFamilies), name);
    }

    void communication()
    {
        open("Communication");
        open("SubNetwork", {{"name", "StationBus"}, {"type", "8-MMS"}});
        text("BitRate", {{"unit", "b/s"}, {"multiplier", "M"}}, "100");
        for (int i = 0; i < options.iedCount; ++i) {
            open("ConnectedAP", {{"iedName", SclGenerator::iedName(i)}, {"apName", "S1"}});
            open("Address");
            p("OSI-AP-Title", "1,3,9999,33");
            p("OSI-AE-Qualifier", "33");
            p("OSI-PSEL", "00000001");
            p("OSI-SSEL", "0001");
            p("OSI-TSEL", "0001");
            p("IP", QStringLiteral("10.%1.%2.%3").arg(i / 65536).arg(i / 256 % 256).arg(i % 256));
            p("IP-SUBNET", "255.0.0.0");
            p("IP-GATEWAY", "10.0.0.1");
            close();
            for (const char *ld : {"CTRL", "PROT"}) {
                open("GSE", {{"ldInst", ld}, {"cbName", "GoCB1"}});
                open("Address");
                p("MAC-Address", QStringLiteral("01-0C-CD-01-%1-%2")
                                     .arg(i / 256, 2, 16, QLatin1Char('0'))
                                     .arg(i % 256, 2, 16, QLatin1Char('0'))
                                     .toUpper());
                p("APPID", QString::number(0x1000 + i, 16));
                p("VLAN-ID", "00A");
                p("VLAN-PRIORITY", "4");
                close();
                text("MinTime", {{"unit", "s"}, {"multiplier", "m"}}, "4");
                text("MaxTime", {{"unit", "s"}, {"multiplier", "m"}}, "2000");
                close();
            }
            open("PhysConn", {{"type", "Connection"}});
            p("Type", "FOC");
            p("Plug", "LC");
            close();
            close();
        }
        close();
        close();
    }

    void dai(const char *name, const QString &value)
    {
        open("DAI", {{"name", name}});
        text("Val", {}, value);
        close();
    }

    void ied(int index)
    {
        const QString name = SclGenerator::iedName(index);
        open("IED", {{"name", name},
                     {"type", QStringLiteral("Relay%1").arg(index % options.templateFamilies)},
                     {"manufacturer", "Bench"},
                     {"configVersion", "1.0"}});
        open("Services");
        for (const char *service : {"DynAssociation", "GetDirectory", "GetDataObjectDefinition",
                                    "DataSetDirectory", "ReadWrite"})
            empty(service);
        empty("ConfDataSet", {{"max", "20"}, {"maxAttributes", "100"}});
        empty("ConfReportControl", {{"max", "20"}});
        empty("ReportSettings", {{"cbName", "Conf"},
                                 {"datSet", "Conf"},
                                 {"rptID", "Dyn"},
                                 {"optFields", "Dyn"},
                                 {"bufTime", "Dyn"},
                                 {"trgOps", "Dyn"},
                                 {"intgPd", "Dyn"}});
        empty("GOOSE", {{"max", "4"}});
        close();
        open("AccessPoint", {{"name", "S1"}});
        open("Server");
        empty("Authentication");
        lDevice(index, "LD0", {}, 0);
        lDevice(index, "CTRL", {"CSWI", "XCBR", "GGIO"}, blocksOf(0));
        lDevice(index, "PROT", {"PTOC", "PTOC"}, blocksOf(1));
        lDevice(index, "MEAS", {"MMXU", "MHAI"}, blocksOf(2));
        close();
        close();
        close();
    }

    // The report control blocks of the device'th of the three devices with data sets.
    int blocksOf(int device) const
    {
        return options.reportControls / 3 + (device < options.reportControls % 3 ? 1 : 0);
    }

    void lDevice(int ied, const char *inst, std::initializer_list<const char *> classes, int blocks)
    {
        open("LDevice", {{"inst", inst}, {"desc", QStringLiteral("Logical device %1").arg(inst)}});
        open("LN0", {{"lnClass", "LLN0"}, {"inst", ""}, {"lnType", typeId("LLN0", ied)}});
        QStringList members;
        int lnIndex = 0;
        for (const char *lnClass : classes) {
            for (int i = 1; i <= options.lnInstances; ++i, ++lnIndex)
                members << QStringLiteral("%1|%2").arg(lnClass).arg(lnIndex + 1);
        }
        if (!members.isEmpty()) {
            dataSet("StatusDS", members, ied, inst, false);
            dataSet("MeasDS", members, ied, inst, true);
            reportControl("urcbStatus", "StatusDS", false, ied, inst);
            reportControl("brcbStatus", "StatusDS", true, ied, inst);
            reportControl("urcbMeas", "MeasDS", false, ied, inst);
            // More blocks on the data set whose members the device has,
            // unbuffered and buffered in turn: urcbStatus4, brcbStatus5 ...
            const bool measurements = qstrcmp(inst, "MEAS") == 0;
            for (int block = 3; block < blocks; ++block) {
                const QByteArray name = QByteArray(block % 2 ? "brcb" : "urcb") +
                                        (measurements ? "Meas" : "Status") +
                                        QByteArray::number(block + 1);
                reportControl(name.constData(), measurements ? "MeasDS" : "StatusDS", block % 2,
                              ied, inst);
            }
            if (options.vendorReportBlocks > 0) {
                const QString name = QStringLiteral("%1%2$%3")
                                         .arg(members.first().section('|', 0, 0))
                                         .arg(1)
                                         .arg(measurements ? "MX" : "ST");
                dataSet(name, members, ied, inst, measurements);
                for (int block = 1; block <= options.vendorReportBlocks; ++block)
                    reportControl(QStringLiteral("urcbVendor%1").arg(block), name, false, ied, inst,
                                  false);
            }
        }
        const bool measuring = qstrcmp(inst, "MEAS") == 0;
        for (int block = 1; block <= options.smallReportBlocks && !members.isEmpty(); ++block) {
            const QByteArray dataSetName = QByteArray("SmallDS") + QByteArray::number(block);
            const QByteArray blockName = QByteArray("brcbSmall") + QByteArray::number(block);
            dataSet(dataSetName.constData(), members.mid((block - 1) * 2 % members.size(), 2), ied,
                    inst, measuring);
            reportControl(blockName.constData(), dataSetName.constData(), true, ied, inst);
        }
        open("DOI", {{"name", "Mod"}});
        dai("ctlModel", "status-only");
        close();
        open("DOI", {{"name", "NamPlt"}});
        dai("vendor", "Bench");
        dai("swRev", "1.0");
        dai("configRev", QStringLiteral("Rev.%1").arg(ied));
        close();
        close();
        empty("LN", {{"lnClass", "LPHD"}, {"inst", "1"}, {"lnType", typeId("LPHD", ied)}});
        lnIndex = 0;
        for (const char *lnClass : classes) {
            for (int i = 1; i <= options.lnInstances; ++i, ++lnIndex)
                logicalNode(ied, lnClass, lnIndex + 1);
        }
        close();
    }

    void dataSet(const QString &name, const QStringList &members, int, const char *ldInst,
                 bool measurements)
    {
        open("DataSet", {{"name", name}});
        for (const QString &member : members) {
            const QString lnClass = member.section('|', 0, 0);
            const QString inst = member.section('|', 1, 1);
            Attributes base{
                {"ldInst", ldInst}, {"prefix", ""}, {"lnClass", lnClass}, {"lnInst", inst}};
            auto fcda = [&](const char *doName, const char *daName, const char *fc) {
                xml.writeEmptyElement(QStringLiteral("FCDA"));
                for (const auto &a : base)
                    xml.writeAttribute(QLatin1String(a.first), a.second);
                xml.writeAttribute(QStringLiteral("doName"), QLatin1String(doName));
                if (daName)
                    xml.writeAttribute(QStringLiteral("daName"), QLatin1String(daName));
                xml.writeAttribute(QStringLiteral("fc"), QLatin1String(fc));
            };
            if (!measurements) {
                if (lnClass == "CSWI" || lnClass == "XCBR") {
                    fcda("Pos", "stVal", "ST");
                    fcda("Pos", "q", "ST");
                    fcda("Pos", nullptr, "ST");
                } else if (lnClass == "GGIO") {
                    fcda("Ind1", nullptr, "ST");
                    fcda("Ind2", "stVal", "ST");
                } else if (lnClass == "PTOC") {
                    fcda("Str", nullptr, "ST");
                    fcda("Op", "general", "ST");
                }
            } else if (lnClass == "MMXU") {
                fcda("TotW", nullptr, "MX");
                fcda("PhV.phsA", nullptr, "MX");
                fcda("A.phsB", "cVal.mag.f", "MX");
            } else if (lnClass == "MHAI") {
                fcda("HA", nullptr, "MX");
            }
        }
        close();
    }

    void reportControl(const QString &name, const QString &dataSet, bool buffered, int ied,
                       const char *ldInst, bool rptEnabled = true)
    {
        open("ReportControl",
             {{"name", name},
              {"rptID",
               QStringLiteral("%1%2/LLN0$%3").arg(SclGenerator::iedName(ied), ldInst, name)},
              {"datSet", dataSet},
              {"confRev", "1"},
              {"buffered", buffered ? "true" : "false"},
              {"bufTime", "100"},
              {"intgPd", "60000"}});
        empty("TrgOps", {{"dchg", "true"}, {"qchg", "true"}, {"period", "true"}, {"gi", "true"}});
        empty("OptFields", {{"seqNum", "true"},
                            {"timeStamp", "true"},
                            {"dataSet", "true"},
                            {"reasonCode", "true"},
                            {"entryID", buffered ? "true" : "false"},
                            {"configRef", "true"}});
        if (rptEnabled)
            empty("RptEnabled", {{"max", "5"}});
        close();
    }

    void logicalNode(int ied, const char *lnClass, int inst)
    {
        const QString cls = QLatin1String(lnClass);
        open("LN", {{"lnClass", cls},
                    {"inst", QString::number(inst)},
                    {"lnType", typeId(lnClass, ied)},
                    {"desc", QStringLiteral("%1 %2").arg(cls).arg(inst)}});
        open("DOI", {{"name", "Beh"}});
        dai("d", QStringLiteral("Behaviour of %1%2").arg(cls).arg(inst));
        close();
        if (cls == "CSWI" || cls == "XCBR") {
            open("DOI", {{"name", "Pos"}});
            open("SDI", {{"name", "pulseConfig"}});
            dai("onDur", "100");
            close();
            dai("ctlModel",
                inst % 2 ? "sbo-with-enhanced-security" : "direct-with-normal-security");
            dai("sboTimeout", "30000");
            close();
        } else if (cls == "GGIO") {
            for (int i = 1; i <= 4; ++i) {
                open("DOI", {{"name", QStringLiteral("SPCSO%1").arg(i)}});
                dai("ctlModel", "direct-with-normal-security");
                close();
            }
        } else if (cls == "MMXU") {
            open("DOI", {{"name", "TotW"}});
            open("SDI", {{"name", "units"}});
            dai("SIUnit", "W");
            dai("multiplier", "M");
            close();
            open("SDI", {{"name", "sVC"}});
            dai("scaleFactor", "0.001");
            dai("offset", "0");
            close();
            close();
        } else if (cls == "PTOC") {
            open("DOI", {{"name", "StrVal"}});
            open("SDI", {{"name", "setMag"}});
            dai("f", "1.2");
            close();
            close();
        }
        close();
    }

    // Type templates.
    void da(const char *name, const char *bType, const char *fc, const QString &type = QString(),
            const char *count = nullptr)
    {
        xml.writeEmptyElement(QStringLiteral("DA"));
        xml.writeAttribute(QStringLiteral("name"), QLatin1String(name));
        xml.writeAttribute(QStringLiteral("bType"), QLatin1String(bType));
        if (!type.isEmpty())
            xml.writeAttribute(QStringLiteral("type"), type);
        if (count)
            xml.writeAttribute(QStringLiteral("count"), QLatin1String(count));
        xml.writeAttribute(QStringLiteral("fc"), QLatin1String(fc));
        if (QLatin1String(fc) == QLatin1String("ST") || QLatin1String(fc) == QLatin1String("MX"))
            xml.writeAttribute(QStringLiteral("dchg"), QStringLiteral("true"));
    }
    void bda(const char *name, const char *bType, const QString &type = QString())
    {
        xml.writeEmptyElement(QStringLiteral("BDA"));
        xml.writeAttribute(QStringLiteral("name"), QLatin1String(name));
        xml.writeAttribute(QStringLiteral("bType"), QLatin1String(bType));
        if (!type.isEmpty())
            xml.writeAttribute(QStringLiteral("type"), type);
    }
    void doElement(const char *name, const QString &type, const char *tag = "DO")
    {
        empty(tag, {{"name", name}, {"type", type}});
    }

    void templates()
    {
        open("DataTypeTemplates");
        for (int f = 0; f < options.templateFamilies; ++f)
            lnodeTypes(f);
        for (int f = 0; f < options.templateFamilies; ++f)
            doTypes(f);
        for (int f = 0; f < options.templateFamilies; ++f)
            daTypes(f);
        for (int f = 0; f < options.templateFamilies; ++f)
            enumTypes(f);
        close();
    }

    void lnodeTypes(int f)
    {
        auto t = [&](const char *name) {
            return typeId(name, f);
        };
        open("LNodeType", {{"id", t("LLN0")}, {"lnClass", "LLN0"}});
        doElement("Mod", t("INC_Mod"));
        doElement("Beh", t("ENS_Beh"));
        doElement("Health", t("ENS_Beh"));
        doElement("NamPlt", t("LPL"));
        close();
        open("LNodeType", {{"id", t("LPHD")}, {"lnClass", "LPHD"}});
        doElement("PhyNam", t("DPL"));
        doElement("PhyHealth", t("ENS_Beh"));
        doElement("Proxy", t("SPS"));
        close();
        open("LNodeType", {{"id", t("CSWI")}, {"lnClass", "CSWI"}});
        doElement("Beh", t("ENS_Beh"));
        doElement("Pos", t("DPC"));
        close();
        open("LNodeType", {{"id", t("XCBR")}, {"lnClass", "XCBR"}});
        doElement("Beh", t("ENS_Beh"));
        doElement("Loc", t("SPS"));
        doElement("OpCnt", t("INS"));
        doElement("Pos", t("DPC"));
        doElement("BlkOpn", t("SPC"));
        doElement("BlkCls", t("SPC"));
        close();
        open("LNodeType", {{"id", t("GGIO")}, {"lnClass", "GGIO"}});
        doElement("Beh", t("ENS_Beh"));
        for (const char *ind : {"Ind1", "Ind2", "Ind3", "Ind4", "Ind5", "Ind6", "Ind7", "Ind8"})
            doElement(ind, t("SPS"));
        for (const char *spc : {"SPCSO1", "SPCSO2", "SPCSO3", "SPCSO4"})
            doElement(spc, t("SPC"));
        close();
        open("LNodeType", {{"id", t("PTOC")}, {"lnClass", "PTOC"}});
        doElement("Beh", t("ENS_Beh"));
        doElement("Str", t("ACD"));
        doElement("Op", t("ACT"));
        doElement("StrVal", t("ASG"));
        doElement("OpDlTmms", t("ING"));
        close();
        open("LNodeType", {{"id", t("MMXU")}, {"lnClass", "MMXU"}});
        doElement("Beh", t("ENS_Beh"));
        doElement("TotW", t("MV"));
        doElement("TotVAr", t("MV"));
        doElement("Hz", t("MV"));
        doElement("PPV", t("DEL"));
        doElement("PhV", t("WYE"));
        doElement("A", t("WYE"));
        close();
        open("LNodeType", {{"id", t("MHAI")}, {"lnClass", "MHAI"}});
        doElement("Beh", t("ENS_Beh"));
        doElement("HA", t("HWYE"));
        close();
    }

    void doTypes(int f)
    {
        auto t = [&](const char *name) {
            return typeId(name, f);
        };
        open("DOType", {{"id", t("ENS_Beh")}, {"cdc", "ENS"}});
        da("stVal", "Enum", "ST", t("Beh"));
        da("q", "Quality", "ST");
        da("t", "Timestamp", "ST");
        da("d", "VisString255", "DC");
        close();
        open("DOType", {{"id", t("INC_Mod")}, {"cdc", "INC"}});
        da("origin", "Struct", "ST", t("Originator"));
        da("stVal", "Enum", "ST", t("Beh"));
        da("q", "Quality", "ST");
        da("t", "Timestamp", "ST");
        da("ctlModel", "Enum", "CF", t("CtlModels"));
        close();
        open("DOType", {{"id", t("LPL")}, {"cdc", "LPL"}});
        for (const char *name : {"vendor", "swRev", "d", "configRev"})
            da(name, "VisString255", "DC");
        da("ldNs", "VisString255", "EX");
        close();
        open("DOType", {{"id", t("DPL")}, {"cdc", "DPL"}});
        for (const char *name : {"vendor", "hwRev", "swRev", "serNum", "model"})
            da(name, "VisString255", "DC");
        close();
        open("DOType", {{"id", t("SPS")}, {"cdc", "SPS"}});
        da("stVal", "BOOLEAN", "ST");
        da("q", "Quality", "ST");
        da("t", "Timestamp", "ST");
        da("d", "VisString255", "DC");
        close();
        open("DOType", {{"id", t("INS")}, {"cdc", "INS"}});
        da("stVal", "INT32", "ST");
        da("q", "Quality", "ST");
        da("t", "Timestamp", "ST");
        close();
        for (const char *cdc : {"SPC", "DPC"}) {
            const bool dpc = QLatin1String(cdc) == QLatin1String("DPC");
            open("DOType", {{"id", t(cdc)}, {"cdc", cdc}});
            da("origin", "Struct", "ST", t("Originator"));
            da("ctlNum", "INT8U", "ST");
            da("stVal", dpc ? "Dbpos" : "BOOLEAN", "ST");
            da("q", "Quality", "ST");
            da("t", "Timestamp", "ST");
            da("stSeld", "BOOLEAN", "ST");
            da("SBOw", "Struct", "CO", t(dpc ? "DPCOperate" : "SPCOperate"));
            da("Oper", "Struct", "CO", t(dpc ? "DPCOperate" : "SPCOperate"));
            da("Cancel", "Struct", "CO", t(dpc ? "DPCCancel" : "SPCCancel"));
            da("pulseConfig", "Struct", "CF", t("PulseConfig"));
            da("ctlModel", "Enum", "CF", t("CtlModels"));
            da("sboTimeout", "INT32U", "CF");
            da("d", "VisString255", "DC");
            close();
        }
        open("DOType", {{"id", t("MV")}, {"cdc", "MV"}});
        da("mag", "Struct", "MX", t("AnalogueValue"));
        da("q", "Quality", "MX");
        da("t", "Timestamp", "MX");
        da("units", "Struct", "CF", t("Unit"));
        da("sVC", "Struct", "CF", t("ScaledValueConfig"));
        da("rangeC", "Struct", "CF", t("RangeConfig"));
        da("d", "VisString255", "DC");
        close();
        open("DOType", {{"id", t("CMV")}, {"cdc", "CMV"}});
        da("cVal", "Struct", "MX", t("Vector"));
        da("q", "Quality", "MX");
        da("t", "Timestamp", "MX");
        da("units", "Struct", "CF", t("Unit"));
        close();
        open("DOType", {{"id", t("WYE")}, {"cdc", "WYE"}});
        for (const char *sdo : {"phsA", "phsB", "phsC", "neut"})
            doElement(sdo, t("CMV"), "SDO");
        da("d", "VisString255", "DC");
        close();
        open("DOType", {{"id", t("DEL")}, {"cdc", "DEL"}});
        for (const char *sdo : {"phsAB", "phsBC", "phsCA"})
            doElement(sdo, t("CMV"), "SDO");
        close();
        open("DOType", {{"id", t("HWYE")}, {"cdc", "HWYE"}});
        da("phsAHar", "Struct", "MX", t("Vector"), "16");
        da("numHar", "INT16U", "CF");
        da("numCyc", "INT16U", "CF");
        da("evalTm", "INT16U", "CF");
        da("frequency", "FLOAT32", "CF");
        close();
        open("DOType", {{"id", t("ACD")}, {"cdc", "ACD"}});
        da("general", "BOOLEAN", "ST");
        da("dirGeneral", "Enum", "ST", t("Dir"));
        for (const char *phase : {"phsA", "phsB", "phsC", "neut"})
            da(phase, "BOOLEAN", "ST");
        da("q", "Quality", "ST");
        da("t", "Timestamp", "ST");
        close();
        open("DOType", {{"id", t("ACT")}, {"cdc", "ACT"}});
        da("general", "BOOLEAN", "ST");
        for (const char *phase : {"phsA", "phsB", "phsC"})
            da(phase, "BOOLEAN", "ST");
        da("q", "Quality", "ST");
        da("t", "Timestamp", "ST");
        close();
        open("DOType", {{"id", t("ASG")}, {"cdc", "ASG"}});
        da("setMag", "Struct", "SP", t("AnalogueValue"));
        da("units", "Struct", "CF", t("Unit"));
        close();
        open("DOType", {{"id", t("ING")}, {"cdc", "ING"}});
        da("setVal", "INT32", "SP");
        da("minVal", "INT32", "CF");
        da("maxVal", "INT32", "CF");
        close();
    }

    void daTypes(int f)
    {
        auto t = [&](const char *name) {
            return typeId(name, f);
        };
        open("DAType", {{"id", t("AnalogueValue")}});
        bda("f", "FLOAT32");
        bda("i", "INT32");
        close();
        open("DAType", {{"id", t("Vector")}});
        bda("mag", "Struct", t("AnalogueValue"));
        bda("ang", "Struct", t("AnalogueValue"));
        close();
        open("DAType", {{"id", t("Originator")}});
        bda("orCat", "Enum", t("OrCat"));
        bda("orIdent", "Octet64");
        close();
        for (const char *kind : {"SPC", "DPC"}) {
            for (const char *what : {"Operate", "Cancel"}) {
                open("DAType", {{"id", t(QStringLiteral("%1%2").arg(kind, what).toLatin1())}});
                bda("ctlVal", "BOOLEAN");
                bda("origin", "Struct", t("Originator"));
                bda("ctlNum", "INT8U");
                bda("T", "Timestamp");
                bda("Test", "BOOLEAN");
                if (QLatin1String(what) == QLatin1String("Operate"))
                    bda("Check", "Check");
                close();
            }
        }
        open("DAType", {{"id", t("PulseConfig")}});
        bda("cmdQual", "Enum", t("CmdQual"));
        bda("onDur", "INT32U");
        bda("offDur", "INT32U");
        bda("numPls", "INT32U");
        close();
        open("DAType", {{"id", t("Unit")}});
        bda("SIUnit", "Enum", t("SIUnit"));
        bda("multiplier", "Enum", t("Multiplier"));
        close();
        open("DAType", {{"id", t("ScaledValueConfig")}});
        bda("scaleFactor", "FLOAT32");
        bda("offset", "FLOAT32");
        close();
        open("DAType", {{"id", t("RangeConfig")}});
        for (const char *limit : {"hhLim", "hLim", "lLim", "llLim", "min", "max"})
            bda(limit, "Struct", t("AnalogueValue"));
        close();
    }

    void enumTypes(int f)
    {
        auto t = [&](const char *name) {
            return typeId(name, f);
        };
        auto enumType = [&](const char *name, std::initializer_list<const char *> values) {
            open("EnumType", {{"id", t(name)}});
            int ord = 0;
            for (const char *value : values)
                text("EnumVal", {{"ord", QString::number(ord++)}}, QLatin1String(value));
            close();
        };
        enumType("Beh", {"", "on", "blocked", "test", "test/blocked", "off"});
        enumType("CtlModels",
                 {"status-only", "direct-with-normal-security", "sbo-with-normal-security",
                  "direct-with-enhanced-security", "sbo-with-enhanced-security"});
        enumType("OrCat", {"not-supported", "bay-control", "station-control", "remote-control",
                           "automatic-bay", "automatic-station", "automatic-remote", "maintenance",
                           "process"});
        enumType("CmdQual", {"pulse", "persistent"});
        enumType("Dir", {"unknown", "forward", "backward", "both"});
        enumType("SIUnit", {"",    "m",  "kg", "s",  "A",  "K",  "mol", "cd", "deg", "rad",
                            "sr",  "Gy", "Bq", "°C", "Sv", "F",  "C",   "S",  "H",   "V",
                            "ohm", "J",  "N",  "Hz", "lx", "Lm", "Wb",  "T",  "W",   "Pa"});
        enumType("Multiplier", {"y",  "z", "a", "f", "p", "n", "µ", "m", "c", "d", "",
                                "da", "h", "k", "M", "G", "T", "P", "E", "Z", "Y"});
    }

    QXmlStreamWriter xml;
    const SclGeneratorOptions &options;
};

} // namespace

QString SclGenerator::iedName(int index)
{
    return QStringLiteral("IED%1").arg(index + 1, 4, 10, QLatin1Char('0'));
}

bool SclGenerator::write(const QString &fileName, const SclGeneratorOptions &options)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    Writer(&file, options).document();
    return file.error() == QFileDevice::NoError;
}
