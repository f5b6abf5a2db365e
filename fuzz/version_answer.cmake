atlasync_fuzzer(version_answer SOURCES ${CMAKE_CURRENT_LIST_DIR}/version_answer.cpp
                DEPS atlasync_content)
