// Generating the CGI files without a window, for deploy scripts:
//
//   QuorixControlPanel -c site.cpdat --generate DIR [--verify] [-d LEVEL]
//
// loads the settings file, optionally verifies every node (the log lines go to
// `out`), then generates the files into DIR (created when missing), answering
// every question with Yes. And the test search:
//
//   QuorixControlPanel -c site.cpdat --search QUERY
//
// asks every enabled node for QUERY and prints what each answered. Neither
// needs a display.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quorix::panelui {

// Exit statuses of the headless run.
inline constexpr int kHeadlessDone = 0;
inline constexpr int kHeadlessVerifyFailed = 1;
inline constexpr int kHeadlessSearchFailed = 1;  // a node did not answer, or none is enabled
inline constexpr int kHeadlessError = 2;

// True when `args` (args[0] is the program) ask for the headless run, or hold
// --help, -h or an option the window does not know (anything starting with
// "-" but -c and -d with their values): those are answered without a display.
bool IsHeadlessRequest(const std::vector<std::string>& args);

// The headless run for the control panel installed in `installDir`. Progress
// and the files created go to `out`, messages and errors to `err`; --help or
// -h prints the usage on `out` and does nothing else. Returns one of the exit
// statuses above.
int RunHeadless(const std::vector<std::string>& args, const std::string& installDir,
                std::ostream& out, std::ostream& err);

}  // namespace quorix::panelui
