// Time and peak memory of listing the IEDs of a large SCL file and parsing one
// of them, against one plain XML stream pass over the same file. Each phase
// runs in a child process of its own, so that its peak memory is its own.

#include "scldocumentloader.h"
#include "sclgenerator.h"
#include "sclparser.h"

#include <QCoreApplication>
#include <QDir>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardItemModel>
#include <QTextStream>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

QTextStream out(stdout);

long peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

int countItems(const QStandardItem *item)
{
    int count = 1;
    for (int row = 0; row < item->rowCount(); ++row)
        count += countItems(item->child(row));
    return count;
}

// Runs one phase in this process and prints "<ms> <peak kB> <detail>".
int runPhase(const QString &phase, const QString &file, const QString &ied)
{
    QElapsedTimer timer;
    QString detail;
    if (phase == QLatin1String("baseline")) {
        timer.start();
    } else if (phase == QLatin1String("plain")) {
        timer.start();
        QFile input(file);
        if (!input.open(QIODevice::ReadOnly))
            return 1;
        QXmlStreamReader xml(&input);
        qint64 tokens = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            ++tokens;
        }
        detail = QStringLiteral("%1 tokens").arg(tokens);
    } else if (phase == QLatin1String("names")) {
        SclParser parser;
        timer.start();
        detail = QStringLiteral("%1 IEDs").arg(parser.loadIedNames(file).size());
    } else if (phase == QLatin1String("parse") || phase == QLatin1String("both")) {
        SclParser parser;
        QStandardItemModel model;
        if (phase == QLatin1String("parse"))
            parser.loadIedNames(file);
        timer.start();
        if (phase == QLatin1String("both"))
            parser.loadIedNames(file);
        const bool ok = parser.parse(ied, &model);
        const qint64 elapsed = timer.elapsed();
        detail = QStringLiteral("%1, %2 items")
                     .arg(ok ? "parsed" : "FAILED")
                     .arg(model.rowCount() ? countItems(model.item(0)) : 0);
        out << elapsed << ' ' << peakMemoryKb() << ' ' << detail << Qt::endl;
        return ok ? 0 : 1;
    } else if (phase == QLatin1String("load")) {
        SclDocumentLoader loader;
        loader.load(file);
        timer.start();
        const QDomDocument part = loader.loadIed(ied);
        detail = !part.isNull() ? QStringLiteral("IED element streamed again")
                                : QStringLiteral("FAILED");
    } else if (phase == QLatin1String("dom")) {
        timer.start();
        QFile input(file);
        if (!input.open(QIODevice::ReadOnly))
            return 1;
        QDomDocument document;
        detail = document.setContent(&input, false) ? QStringLiteral("whole-file DOM")
                                                    : QStringLiteral("FAILED");
    } else {
        return 2;
    }
    out << timer.elapsed() << ' ' << peakMemoryKb() << ' ' << detail << Qt::endl;
    return 0;
}

struct Figure
{
    qint64 ms = -1;
    long peakKb = -1;
    QString detail;
};

Figure runChild(const QString &phase, const QString &file, const QString &ied)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // In a sanitizer build, Qt's offscreen platform would fail the child with
    // a report of the screen it keeps until exit.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--phase"), phase, file, ied});
    Figure figure;
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        figure.detail = QStringLiteral("child failed");
        return figure;
    }
    const QStringList parts = QString::fromUtf8(child.readAllStandardOutput())
                                  .trimmed()
                                  .split(QLatin1Char('\n'))
                                  .last()
                                  .split(QLatin1Char(' '));
    figure.ms = parts.value(0).toLongLong();
    figure.peakKb = parts.value(1).toLong();
    figure.detail = parts.mid(2).join(QLatin1Char(' '));
    return figure;
}

void warmCache(const QString &file)
{
    QFile input(file);
    if (input.open(QIODevice::ReadOnly)) {
        while (!input.read(1 << 20).isEmpty()) {
        }
    }
}

