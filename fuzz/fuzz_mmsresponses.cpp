#include "fuzzmmsentries.h"

// The MMS decoders need no application object: bytes in, values out.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzMmsResponses(data, size);
    return 0;
}
