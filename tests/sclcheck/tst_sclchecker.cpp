#include "checkcommand.h"
#include "sclchecker.h"
#include "testpaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

// The check of one SCL file: a clean base file, each kind of finding made by
// one small change of it, the sample files, and the command's exit codes.
class TestSclChecker : public QObject
{
    Q_OBJECT

private slots:
    void baseFileIsClean();
    void findings_data();
    void findings();
    void sampleFiles_data();
    void sampleFiles();
    void commandExitCodes_data();
    void commandExitCodes();

private:
    static QByteArray base();
    QString write(const QByteArray &content);
    QTemporaryDir dir;
    int written = 0;
};

QByteArray TestSclChecker::base()
{
    QFile file(QStringLiteral(STATIONSCOPE_SCLCHECK_FIXTURES "/base.scd"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TestSclChecker::write(const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("check%1.scd").arg(++written));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

void TestSclChecker::baseFileIsClean()
{
    const SclCheckResult result = SclChecker().check(write(base()));
    QVERIFY(result.readable);
    QCOMPARE(result.iedNames, QStringList({"IED1", "IED2"}));
    QCOMPARE(result.findings.size(), 0);
    // Templates are looked for from the end of the file: commented-out ones are no templates.
    QByteArray commented = base();
    commented.replace("</DataTypeTemplates>\n</SCL>",
                      "</DataTypeTemplates>\n<!-- <DataTypeTemplates/> -->\n</SCL>");
    QCOMPARE(SclChecker().check(write(commented)).findings.size(), 0);
}

void TestSclChecker::findings_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const char *from, const char *to, const char *line) {
        QTest::newRow(name) << QByteArray(from) << QByteArray(to) << QString::fromUtf8(line);
    };
    row("report data set missing", "datSet=\"DS1\" confRev=\"1\" buffered=\"true\"",
        "datSet=\"DS9\" confRev=\"1\" buffered=\"true\"",
        "error line 30: IED1LD0/LLN0.brcb: report control block names data set \"DS9\", which LLN0 "
        "does not have: the client gets no values from it");
    row("GOOSE data set missing", "name=\"gcb\" datSet=\"DS1\"", "name=\"gcb\" datSet=\"Gone\"",
        "error line 41: IED1LD0/LLN0.gcb: GOOSE control block names data set \"Gone\", which LLN0 "
        "does not have: the client gets no values from it");
    row("member without logical node", "lnClass=\"GGIO\" lnInst=\"1\" doName=\"Ind1\"",
        "lnClass=\"GGIO\" lnInst=\"2\" doName=\"Ind1\"",
        "error line 26: IED1LD0/LLN0.DS1: member LD0/GGIO2.Ind1 [ST] names a logical node the IED "
        "does not have: the data set cannot be read or reported");
    row("member data object unknown", "doName=\"Ind1\" fc=\"ST\"", "doName=\"Ind9\" fc=\"ST\"",
        "error line 26: IED1LD0/LLN0.DS1: member LD0/GGIO1.Ind9 [ST]: data object \"Ind9\" is not "
        "in type \"GGIO_T\": the data set cannot be read or reported");
    row("member attribute unknown", "doName=\"Health\" daName=\"stVal\"",
        "doName=\"Health\" daName=\"stValue\"",
        "error line 28: IED1LD0/LLN0.DS1: member LD0/LLN0.Health.stValue [ST]: \"stValue\" is not "
        "in the data object's type: the data set cannot be read or reported");
    row("member constraint wrong", "daName=\"stVal\" fc=\"ST\"", "daName=\"stVal\" fc=\"MX\"",
        "error line 28: IED1LD0/LLN0.DS1: member LD0/LLN0.Health.stVal [MX]: \"stVal\" has no "
        "attribute of constraint MX: the data set cannot be read or reported");
    row("member data object without constraint", "doName=\"Ind1\" fc=\"ST\"",
        "doName=\"Ind1\" fc=\"CF\"",
        "error line 26: IED1LD0/LLN0.DS1: member LD0/GGIO1.Ind1 [CF]: data object \"Ind1\" has no "
        "attribute of constraint CF: the data set cannot be read or reported");
    row("duplicate member", "lnClass=\"CSWI\" lnInst=\"1\" doName=\"Pos\" fc=\"ST\"",
        "lnClass=\"GGIO\" lnInst=\"1\" doName=\"Ind1\" fc=\"ST\"",
        "warning line 27: IED1LD0/LLN0.DS1: member LD0/GGIO1.Ind1 [ST] is listed twice: the client "
        "maps two positions to one value");
    row("mixed constraints", "doName=\"Pos\" fc=\"ST\"",
        "doName=\"Pos\" daName=\"ctlModel\" fc=\"CF\"",
        "warning line 30: IED1LD0/LLN0.brcb: data set DS1 mixes constraints ST, CF: members other "
        "than ST and MX change only by configuration, so no data or quality change reports them");
    row("lnType unknown", "lnType=\"GGIO_T\"/>", "lnType=\"GGIO_X\"/>",
        "error line 58: IED1LD0/GGIO1: lnType \"GGIO_X\" names no LNodeType: the client knows none "
        "of the logical node's data objects");
    row("DO type unknown", "<DO name=\"Ind1\" type=\"SPS_T\"/>",
        "<DO name=\"Ind1\" type=\"SPS_X\"/>",
        "error line 80: LNodeType GGIO_T.Ind1: DO type \"SPS_X\" names no DOType: the data object "
        "has no attributes the client could read");
    row("Struct type unknown", "type=\"Oper_T\" fc=\"CO\"", "type=\"Oper_X\" fc=\"CO\"",
        "error line 97: DOType DPC_T.Oper: type \"Oper_X\" names no DAType: the structure's "
        "members are unknown to the client");
    row("Enum type unknown", "type=\"OrCat_E\"/>", "type=\"OrCat_X\"/>",
        "error line 100: DAType Originator_T.orCat: type \"OrCat_X\" names no EnumType: the client "
        "cannot tell what the values mean");
    row("template id twice", "<DOType id=\"ENS_T\"", "<DOType id=\"SPS_T\"",
        "error line 87: DOType SPS_T: the id is defined twice: instances may get a type other than "
        "the one their vendor meant, and the client reads a different structure");
    row("data object twice", "<DO name=\"Health\" type=\"ENS_T\"/>",
        "<DO name=\"Health\" type=\"ENS_T\"/><DO name=\"Health\" type=\"ENS_T\"/>",
        "error line 74: LNodeType LLN0_T.Health: the name is used twice in the type: the client "
        "resolves only one of them");
    row("DAI not in type", "<DAI name=\"sboTimeout\">", "<DAI name=\"sboTimeOut\">",
        "error line 53: IED1LD0/CSWI1.Pos.sboTimeOut: \"sboTimeOut\" is not in the type \"DPC_T\": "
        "the value configured here does not exist in the IED's model");
    row("DOI not in type", "<DOI name=\"Health\">", "<DOI name=\"Beh\">",
        "error line 42: IED1LD0/LLN0.Beh: \"Beh\" is not in the type \"LLN0_T\": the value "
        "configured here does not exist in the IED's model");
    row("enumeration value unknown", "<Val>Ok</Val>", "<Val>Fine</Val>",
        "error line 43: IED1LD0/LLN0.Health.stVal: value \"Fine\" is not in EnumType \"Health_E\": "
        "the IED's value cannot be configured and the client cannot show it");
    row("no address for server",
        "<ConnectedAP iedName=\"IED2\" apName=\"S1\">\n        <Address>\n          <P "
        "type=\"IP\">10.0.0.2</P>\n        </Address>\n      </ConnectedAP>",
        "",
        "error line 59: IED2/S1: access point with a server but no IP address in the Communication "
        "section: the client has no address to connect to");
    row("IP twice on subnetwork", "10.0.0.2", "10.0.0.1",
        "error line 15: IED2/S1: IP 10.0.0.1 is also the address of IED1/S1 on subnetwork Bus: the "
        "client reaches one of them only");
    row("IP malformed", "10.0.0.2", "10.0.0.256",
        "error line 15: IED2/S1: IP \"10.0.0.256\" is no IP address: the client cannot connect");
    row("subnet mask malformed", "255.255.255.0", "255.255.0",
        "warning line 9: IED1/S1: IP-SUBNET \"255.255.0\" is no IP address: the network settings "
        "taken from the file are wrong");
    row("port malformed", "<P type=\"MMS-Port\">102</P>", "<P type=\"MMS-Port\">70000</P>",
        "error line 10: IED1/S1: MMS-Port \"70000\" is no TCP port: the client cannot connect");
    row("ConnectedAP of unknown IED", "iedName=\"IED2\" apName=\"S1\"",
        "iedName=\"IED3\" apName=\"S1\"",
        "warning line 13: IED3/S1: ConnectedAP names IED \"IED3\", which the file does not have: "
        "the address belongs to no device");
    row("ConnectedAP of unknown access point", "iedName=\"IED2\" apName=\"S1\"",
        "iedName=\"IED2\" apName=\"S2\"",
        "error line 13: IED2/S2: ConnectedAP names access point \"S2\", which the IED does not "
        "have: the client finds no address for the IED");
    row("more clients than instances", "<RptEnabled max=\"2\">", "<RptEnabled max=\"0\">",
        "error line 30: IED1LD0/LLN0.brcb: 1 clients are named for 0 instances (RptEnabled max): "
        "the clients beyond the instances get no reports");
    row("shared RptID", "rptID=\"IED1/U\"", "rptID=\"IED1/B\"",
        "warning line 37: IED1LD0/LLN0.urcb: RptID \"IED1/B\" is also the RptID of brcb: the "
        "client cannot tell their reports apart");
    row("confRev 0", "datSet=\"DS1\" confRev=\"1\" buffered=\"false\"",
        "datSet=\"DS1\" confRev=\"0\" buffered=\"false\"",
        "warning line 37: IED1LD0/LLN0.urcb: confRev 0: a client cannot detect a change of the "
        "data set behind the block");
    row("integrity period 0", "intgPd=\"1000\"", "intgPd=\"0\"",
        "warning line 30: IED1LD0/LLN0.brcb: integrity triggering with intgPd 0: the IED sends no "
        "integrity reports unless the client writes a period");
    row("report beyond PDU size", "<BDA name=\"orIdent\" bType=\"Octet64\"/>",
        "<BDA name=\"orIdent\" bType=\"Octet64\" count=\"1000\"/>",
        "warning line 30: IED1LD0/LLN0.brcb: a full report of data set DS1 takes about 66348 "
        "octets, more than an MMS PDU of 65000: the IED must segment it, and a client that does "
        "not reassemble segments loses the report");
    row("controllable without ctlModel",
        "<DAI name=\"ctlModel\">\n                <Val>sbo-with-normal-security</Val>\n            "
        "  </DAI>",
        "",
        "warning line 49: IED1LD0/CSWI1.Pos: controllable (Oper) without ctlModel: the RTU cannot "
        "tell whether to select before operate");
    row("SBO without sboTimeout",
        "<DAI name=\"sboTimeout\">\n                <Val>30000</Val>\n              </DAI>", "",
        "warning line 49: IED1LD0/CSWI1.Pos: sbo-with-normal-security without sboTimeout: the RTU "
        "does not know how long a selection holds before the operate must follow");
    row("ctlModel outside enumeration", "sbo-with-normal-security</Val>", "sbo-always</Val>",
        "error line 49: IED1LD0/CSWI1.Pos: ctlModel \"sbo-always\" is outside its enumeration: the "
        "RTU cannot choose a control sequence the IED accepts");
    row("not well-formed",
        "</LDevice>\n      </Server>\n    </AccessPoint>\n  </IED>\n  <IED name=\"IED2\">",
        "</LDevice>\n      </Server>\n  </IED>\n  <IED name=\"IED2\">",
        "error line 61: not well-formed at column 8 (Opening and ending tag mismatch): nothing "
        "after it was checked, and tools that read the whole file refuse it");
    row("bytes not UTF-8", "<Header id=\"check-base\"/>",
        "<Header id=\"check-base\" toolID=\"Gr\xe9"
        "\"/>",
        "error line 3: the bytes are not UTF-8 as the file declares: names and texts from here on "
        "may reach the client garbled");
    row("declared Latin-1, bytes UTF-8", "encoding=\"UTF-8\"?>",
        "encoding=\"ISO-8859-1\"?><!-- Gr\xc3"
        "\xbc"
        " -->",
        "warning line 1: the file declares ISO-8859-1 but its bytes read as UTF-8: non-ASCII names "
        "and texts reach the client garbled");
    row("unknown namespace", "61850/2003/SCL", "61850/2003/SCX",
        "error line 2: SCL: unknown SCL namespace \"http://www.iec.ch/61850/2003/SCX\": tools that "
        "validate the file refuse it");
    row("IED name twice", "<IED name=\"IED2\">", "<IED name=\"IED1\">",
        "error line 63: IED1: a second IED of this name (the first at line 20): the client cannot "
        "tell which one a reference means");
}

void TestSclChecker::findings()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QString, expected);
    QByteArray content = base();
    const int at = content.indexOf(from);
    QVERIFY(at >= 0);
    content.replace(at, from.size(), to);
    const SclCheckResult result = SclChecker().check(write(content));
    QVERIFY(result.readable);
    QStringList lines;
    for (const SclFinding &finding : result.findings)
        lines.append(sclFindingLine(finding));
    QVERIFY2(lines.contains(expected), qPrintable(lines.join(QLatin1Char('\n'))));
}

