#ifndef STATIONSCOPE_STOPSIGNAL_H
#define STATIONSCOPE_STOPSIGNAL_H

// Ctrl+C and SIGTERM, while one of these lives, only write a byte into a
// self-pipe: a command then ends in order (disabling what it enabled,
// stopping its server) instead of being killed. One at a time.
class StopSignal
{
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal &) = delete;
    StopSignal &operator=(const StopSignal &) = delete;

    bool isWatching() const;
    // Readable once a signal came: for a QSocketNotifier or a poll.
    int descriptor() const;
    bool raised() const;
};

#endif
