// The simulated boards are exercised through the program in end_to_end_test.cpp.
