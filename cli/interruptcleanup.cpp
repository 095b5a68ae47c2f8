#include "interruptcleanup.h"

#include <QFile>

#include <atomic>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int MaxEntries = 32;
constexpr int MaxPath = 4096;

struct Entry
{
    std::atomic<bool> used{false};
    bool folder = false;
    char path[MaxPath] = {};
};

Entry entries[MaxEntries];

// Removes what a folder holds, a few levels down, with system calls only: a
// handler must not allocate (opendir does).
void removeContents(int folder, int depth)
{
    alignas(8) char buffer[4096];
    for (;;) {
        const long read = ::syscall(SYS_getdents64, folder, buffer, sizeof buffer);
        if (read <= 0)
            return;
        for (long offset = 0; offset < read;) {
            struct Entry64
            {
                ino64_t inode;
                off64_t next;
                unsigned short length;
                unsigned char type;
                char name[1];
            };
            const auto *entry = reinterpret_cast<const Entry64 *>(buffer + offset);
            offset += entry->length;
            const char *name = entry->name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            if (::unlinkat(folder, name, 0) == 0 || depth <= 0)
                continue;
            const int inner = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (inner >= 0) {
                removeContents(inner, depth - 1);
                ::close(inner);
                ::unlinkat(folder, name, AT_REMOVEDIR);
            }
        }
    }
}

void removeAll(bool folders)
{
    for (Entry &entry : entries) {
        if (!entry.used.load() || entry.folder != folders)
            continue;
        if (!folders) {
            ::unlink(entry.path);
            continue;
        }
        const int folder = ::open(entry.path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (folder >= 0) {
            removeContents(folder, 3);
            ::close(folder);
        }
        ::rmdir(entry.path);
    }
}

void say(const char *text)
{
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, std::strlen(text));
}

// Only async-signal-safe calls: unlink, rmdir, write, signal, raise.
void onSignal(int signalNumber)
{
    removeAll(false);
    removeAll(true);
#ifdef SIGXFSZ
    if (signalNumber == SIGXFSZ) {
        say("stationscope-cli: a file grew past the file size limit (File too large); nothing "
            "was left under its name\n");
        ::_exit(1);
    }
#endif
    say("stationscope-cli: interrupted by ");
    say(signalNumber == SIGTERM ? "SIGTERM" : signalNumber == SIGHUP ? "SIGHUP" : "SIGINT");
    say("; its temporary files were removed\n");
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

int add(const QString &path, bool folder)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.size() >= MaxPath)
        return -1;
    for (int i = 0; i < MaxEntries; ++i) {
        Entry &entry = entries[i];
        if (entry.used.load())
            continue;
        entry.folder = folder;
        std::memcpy(entry.path, name.constData(), size_t(name.size()) + 1);
        entry.used.store(true);
        return i;
    }
    return -1;
}

} // namespace

void InterruptCleanup::install()
{
    for (const int signalNumber : {SIGTERM, SIGHUP, SIGINT
#ifdef SIGXFSZ
                                   ,
                                   SIGXFSZ
#endif
         }) {
        struct sigaction current = {};
        if (::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            std::signal(signalNumber, onSignal);
    }
}

int InterruptCleanup::addFile(const QString &path)
{
    return add(path, false);
}

int InterruptCleanup::addFolder(const QString &path)
{
    return add(path, true);
}

void InterruptCleanup::forget(int token)
{
    if (token >= 0 && token < MaxEntries)
        entries[token].used.store(false);
}
