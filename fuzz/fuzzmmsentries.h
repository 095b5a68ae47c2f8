#ifndef STATIONSCOPE_FUZZMMSENTRIES_H
#define STATIONSCOPE_FUZZMMSENTRIES_H

// Fuzz target bodies for what a peer sends over MMS.

#include <cstddef>
#include <cstdint>

// Everything the client decodes from a server: the bytes as a TPKT stream, as
// the ISO layers above COTP and as an MMS PDU, with every confirmed-response
// decoder run on the service element.
void fuzzMmsResponses(const uint8_t *data, size_t size);
// The server's side: after a valid connection and association the bytes
// arrive either as a raw stream or as one MMS PDU in a valid data message.
void fuzzMmsRequests(const uint8_t *data, size_t size);

#endif
