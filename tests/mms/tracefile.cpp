#include "tracefile.h"

#include "cotp.h"
#include "testpaths.h"
#include "tpkt.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

QString TraceFile::directory()
{
    const QString shared = sharedDir();
    if (shared.isEmpty())
        return QString();
    const QString path = QDir(shared).filePath(QStringLiteral("mms-traces"));
    return QFileInfo(path).isDir() ? path : QString();
}

QStringList TraceFile::browseTraces()
{
    return {QStringLiteral("01_browse_basic_io"), QStringLiteral("05_browse_small_pdu_1000"),
            QStringLiteral("06_browse_multi_ld_complexModel"),
            QStringLiteral("07_browse_control_model_cotp_segmented")};
}

bool TraceFile::load(const QString &name)
{
    traceName = name;
    all.clear();
    QFile file(QDir(directory()).filePath(name + QStringLiteral(".payload.tsv")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = file.fileName() + QStringLiteral(": ") + file.errorString();
        return false;
    }
    TpktReader readers[2];
    TraceMessage pending[2];
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split(QLatin1Char('\t'));
        if (fields.size() < 7)
            continue;
        const int frame = fields.at(0).toInt();
        if (port == 0)
            port = quint16(fields.at(2).toUInt());
        const bool fromClient = fields.at(2).toUInt() == port;
        const int side = fromClient ? 0 : 1;
        readers[side].append(QByteArray::fromHex(fields.at(6).toLatin1()));
        QByteArray tpdu;
        TpktReader::Status status;
        while ((status = readers[side].next(&tpdu)) == TpktReader::PacketReady) {
            TraceMessage &message = pending[side];
            if (message.packets.isEmpty()) {
                message.frame = frame;
                message.fromClient = fromClient;
            }
            message.packets.append(Tpkt::frame(tpdu));
            CotpTpdu decoded;
            if (!Cotp::decode(tpdu, &decoded)) {
                error = QStringLiteral("frame %1: no COTP TPDU").arg(frame);
                return false;
            }
            message.tpduType = decoded.type;
            if (decoded.type == CotpTpdu::Data) {
                message.userData += decoded.userData;
                if (!decoded.endOfTransmission)
                    continue;
            } else {
                message.tpdu = tpdu;
            }
            all.append(message);
            message = TraceMessage();
        }
        if (status == TpktReader::Malformed) {
            error = QStringLiteral("frame %1: no TPKT").arg(frame);
            return false;
        }
    }
    return !all.isEmpty();
}

QList<TraceMessage> TraceFile::fromClient() const
{
    QList<TraceMessage> messages;
    for (const TraceMessage &message : all) {
        if (message.fromClient)
            messages.append(message);
    }
    return messages;
}

QList<TraceMessage> TraceFile::fromServer() const
{
    QList<TraceMessage> messages;
    for (const TraceMessage &message : all) {
        if (!message.fromClient)
            messages.append(message);
    }
    return messages;
}

QStringList TraceFile::clientLines() const
{
    QFile file(QDir(directory()).filePath(traceName + QStringLiteral(".client.txt")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
}
