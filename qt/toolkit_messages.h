#pragma once

#include <string>

namespace hexlark {

// The status of a program whose window cannot be shown: no display named, one
// that cannot be reached, or no toolkit platform of the name given.
inline constexpr int kNoDisplayStatus = 2;

// The display the toolkit will try, as the user named it: on the command line
// (-display) or in the environment; empty when nothing names one, where Qt
// would abort with a core dump.
std::string namedDisplay(int argc, char *argv[]);

// Until toolkitStarted(), the toolkit's warnings wait. If it cannot start, one
// line says why, naming the display it tried, or keeping its own reason when
// it has no platform of the name given, with the Debian package that brings
// that platform, instead of its advice to reinstall the program; the program
// then ends with kNoDisplayStatus. Once started, its
// warnings pass as they are, and a fatal error of its own ends the program
// with one line and kFailureStatus, never a core dump. Installed before the
// application object.
void holdToolkitMessages(const std::string &display);
void toolkitStarted();

} // namespace hexlark
