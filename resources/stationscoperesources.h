#ifndef STATIONSCOPE_RESOURCES_H
#define STATIONSCOPE_RESOURCES_H

// Registers the compiled-in pictures (":/images/..."). Safe to call repeatedly;
// every library that shows pictures calls it before its first use.
void initStationscopeResources();

#endif
