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
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
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
    unlock();
}

void StagedFile::unlock()
{
#ifdef Q_OS_UNIX
    if (lockDescriptor >= 0)
        ::close(lockDescriptor);
#endif
    lockDescriptor = -1;
}

// The staging files of writers that were killed: a lock on them is free.
void StagedFile::removeLeftovers() const
{
#ifdef Q_OS_UNIX
    const QFileInfo info(target);
    const QStringList left = info.dir().entryList(
        {info.fileName() + QStringLiteral(".??????.partial")}, QDir::Files | QDir::Hidden);
    for (const QString &name : left) {
        const QString path = info.dir().filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            QFile::remove(path);
            for (const char *companion : SqliteCompanions)
                QFile::remove(path + QLatin1String(companion));
        }
        ::close(fd);
    }
#endif
}

bool StagedFile::create(QString *problem, Target kind)
{
    removeLeftovers();
    replacing = kind == Target::Replaced;
    if (!replacing && QFileInfo::exists(target)) {
        *problem = QStringLiteral("%1 exists already").arg(QDir::toNativeSeparators(target));
        return false;
    }
    // Made only where no file is, with the permissions any new file gets.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString candidate = target + QStringLiteral(".%1.partial")
                                               .arg(QRandomGenerator::global()->bounded(0x1000000),
                                                    6, 16, QLatin1Char('0'));
#ifdef Q_OS_UNIX
        const QByteArray name = QFile::encodeName(candidate);
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // Locked, then still the file under that name: a sweep of another
            // run between the two would have removed it.
            struct stat opened = {};
            struct stat named = {};
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
                ::stat(name.constData(), &named) == 0 && opened.st_ino == named.st_ino &&
                opened.st_dev == named.st_dev) {
                staging = candidate;
                lockDescriptor = fd;
                return true;
            }
            ::close(fd);
            continue;
        }
        if (errno != EEXIST) {
            *problem = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
#else
        QFile file(candidate);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            staging = candidate;
            return true;
        }
        if (!QFileInfo::exists(candidate)) {
            *problem = file.errorString();
            return false;
        }
#endif
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
    if (replacing) {
        if (::rename(QFile::encodeName(staging).constData(),
                     QFile::encodeName(target).constData()) != 0) {
            *problem = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        staging.clear();
        committed = true;
        unlock();
        return true;
    }
    // A hard link is made only where no file is: nothing can be replaced
    // between a look and the rename.
    if (::link(QFile::encodeName(staging).constData(), QFile::encodeName(target).constData()) ==
        0) {
        QFile::remove(staging);
        staging.clear();
        committed = true;
        unlock();
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
    unlock();
}

QString StagedFile::writeProblemBeside(const QString &path)
{
#ifdef Q_OS_UNIX
    rlimit limit = {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        // A write in place grows the file or its journal past the limit.
        for (const QString &file : {path, path + QStringLiteral("-journal")}) {
            const qint64 size = QFileInfo(file).size();
            if (size > 0 && quint64(size) + (1 << 16) >= quint64(limit.rlim_cur))
                return QString::fromLocal8Bit(std::strerror(EFBIG));
        }
    }
#endif
    StagedFile probe(path + QStringLiteral(".probe"));
    QString problem;
    if (!probe.create(&problem))
        return problem;
    return probe.writeProblem();
}