int usage()
{
    out << "usage: sclbench [--ieds N] [--lns M] [--families F] [--repeat R] [--with-dom]\n"
           "                [--ied NAME] [--keep] [FILE]\n"
           "       sclbench --generate FILE [--ieds N] [--lns M] [--families F]\n"
           "                [--rcbs R]\n"
           "                [--vendor-blocks B]\n"
           "Without FILE a synthetic file is generated in the temporary folder.\n";
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 5 && std::strcmp(argv[1], "--phase") == 0) {
        // Icons need a GUI application; no window is shown.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_LOGGING_RULES", "*.debug=false");
        QGuiApplication app(argc, argv);
        return runPhase(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                        QString::fromLocal8Bit(argv[4]));
    }

    QCoreApplication app(argc, argv);
    SclGeneratorOptions options;
    int repeat = 3;
    bool withDom = false;
    bool keep = false;
    QString file;
    QString generateOnly;
    QString ied;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const QString next = args.value(i + 1);
        if (arg == QLatin1String("--ieds"))
            options.iedCount = next.toInt(), ++i;
        else if (arg == QLatin1String("--lns"))
            options.lnInstances = next.toInt(), ++i;
        else if (arg == QLatin1String("--vendor-blocks"))
            options.vendorReportBlocks = next.toInt(), ++i;
        else if (arg == QLatin1String("--families"))
            options.templateFamilies = next.toInt(), ++i;
        else if (arg == QLatin1String("--rcbs"))
            options.reportControls = next.toInt(), ++i;
        else if (arg == QLatin1String("--repeat"))
            repeat = std::max(1, next.toInt()), ++i;
        else if (arg == QLatin1String("--ied"))
            ied = next, ++i;
        else if (arg == QLatin1String("--generate"))
            generateOnly = next, ++i;
        else if (arg == QLatin1String("--with-dom"))
            withDom = true;
        else if (arg == QLatin1String("--keep"))
            keep = true;
        else if (arg.startsWith(QLatin1String("--")))
            return usage();
        else
            file = arg;
    }
    if (options.iedCount < 1 || options.lnInstances < 1 || options.templateFamilies < 1 ||
        options.reportControls < 0)
        return usage();

    if (!generateOnly.isEmpty()) {
        if (!SclGenerator::write(generateOnly, options))
            return 1;
        out << generateOnly << ": " << QFileInfo(generateOnly).size() << " bytes, "
            << options.iedCount << " IEDs" << Qt::endl;
        return 0;
    }

    bool generated = false;
    if (file.isEmpty()) {
        file = QDir::temp().filePath(QStringLiteral("stationscope-bench-%1-%2-%3.scd")
                                         .arg(options.iedCount)
                                         .arg(options.lnInstances)
                                         .arg(options.templateFamilies));
        QElapsedTimer timer;
        timer.start();
        if (!SclGenerator::write(file, options)) {
            out << "cannot write " << file << Qt::endl;
            return 1;
        }
        generated = true;
        out << "generated " << file << " in " << timer.elapsed() << " ms" << Qt::endl;
        if (ied.isEmpty())
            ied = SclGenerator::iedName(options.iedCount / 2);
    }
    if (ied.isEmpty()) {
        out << "--ied is needed with a FILE" << Qt::endl;
        return usage();
    }

    const double megabytes = QFileInfo(file).size() / 1e6;
    out << QString::asprintf("file %s: %.1f MB, IED %s, best of %d runs", qPrintable(file),
                             megabytes, qPrintable(ied), repeat)
        << Qt::endl;
    warmCache(file);

    QStringList phases{"baseline", "plain", "names", "parse", "both"};
    if (withDom)
        phases << "dom";
    QMap<QString, Figure> best;
    for (int round = 0; round < repeat; ++round) {
        for (const QString &phase : phases) {
            if (phase == QLatin1String("dom") && round > 0)
                continue;
            const Figure figure = runChild(phase, file, ied);
            if (figure.ms < 0) {
                out << phase << ": " << figure.detail << Qt::endl;
                return 1;
            }
            Figure &kept = best[phase];
            if (kept.ms < 0 || figure.ms < kept.ms)
                kept = figure;
        }
    }

    const auto row = [&](const char *label, const Figure &figure) {
        out << QString::asprintf("%-34s %8lld ms %9.1f MB   %s", label, figure.ms,
                                 figure.peakKb / 1024.0, qPrintable(figure.detail))
            << Qt::endl;
    };
    out << QString::asprintf("%-34s %11s %12s", "phase", "time", "peak memory") << Qt::endl;
    row("process start (baseline)", best["baseline"]);
    row("plain QXmlStreamReader pass", best["plain"]);
    row("loadIedNames", best["names"]);
    row("parse (after loadIedNames)", best["parse"]);
    row("loadIedNames + parse, one process", best["both"]);
    if (withDom)
        row("whole-file QDomDocument", best["dom"]);
    const double plain = std::max<qint64>(1, best["plain"].ms);
    out << QString::asprintf("ratio (loadIedNames + parse) / plain pass: %.2f",
                             (best["names"].ms + best["parse"].ms) / plain)
        << Qt::endl;
    out << QString::asprintf("ratio (both in one process) / plain pass:  %.2f",
                             best["both"].ms / plain)
        << Qt::endl;

    if (generated && !keep)
        QFile::remove(file);
    return 0;
}
