# Synthesis filterbank, Layer I/II decoding, processor detection and the
# vector routines.
sorrel_add_test(decoder_synth_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_synth.cpp
  LIBS decoder SANITIZE TSAN)
sorrel_add_test(decoder_layer12_conformance_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_layer12_conformance.cpp LIBS decoder SANITIZE TSAN)
sorrel_add_test(decoder_layer12_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_layer12.cpp
  LIBS decoder SANITIZE TSAN)
sorrel_add_test(decoder_cpu_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cpu.cpp LIBS decoder SANITIZE TSAN)
sorrel_add_test(decoder_cpu_selection_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cpu_selection.cpp LIBS decoder SANITIZE TSAN)
