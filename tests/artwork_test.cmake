hexlark_add_test(artwork_test SOURCES artwork_test.cpp LIBS Qt6::Gui)
