# Layer III decoding, the header code and sorrel-decode.
sorrel_add_test(decoder_layer3_conformance_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_layer3_conformance.cpp LIBS decoder SANITIZE TSAN)
sorrel_add_test(decoder_layer3_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_layer3.cpp LIBS decoder SANITIZE TSAN)
sorrel_add_test(decoder_header_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_layer3_header.cpp
  LIBS decoder SANITIZE TSAN)
if(TARGET sorrel-decode)
  sorrel_add_test(decoder_decode_tool_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_layer3_decode_tool.cpp
    LIBS decoder)
  if(TARGET decoder_decode_tool_test)
    add_dependencies(decoder_decode_tool_test sorrel-decode)
  endif()
endif()
# Its own program, so that its threads are the first to build the tables.
sorrel_add_test(decoder_layer3_threads_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_layer3_threads.cpp
  LIBS decoder SANITIZE TSAN)
