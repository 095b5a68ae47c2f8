#include "stopsignal.h"

#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here; the command looks at the pipe.
    [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &byte, 1);
}

} // namespace

StopSignal::StopSignal()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, stopPipe) != 0)
        return;
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

StopSignal::~StopSignal()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    for (int &end : stopPipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

bool StopSignal::isWatching() const
{
    return stopPipe[0] >= 0;
}

int StopSignal::descriptor() const
{
    return stopPipe[0];
}

bool StopSignal::raised() const
{
    pollfd watched{stopPipe[0], POLLIN, 0};
    return stopPipe[0] >= 0 && ::poll(&watched, 1, 0) > 0;
}
