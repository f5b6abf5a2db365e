atlasync_fuzzer(catalog_reply SOURCES ${CMAKE_CURRENT_LIST_DIR}/catalog_reply.cpp
                DEPS atlasync_protocol)
