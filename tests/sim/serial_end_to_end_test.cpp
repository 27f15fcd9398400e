// The 6420 drivers' faults are checked in interfaces/s64xx_driver_test.cpp and sim/pty_serial_test.cpp.
