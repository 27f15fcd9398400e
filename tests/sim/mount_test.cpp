// The simulated mount is exercised through the program in end_to_end_test.cpp and goto_test.cpp.
