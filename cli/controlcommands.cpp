#include "controlcommands.h"

#include "clisupport.h"
#include "commandlinetool.h"
#include "controlobjectclient.h"
#include "iedaddress.h"
#include "iedconnection.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace {

const QString Name = QStringLiteral("operate");

// Prints one step and its outcome; true when it went through. A step that
// did not (refused, a negative or unknown termination, none in time) goes to
// the error stream whole, ending with the command's failure, so that neither
// stream shows an "OK" of a command that failed.
bool printStep(QTextStream &out, QTextStream &err, const ControlObjectClient &control,
               const QString &step, bool written)
{
    const bool positive = written && control.succeeded();
    QTextStream &stream = positive ? out : err;
    stream << step << ": "
           << (positive  ? QStringLiteral("OK")
               : written ? QStringLiteral("written, but the command failed")
                         : QStringLiteral("refused, ") + iedClientErrorName(control.lastError()));
    const QString applError = control.lastApplErrorText();
    const QString termination = control.terminationText();
    if (!applError.isEmpty() && termination.isEmpty())
        stream << "; " << applError;
    stream << '\n';
    for (const QString &ignored : control.ignoredTerminations())
        stream << ignored << '\n';
    if (!termination.isEmpty()) {
        stream << termination;
        if (!applError.isEmpty())
            stream << ": " << applError;
        stream << '\n';
    }
    if (!positive) {
        stream << CommandLineTool::programName() << ": " << Name << ": " << control.reference()
               << ": " << step.section(QLatin1Char(' '), 0, 0) << " failed: "
               << (!termination.isEmpty() && written
                       ? termination
                       : QStringLiteral("refused, ") + iedClientErrorName(control.lastError()))
               << '\n';
    }
    out.flush();
    err.flush();
    return positive;
}

// Why the control model could not be read: an object that exists without a
// ctlModel or an Oper is no control object, which the bare error hides.
QString loadFailure(IedConnection &connection, const QString &reference, IedClientError error)
{
    if (error == IedClientError::ObjectDoesNotExist) {
        IedClientError lookup = IedClientError::Ok;
        const QStringList attributes = connection.dataDirectory(reference, &lookup);
        if (lookup == IedClientError::Ok && !attributes.isEmpty())
            return QStringLiteral("%1 is no control object (it has no ctlModel and Oper)")
                .arg(reference);
    }
    return QStringLiteral("cannot read the control model of %1: %2")
        .arg(reference, iedClientErrorName(error));
}

bool parseOrigin(const QString &text, ControlOrigin *origin)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    bool ok = false;
    origin->category = text.left(colon).toInt(&ok);
    origin->identity = colon < 0 ? QByteArray() : text.mid(colon + 1).toUtf8();
    return ok && origin->category >= 0 && origin->category <= 8 && origin->identity.size() <= 64;
}

} // namespace

QString ControlCommands::operateSynopsis()
{
    return QStringLiteral("HOST[:PORT] REF VALUE [--select] [--test] [--check synchro,interlock] "
                          "[--origin CAT:IDENT] [--cancel] [--timeout MS]");
}

QString ControlCommands::operateDescription()
{
    return QStringLiteral(
        "Sends a command to control object REF (LD/LN.DO) of a live IED by its control model, "
        "read first: a select where the model needs one (reading SBO, or writing SBOw with "
        "VALUE), then the operate, and for enhanced security the wait for the "
        "CommandTermination. --select stops after the select, --cancel cancels it instead of "
        "operating. VALUE: true/false or on/off, or a number. Origin category 3 (remote "
        "control) and identity \"stationscope\" unless --origin. Prints each step with its "
        "outcome and any AddCause in words; a refusal, a negative or unknown outcome and a "
        "missing CommandTermination go to the error stream. Exit code 0 on a positive outcome, "
        "1 otherwise.");
}

