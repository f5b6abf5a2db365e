atlasync_fuzzer(tlv_decode SOURCES ${CMAKE_CURRENT_LIST_DIR}/tlv_decode.cpp DEPS atlasync_protocol)
