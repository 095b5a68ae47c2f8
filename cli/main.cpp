#include "commandlinetool.h"
#include "interruptcleanup.h"
#include "terminaloutput.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace {

bool verbose = false;

// The libraries narrate their work for the program's debug output; on the
// command line only the command's own lines belong on the streams.
void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (!verbose && (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg))
        return;
    std::fprintf(stderr, "%s\n", TerminalOutput::escaped(message.toUtf8(), false).constData());
}

} // namespace

int main(int argc, char *argv[])
{
    // No display needed: widgets the libraries create stay off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    InterruptCleanup::install();
    QApplication application(argc, argv);
    QApplication::setApplicationName(CommandLineTool::programName());

    QStringList arguments = QApplication::arguments().mid(1);
    verbose = arguments.removeAll(QStringLiteral("--verbose")) > 0;

    TerminalOutput standardOutput(stdout, TerminalOutput::EscapeCarriageReturn);
    TerminalOutput standardError(stderr, TerminalOutput::KeepCarriageReturn);
    QTextStream out(&standardOutput);
    QTextStream err(&standardError);
    out.setCodec("UTF-8");
    err.setCodec("UTF-8");
    CommandLineTool tool(out, err);
    tool.setProgressShown(isatty(STDERR_FILENO) == 1);
    return tool.run(arguments);
}