int ControlCommands::operate(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption selectOption(QStringLiteral("select"),
                                          QStringLiteral("Only select; no operate."));
    const QCommandLineOption cancelOption(QStringLiteral("cancel"),
                                          QStringLiteral("Select, then cancel; no operate."));
    const QCommandLineOption testOption(QStringLiteral("test"),
                                        QStringLiteral("Send the command with Test set."));
    const QCommandLineOption checkOption(QStringLiteral("check"),
                                         QStringLiteral("Checks asked for: synchro, interlock."),
                                         QStringLiteral("LIST"));
    const QCommandLineOption originOption(
        QStringLiteral("origin"),
        QStringLiteral("Originator category and identity (3:stationscope)."),
        QStringLiteral("CAT:IDENT"));
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"),
        QStringLiteral("Connect, request and CommandTermination time-out in milliseconds "
                       "(default 10000, 5000 and 10000)."),
        QStringLiteral("MS"));
    parser.addOptions(
        {selectOption, cancelOption, testOption, checkOption, originOption, timeoutOption});
    int exitCode = CommandLineTool::Success;
    if (!parseSubcommand(
            parser, {CommandLineTool::programName(), Name, operateSynopsis(), operateDescription()},
            arguments, 3, out, err, &exitCode))
        return exitCode;
    const QStringList positional = parser.positionalArguments();
    QString host;
    int port = 0;
    if (!splitIedAddress(positional.at(0), &host, &port))
        return printUsageError(
            err, QStringLiteral("operate: \"%1\" is no HOST[:PORT]").arg(positional.at(0)));
    if (parser.isSet(selectOption) && parser.isSet(cancelOption))
        return printUsageError(err,
                               QStringLiteral("operate: --select and --cancel exclude each other"));
    ControlOrigin origin;
    if (parser.isSet(originOption) && !parseOrigin(parser.value(originOption), &origin))
        return printUsageError(
            err, QStringLiteral("operate: --origin takes CAT:IDENT, a category 0 to 8"));
    bool synchro = false;
    bool interlock = false;
    for (const QString &word :
         parser.value(checkOption).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (word.trimmed() == QLatin1String("synchro"))
            synchro = true;
        else if (word.trimmed() == QLatin1String("interlock"))
            interlock = true;
        else
            return printUsageError(err,
                                   QStringLiteral("operate: --check takes synchro and interlock"));
    }
    IedConnection connection;
    if (parser.isSet(timeoutOption)) {
        const int timeout = parser.value(timeoutOption).toInt();
        if (timeout <= 0)
            return printUsageError(err, QStringLiteral("operate: --timeout takes milliseconds"));
        connection.setConnectTimeout(timeout);
        connection.setRequestTimeout(timeout);
    }

    const IedClientError connected = connection.connect(host, quint16(port));
    if (connected != IedClientError::Ok) {
        err << CommandLineTool::programName() << ": cannot connect to " << host << " port " << port
            << ": " << iedClientErrorName(connected) << '\n';
        return CommandLineTool::Failure;
    }
    ControlObjectClient control(connection, positional.at(1));
    if (parser.isSet(timeoutOption))
        control.setTerminationTimeout(connection.requestTimeout());
    const IedClientError loaded = control.load();
    if (loaded != IedClientError::Ok) {
        err << CommandLineTool::programName() << ": " << Name << ": "
            << loadFailure(connection, positional.at(1), loaded) << '\n';
        connection.close();
        return CommandLineTool::Failure;
    }
    const ControlModel model = control.controlModel();
    out << control.reference() << ": ctlModel " << int(model) << " ("
        << ControlModels::name(int(model)) << ")";
    if (model == ControlModel::StatusOnly) {
        out << '\n';
        out.flush();
        err << CommandLineTool::programName() << ": " << Name << ": " << control.reference()
            << ": ctlModel 0 (" << ControlModels::name(0) << "), no commands\n";
        err.flush();
        connection.close();
        return CommandLineTool::Failure;
    }
    out << ", ctlVal " << ControlValues::kind(control.ctlValType()) << '\n';
    const MmsValue value = ControlValues::fromText(control.ctlValType(), positional.at(2));
    if (value.isNull()) {
        // The object decides what VALUE must be: a device's answer, not a usage error.
        err << CommandLineTool::programName() << ": " << Name << ": \"" << positional.at(2)
            << "\" is no " << ControlValues::kind(control.ctlValType()) << " value\n";
        connection.close();
        return CommandLineTool::Failure;
    }
    control.setOrigin(origin);
    control.setTestMode(parser.isSet(testOption));
    control.setSynchroCheck(synchro);
    control.setInterlockCheck(interlock);

    bool positive = true;
    if ((parser.isSet(selectOption) || parser.isSet(cancelOption)) &&
        !ControlModels::isSelectBeforeOperate(model)) {
        err << CommandLineTool::programName() << ": " << Name << ": "
            << ControlModels::name(int(model)) << " has no select\n";
        positive = false;
    } else if (model == ControlModel::SboNormal) {
        const bool selected = control.select();
        positive = printStep(out, err, control, QStringLiteral("select (read SBO)"), selected);
    } else if (model == ControlModel::SboEnhanced) {
        const bool selected = control.selectWithValue(value);
        positive = printStep(
            out, err, control,
            QStringLiteral("select with value (write SBOw, ctlNum %1)").arg(control.ctlNum()),
            selected);
    }
    if (positive && parser.isSet(cancelOption)) {
        const bool cancelled = control.cancel();
        positive = printStep(out, err, control, QStringLiteral("cancel (write Cancel)"), cancelled);
    } else if (positive && !parser.isSet(selectOption)) {
        const bool operated = control.operate(value);
        positive = printStep(out, err, control,
                             QStringLiteral("operate (write Oper, ctlNum %1, Test %2)")
                                 .arg(control.ctlNum())
                                 .arg(parser.isSet(testOption) ? "on" : "off"),
                             operated);
    }
    connection.close();
    return positive ? CommandLineTool::Success : CommandLineTool::Failure;
}
