atlasync_fuzzer(language_module SOURCES ${CMAKE_CURRENT_LIST_DIR}/language_module.cpp
                DEPS atlasync_wizard_texts)
