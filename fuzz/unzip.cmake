atlasync_fuzzer(unzip SOURCES ${CMAKE_CURRENT_LIST_DIR}/unzip.cpp DEPS atlasync_zip)
