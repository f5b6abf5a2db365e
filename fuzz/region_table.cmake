atlasync_fuzzer(region_table SOURCES ${CMAKE_CURRENT_LIST_DIR}/region_table.cpp DEPS atlasync_content)
