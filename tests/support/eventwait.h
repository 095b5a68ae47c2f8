#ifndef STATIONSCOPE_EVENTWAIT_H
#define STATIONSCOPE_EVENTWAIT_H

// The ceiling of a test's wait for an event of the network, a thread or the
// window. It is only reached when the event never comes; a loaded machine
// makes the wait longer, never the test fail.
constexpr int EventTimeoutMs = 60000;

#endif
