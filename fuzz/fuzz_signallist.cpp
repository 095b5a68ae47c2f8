#include "fuzzentries.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    return fuzzInitializeApplication(argc, argv);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzSignalList(data, size);
    return 0;
}