void TestSclChecker::sampleFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("errors");
    QTest::newRow("examples/substation.scd") << sourceFile("examples/substation.scd") << 0;
    // The error counts as found: a change to one is a decision to look at.
    const QList<QPair<const char *, int>> samples{
        {"compas-sct/scd_dtt_do_sdo_da_bda.xml", 0},
        {"compas-sct/scd_with_dai_test.xml", 3},
        {"compas-sct/std_1.xml", 1},
        {"iec61850bean/iec61850bean-sample01.icd", 1},
        {"iec61850bean/testModel.icd", 0},
        {"iec61850bean/testModel2.icd", 0},
        {"libiec61850/beagle_demo.iid", 1},
        {"libiec61850/cid_example_deadband.cid", 0},
        {"libiec61850/complexModel.cid", 1},
        {"libiec61850/inverter_with_report.icd", 1},
        {"libiec61850/mhai_array.cid", 0},
        {"libiec61850/sampleModel_errors.icd", 1},
        {"libiec61850/sampleModel_with_dataset.cid", 1},
        {"libiec61850/sg_demo.cid", 4},
        {"libiec61850/simpleIO_control_tests.cid", 0},
        {"libiec61850/simpleIO_direct_control.cid", 0},
        {"libiec61850/simpleIO_direct_control_goose.scd", 0},
        {"libiec61850/simpleIO_ltrk_tests.icd", 0},
        {"libiec61850/substitution_example.cid", 0},
        {"libiec61850/sv.icd", 0},
        {"libiec61850/test.icd", 1},
        {"libiec61850/wtur.cid", 0},
        {"open-scd/Services.scd", 8},
        {"open-scd/emptyproject.scd", 0},
        {"open-scd/iedEditorWithIEDs.scd", 11},
        {"open-scd/multipleied.scd", 3},
        {"open-scd/parsererror.iid", -1},
        {"open-scd/sclbasics.scd", 3},
        {"open-scd/templates.scd", 2},
        {"open-scd/valid2003.scd", 5},
        {"open-scd/valid2007B.scd", 5},
        {"open-scd/valid2007B4.scd", 2},
    };
    for (const auto &sample : samples)
        QTest::newRow(sample.first) << QString::fromLatin1(sample.first) << sample.second;
}

