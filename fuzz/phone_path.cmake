atlasync_fuzzer(phone_path SOURCES ${CMAKE_CURRENT_LIST_DIR}/phone_path.cpp DEPS devlinx_sim_core)
