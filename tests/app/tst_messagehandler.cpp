#include "messagehandler.h"

#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

Q_DECLARE_METATYPE(RoutedMessage::Destination)

class MessageHandlerTest : public QObject
{
    Q_OBJECT

private slots:
    void routes_data();
    void routes();
    void handlerWritesDebugLinesToStandardError();
    void handlerWritesInfoToStandardOutputWithoutLineBreak();

private:
    static QByteArray captureFd(int fd, const std::function<void()> &write);
};

void MessageHandlerTest::routes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<RoutedMessage::Destination>("destination");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("aborts");

    QTest::newRow("debug") << int(QtDebugMsg) << "Parsing datasets started at : 10:11:12"
                           << RoutedMessage::DebuggerOutput
                           << QByteArray("Parsing datasets started at : 10:11:12\n") << false;
    QTest::newRow("warning") << int(QtWarningMsg) << "table missing"
                             << RoutedMessage::DebuggerOutput << QByteArray("table missing\n")
                             << false;
    QTest::newRow("info has no line break")
        << int(QtInfoMsg) << "done" << RoutedMessage::StandardOutput << QByteArray("done") << false;
    QTest::newRow("critical") << int(QtCriticalMsg) << "disk full" << RoutedMessage::StandardError
                              << QByteArray("Critical: disk full\n") << false;
    QTest::newRow("fatal aborts") << int(QtFatalMsg) << "broken" << RoutedMessage::StandardError
                                  << QByteArray("Fatal: broken\n") << true;
    QTest::newRow("percent signs are text")
        << int(QtCriticalMsg) << "100%s %d" << RoutedMessage::StandardError
        << QByteArray("Critical: 100%s %d\n") << false;
    QTest::newRow("libpng debug dropped")
        << int(QtDebugMsg) << "libpng warning: iCCP: known incorrect sRGB profile"
        << RoutedMessage::Dropped << QByteArray() << false;
    QTest::newRow("libpng anywhere dropped") << int(QtWarningMsg) << "image: libpng error"
                                             << RoutedMessage::Dropped << QByteArray() << false;
    QTest::newRow("libpng critical dropped")
        << int(QtCriticalMsg) << "xlibpngx" << RoutedMessage::Dropped << QByteArray() << false;
    QTest::newRow("LIBPNG is another word")
        << int(QtDebugMsg) << "LIBPNG" << RoutedMessage::DebuggerOutput << QByteArray("LIBPNG\n")
        << false;
}

void MessageHandlerTest::routes()
{
    QFETCH(int, type);
    QFETCH(QString, message);
    QFETCH(RoutedMessage::Destination, destination);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, aborts);

    const RoutedMessage routed = routeMessage(QtMsgType(type), message);
    QCOMPARE(routed.destination, destination);
    QCOMPARE(routed.bytes, bytes);
    QCOMPARE(routed.abortAfterwards, aborts);
}

QByteArray MessageHandlerTest::captureFd(int fd, const std::function<void()> &write)
{
    QTemporaryFile capture;
    if (!capture.open())
        return "cannot capture";
    std::fflush(nullptr);
    const int saved = dup(fd);
    dup2(capture.handle(), fd);
    write();
    std::fflush(nullptr);
    dup2(saved, fd);
    close(saved);
    capture.seek(0);
    return capture.readAll();
}

void MessageHandlerTest::handlerWritesDebugLinesToStandardError()
{
    const QtMessageHandler previous = qInstallMessageHandler(messageHandler);
    const QByteArray written = captureFd(STDERR_FILENO, [] {
        qDebug("first line");
        qDebug("libpng warning: dropped");
        qWarning("second line");
    });
    qInstallMessageHandler(previous);
    QCOMPARE(written, QByteArray("first line\nsecond line\n"));
}

void MessageHandlerTest::handlerWritesInfoToStandardOutputWithoutLineBreak()
{
    const QtMessageHandler previous = qInstallMessageHandler(messageHandler);
    const QByteArray written = captureFd(STDOUT_FILENO, [] {
        qInfo("a");
        qInfo("b");
    });
    qInstallMessageHandler(previous);
    QCOMPARE(written, QByteArray("ab"));
}

QTEST_GUILESS_MAIN(MessageHandlerTest)
#include "tst_messagehandler.moc"
