#include "stagedfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
// SQLite keeps its journal beside the database while a transaction runs.
const char *const SqliteCompanions[] = {"-journal", "-wal", "-shm"};
} // namespace

StagedFile::StagedFile(const QString &target) : target(target) {}

StagedFile::~StagedFile()
{
    if (!committed)
        discard();
}

bool StagedFile::create(QString *problem)
{
    if (QFileInfo::exists(target)) {
        *problem = QStringLiteral("%1 exists already").arg(QDir::toNativeSeparators(target));
        return false;
    }
    // Made only where no file is, with the permissions any new file gets.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString candidate = target + QStringLiteral(".%1.partial")
                                               .arg(QRandomGenerator::global()->bounded(0x1000000),
                                                    6, 16, QLatin1Char('0'));
        QFile file(candidate);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            staging = candidate;
            return true;
        }
        if (!QFileInfo::exists(candidate)) {
            *problem = file.errorString();
            return false;
        }
    }
    *problem = QStringLiteral("no free name for a file beside it");
    return false;
}

bool StagedFile::commit(QString *problem)
{
    if (staging.isEmpty()) {
        *problem = QStringLiteral("nothing was written");
        return false;
    }
    const QString taken = QStringLiteral("%1 was made meanwhile by another program and was left "
                                         "as it is")
                              .arg(QDir::toNativeSeparators(target));
#ifdef Q_OS_UNIX
    // A hard link is made only where no file is: nothing can be replaced
    // between a look and the rename.
    if (::link(QFile::encodeName(staging).constData(), QFile::encodeName(target).constData()) ==
        0) {
        QFile::remove(staging);
        staging.clear();
        committed = true;
        return true;
    }
    if (errno == EEXIST) {
        *problem = taken;
        return false;
    }
#endif
    QFile file(staging);
    if (QFileInfo::exists(target) || !file.rename(target)) {
        *problem = QFileInfo::exists(target) ? taken : file.errorString();
        return false;
    }
    committed = true;
    return true;
}

QString StagedFile::writeProblem() const
{
    const QByteArray block(1 << 20, '\0');
#ifdef Q_OS_UNIX
    // Written until the system refuses: a write that stores a part only says
    // nothing, the next one says why.
    const int fd = ::open(QFile::encodeName(staging).constData(), O_WRONLY | O_APPEND);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    qint64 written = 0;
    QString refused;
    while (written < block.size()) {
        const ssize_t count =
            ::write(fd, block.constData() + written, size_t(block.size() - written));
        if (count < 0) {
            refused = QString::fromLocal8Bit(std::strerror(errno));
            break;
        }
        written += count;
    }
    ::close(fd);
    if (!refused.isEmpty())
        return refused;
#else
    QFile file(staging);
    if (!file.open(QIODevice::Append | QIODevice::Unbuffered) || file.write(block) != block.size())
        return file.errorString();
#endif
    // SQLite gives the space of its journal back on failure, which may let
    // the extra block through on a disk that is full all the same.
    const QStorageInfo storage(QFileInfo(staging).absolutePath());
    if (storage.isValid() && storage.bytesAvailable() < block.size())
        return QString::fromLocal8Bit(std::strerror(ENOSPC));
    return QString();
}

void StagedFile::discard()
{
    if (staging.isEmpty())
        return;
    QFile::remove(staging);
    for (const char *companion : SqliteCompanions)
        QFile::remove(staging + QLatin1String(companion));
    staging.clear();
}