void TestSclChecker::sampleFiles()
{
    QFETCH(QString, path);
    QFETCH(int, errors);
    if (QDir::isRelativePath(path)) {
        QSKIP_WITHOUT_SHARED();
        path = QDir(sharedDir()).filePath(QStringLiteral("scl-samples/") + path);
    }
    const SclCheckResult result = SclChecker().check(path);
    QCOMPARE(result.readable ? countSeverities(result.findings).errors : -1, errors);
}

void TestSclChecker::commandExitCodes_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("lastLine");
    const QByteArray clean = base();
    QByteArray broken = clean;
    broken.replace("datSet=\"DS1\" confRev=\"1\" buffered=\"true\"",
                   "datSet=\"DS9\" confRev=\"1\" buffered=\"true\"");
    QByteArray warned = clean;
    warned.replace("intgPd=\"1000\"", "intgPd=\"0\"");
    QTest::newRow("clean") << clean << QStringList() << 0 << "0 errors, 0 warnings, 0 infos";
    QTest::newRow("warning only") << warned << QStringList() << 0
                                  << "0 errors, 1 warnings, 0 infos";
    QTest::newRow("error") << broken << QStringList() << 1 << "1 errors, 0 warnings, 0 infos";
    QTest::newRow("error of another IED")
        << broken << QStringList{"--ied", "IED2"} << 0 << "0 errors, 0 warnings, 0 infos";
    QTest::newRow("csv") << broken << QStringList{"--format", "csv"} << 1
                         << "error,IED1,IED1LD0/LLN0.brcb,30,\"report control block names data "
                            "set \"\"DS9\"\", which LLN0 does not have: the client gets no values "
                            "from it\"";
    QTest::newRow("not XML") << QByteArray("hello") << QStringList() << 2 << QString();
    QTest::newRow("empty file") << QByteArray() << QStringList() << 2 << QString();
    QTest::newRow("unknown IED") << clean << QStringList{"--ied", "IED9"} << 2 << QString();
    QTest::newRow("unknown format") << clean << QStringList{"--format", "xml"} << 2 << QString();
}

void TestSclChecker::commandExitCodes()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, lastLine);
    QString output;
    QString errors;
    QTextStream out(&output);
    QTextStream err(&errors);
    QCOMPARE(CheckCommand::run(QStringList{write(content)} + options, out, err), exitCode);
    if (!lastLine.isEmpty())
        QCOMPARE(output.trimmed().split(QLatin1Char('\n')).last(), lastLine);
    else
        QVERIFY(!errors.isEmpty());
}

QTEST_GUILESS_MAIN(TestSclChecker)
#include "tst_sclchecker.moc"
