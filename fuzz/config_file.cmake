atlasync_fuzzer(config_file SOURCES ${CMAKE_CURRENT_LIST_DIR}/config_file.cpp DEPS atlasync_content)
