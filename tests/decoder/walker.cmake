# The frame walker.
sorrel_add_test(decoder_walker_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_mpeg_walker.cpp LIBS decoder SANITIZE TSAN)
