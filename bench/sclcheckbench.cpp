// The SCL check of a whole substation file beside a plain QXmlStreamReader
// pass over the same file, and the check's peak memory.

#include "benchsupport.h"
#include "sclchecker.h"
#include "sclgenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QXmlStreamReader>

#include <ctime>

namespace {

// Processor time of this process in ms: the machine the figures come from is
// shared, so wall time says more about the neighbours than about the check.
qint64 cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Peak resident memory of this process in kB (Linux), -1 elsewhere.
qint64 peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 plainPass(const QString &fileName, qint64 *tokens)
{
    const qint64 start = cpuMs();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QXmlStreamReader xml(&file);
    qint64 count = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        ++count;
    }
    *tokens = count;
    return cpuMs() - start;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    quietBenchMessages();
    QTextStream out(stdout);
    QStringList arguments = app.arguments().mid(1);
    int repeat = 3;
    const int repeatAt = arguments.indexOf(QStringLiteral("--repeat"));
    if (repeatAt >= 0) {
        repeat = arguments.value(repeatAt + 1).toInt();
        arguments.erase(arguments.begin() + repeatAt, arguments.begin() + repeatAt + 2);
    }
    QString fileName = arguments.value(0);
    if (fileName.isEmpty()) {
        const SclGeneratorOptions options;
        fileName = QDir::temp().filePath(QStringLiteral("stationscope-bench-%1-%2-%3.scd")
                                             .arg(options.iedCount)
                                             .arg(options.lnInstances)
                                             .arg(options.templateFamilies));
        if (!QFileInfo::exists(fileName) && !SclGenerator::write(fileName, options)) {
            out << "cannot write " << fileName << '\n';
            return 1;
        }
    }
    out << fileName << ": " << QFileInfo(fileName).size() / 1e6 << " MB\n";
    out.flush();

    qint64 tokens = 0;
    const qint64 plain = bestOf(repeat, [&] { return plainPass(fileName, &tokens); });
    out << "plain QXmlStreamReader pass: " << plain << " ms processor time (" << tokens
        << " tokens)\n";
    out.flush();

    const qint64 memoryBefore = peakMemoryKb();
    SclCheckResult result;
    const qint64 check = bestOf(repeat, [&] {
        const qint64 start = cpuMs();
        result = SclChecker().check(fileName);
        return cpuMs() - start;
    });
    const SclSeverityCounts counts = countSeverities(result.findings);
    out << "whole-file check: " << check << " ms processor time, " << result.iedNames.size()
        << " IEDs, " << counts.errors << " errors, " << counts.warnings << " warnings, "
        << counts.infos << " infos\n";
    out << "ratio check / plain pass: " << QString::number(double(check) / plain, 'f', 2) << '\n';
    out << "peak memory: " << memoryBefore / 1024 << " MB before the check, "
        << peakMemoryKb() / 1024 << " MB after\n";
    return 0;
}
