// Runs every input stored under tests/fuzz/regressions/<target>/ through the
// body of that fuzz target. Each one crashed, hung or exhausted memory once;
// passing means it no longer does (under the sanitizers in their suite).

#include "fuzzentries.h"
#include "testpaths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyTargetHasAFolder();
    void storedInputs_data();
    void storedInputs();
};

namespace {

QDir regressionsDir()
{
    return QDir(sourceFile(QStringLiteral("tests/fuzz/regressions")));
}

FuzzEntry entryNamed(const QString &name)
{
    for (const FuzzTarget &target : fuzzTargets()) {
        if (name == QLatin1String(target.name))
            return target.entry;
    }
    return nullptr;
}

} // namespace

void TestFuzzRegressions::initTestCase()
{
    fuzzInitialize();
}

// A folder without a target would hold inputs that are never run.
void TestFuzzRegressions::everyTargetHasAFolder()
{
    const QStringList folders = regressionsDir().entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &folder : folders)
        QVERIFY2(entryNamed(folder), qPrintable(folder + QLatin1String(" names no fuzz target")));
}

void TestFuzzRegressions::storedInputs_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    for (const FuzzTarget &target : fuzzTargets()) {
        const QString name = QLatin1String(target.name);
        // The empty input is everybody's first.
        QTest::newRow(qPrintable(name + QLatin1String("/<empty>"))) << name << QString();
        const QDir folder(regressionsDir().filePath(name));
        const QStringList files = folder.entryList(QDir::Files, QDir::Name);
        for (const QString &file : files)
            QTest::newRow(qPrintable(name + QLatin1Char('/') + file))
                << name << folder.filePath(file);
    }
}

void TestFuzzRegressions::storedInputs()
{
    QFETCH(QString, target);
    QFETCH(QString, path);
    QByteArray input;
    if (!path.isEmpty()) {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        input = file.readAll();
    }
    const FuzzEntry entry = entryNamed(target);
    QVERIFY(entry);
    QElapsedTimer timer;
    timer.start();
    entry(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
    qDebug().noquote() << target << QFileInfo(path).fileName() << input.size() << "bytes in"
                       << timer.elapsed() << "ms";
}

QTEST_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
