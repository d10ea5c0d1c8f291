#pragma once

namespace hexlark {

// Runs the program: checks for a display, sets up the application, seeds the
// random source and shows the window until it is closed.
int run(int argc, char *argv[]);

} // namespace hexlark
