#pragma once

#include <string>
#include <vector>

// The first thing the process does: when it runs with rights its user does not have (the installed
// client's file capability), it forgets what the user chose about the code it loads, before any Qt
// object reads the environment or the command line.
namespace nimbra {

struct SecureStart
{
    bool secure = false;
    std::vector<std::string> variables; // environment variables removed or replaced
    std::vector<std::string> arguments; // command-line options removed
};

// In secure-execution mode: hardens the environment and removes the Qt options that name code to load
// (see filterPrivilegedArguments). Otherwise changes nothing.
SecureStart enterSecureStart(int &argc, char **argv);

// Removes, in place, the options "-platformpluginpath", "-plugin", "-platformtheme", "-style" and
// "-qmljsdebugger" (also spelt with "--", or with "=value") together with a following value, updates
// argc and ends the vector with a null pointer. Returns the removed option names.
std::vector<std::string> filterPrivilegedArguments(int &argc, char **argv);

// The log line that says what secure-execution mode removed; empty when not in that mode.
std::string describeSecureStart(const SecureStart &start);

} // namespace nimbra
