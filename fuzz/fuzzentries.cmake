# The fuzz target bodies as a library: linked by the libFuzzer executables of
# the fuzz tree and by the regression test of the normal build. The signal
# list reader is compiled in from app/ so the library needs none of the
# window's dependencies.
if(NOT TARGET fuzzentries)
    add_library(fuzzentries STATIC
        ${PROJECT_SOURCE_DIR}/fuzz/fuzzentries.h
        ${PROJECT_SOURCE_DIR}/fuzz/fuzzentries.cpp
        ${PROJECT_SOURCE_DIR}/fuzz/fuzzmmsentries.h
        ${PROJECT_SOURCE_DIR}/fuzz/fuzzmmsentries.cpp
        ${PROJECT_SOURCE_DIR}/app/plcdataimport.h
        ${PROJECT_SOURCE_DIR}/app/plcdataimport.cpp)
    target_include_directories(fuzzentries PUBLIC
        ${PROJECT_SOURCE_DIR}/fuzz ${PROJECT_SOURCE_DIR}/app)
    target_link_libraries(fuzzentries PUBLIC jobs workbook store scl selection server Qt5::Widgets)
endif()
