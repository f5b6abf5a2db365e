atlasync_fuzzer(text SOURCES ${CMAKE_CURRENT_LIST_DIR}/text.cpp DEPS atlasync_core)
