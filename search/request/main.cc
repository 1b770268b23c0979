// The quorix search program: one search request per run as a CGI program, or
// request after request when the web server starts it as a FastCGI application.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "nodequery/http_client.h"
#include "platform/program_dir.h"
#include "search/request/cgi_main.h"
#include "search/request/check_command.h"
#include "search/request/fastcgi_server.h"

namespace {

constexpr const char* kUsage =
    "usage: quorix            run by a web server as a CGI program or FastCGI application\n"
    "       quorix --check [--nodes] [FOLDER]\n"
    "                         check a site's files (default: the program's folder);\n"
    "                         --nodes also asks every enabled node once\n"
    "       quorix --version  print the version\n"
    "       quorix --help     print this text\n"
    "quorix answers the searches of the site in its own folder; see quorix(8).\n";

// quorix --check [--nodes] [FOLDER], in either order.
int CheckCommand(int argc, char** argv) {
  bool askNodes = false;
  std::string folder;
  for (int i = 2; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--nodes") {
      askNodes = true;
    } else if (folder.empty() && !argument.starts_with("-")) {
      folder = argument;
    } else {
      std::fprintf(stderr, "quorix: unknown argument \"%s\"\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (folder.empty()) folder = quorix::ProgramDir(argv[0]);
  int status = quorix::RunCheckCommand(folder, askNodes, stdout);
  std::fflush(stdout);
  quorix::CloseAllNodeHandles();
  // A node given up at its time-out may still be running: see main.
  std::_Exit(status);
}

// Started without a web server's variables: prints the version or the usage
// and returns the exit status; -1 when the program is to answer a request.
int CommandLine(int argc, char** argv) {
  if (std::getenv("REQUEST_METHOD") || std::getenv("GATEWAY_INTERFACE")) return -1;
  const std::string_view option = argc > 1 ? argv[1] : "";
  if (argc == 2 && option == "--version") {
    std::printf("quorix %s\n", QUORIX_VERSION);
    return 0;
  }
  if (argc == 2 && (option == "--help" || option == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (option == "--check") return CheckCommand(argc, argv);
  if (argc > 1) {
    std::fprintf(stderr, "quorix: unknown argument \"%s\"\n%s", argv[1], kUsage);
    return 2;
  }
  if (isatty(STDIN_FILENO)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  return -1;
}

// Points standard output and standard error at /dev/null, closing the web
// server's pipes: a CGI gateway may wait for both to close.
void EndStandardOutput() {
  int null = open("/dev/null", O_WRONLY);
  for (int stream : {STDOUT_FILENO, STDERR_FILENO}) {
    if (null >= 0)
      dup2(null, stream);
    else
      close(stream);
  }
  if (null >= 0) close(null);
}

}  // namespace

int main(int argc, char** argv) {
  const char* argv0 = argc > 0 ? argv[0] : "";
  // Nodes whose certificates come from a private CA (an intranet's, a test's).
  if (const char* caFile = std::getenv("QUORIX_CA_FILE"); caFile && *caFile)
    quorix::SetProcessCaFile(caFile);
  if (quorix::StartedAsFastCgi()) {
    int status = quorix::ServeFastCgiRequests(argv0);
    quorix::CloseAllNodeHandles();
    std::_Exit(status);
  }
  if (int status = CommandLine(argc, argv); status >= 0) return status;
  std::ios::sync_with_stdio(false);
  quorix::PageOutput page(stdout);
  std::unique_ptr<quorix::LateCompletion> late;
  int status = quorix::RunCgi(argv0, quorix::ReadCgiEnvironment(std::getenv), std::cin, page,
                              quorix::MakeRequestComponents, &late);
  page.Flush();
  if (late) {
    // The web server ends the visitor's answer when our output closes; the
    // late nodes' answers then go to the cache alone.
    std::fflush(stdout);
    EndStandardOutput();
    quorix::RunLateCompletion(*late);
  }
  quorix::CloseAllNodeHandles();
  // A node worker abandoned after its time-out may still be running: end the
  // process without running static destructors under its feet.
  std::fflush(stdout);
  std::_Exit(status);
}
