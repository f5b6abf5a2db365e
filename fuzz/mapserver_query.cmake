atlasync_fuzzer(mapserver_query SOURCES ${CMAKE_CURRENT_LIST_DIR}/mapserver_query.cpp
                DEPS atlasync_mapserver)
