#ifndef STATIONSCOPE_MESSAGEHANDLER_H
#define STATIONSCOPE_MESSAGEHANDLER_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Where one Qt message goes and the bytes that are written there.
struct RoutedMessage
{
    enum Destination { Dropped, DebuggerOutput, StandardOutput, StandardError };

    Destination destination = Dropped;
    QByteArray bytes;
    bool abortAfterwards = false;
};

RoutedMessage routeMessage(QtMsgType type, const QString &message);

// The process-wide handler: installed before the application object exists.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

#endif
