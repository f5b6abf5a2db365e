atlasync_fuzzer(quota_file SOURCES ${CMAKE_CURRENT_LIST_DIR}/quota_file.cpp DEPS atlasync_content)
