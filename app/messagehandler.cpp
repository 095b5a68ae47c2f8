#include "messagehandler.h"

#include <cstdio>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

RoutedMessage routeMessage(QtMsgType type, const QString &message)
{
    // Image loading chatters about colour profiles of the pictures; nobody can act on it.
    if (message.contains(QLatin1String("libpng")))
        return {};

    switch (type) {
    case QtDebugMsg:
    case QtWarningMsg:
        return {RoutedMessage::DebuggerOutput, (message + QLatin1Char('\n')).toLocal8Bit(), false};
    case QtInfoMsg:
        return {RoutedMessage::StandardOutput, message.toLocal8Bit(), false};
    case QtCriticalMsg:
        return {RoutedMessage::StandardError, "Critical: " + message.toLocal8Bit() + '\n', false};
    case QtFatalMsg:
        break;
    }
    return {RoutedMessage::StandardError, "Fatal: " + message.toLocal8Bit() + '\n', true};
}

static void writeTo(std::FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const RoutedMessage routed = routeMessage(type, message);
    switch (routed.destination) {
    case RoutedMessage::Dropped:
        break;
    case RoutedMessage::DebuggerOutput:
#ifdef Q_OS_WIN
        OutputDebugStringW(
            reinterpret_cast<const wchar_t *>((message + QLatin1Char('\n')).utf16()));
#else
        writeTo(stderr, routed.bytes);
#endif
        break;
    case RoutedMessage::StandardOutput:
        writeTo(stdout, routed.bytes);
        break;
    case RoutedMessage::StandardError:
        writeTo(stderr, routed.bytes);
        break;
    }
    if (routed.abortAfterwards)
        std::abort();
}
