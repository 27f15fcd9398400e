// The simulated 6420 boxes are exercised through the program: serial_end_to_end_test.cpp,
// pty_serial_test.cpp, ui/serial_simulation_test.cpp.
