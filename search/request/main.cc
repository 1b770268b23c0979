// The quorix search program: one search request per run as a CGI program, or
// request after request when the web server starts it as a FastCGI application.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "nodequery/http_client.h"
#include "search/request/cgi_main.h"
#include "search/request/fastcgi_server.h"

int main(int argc, char** argv) {
  const char* argv0 = argc > 0 ? argv[0] : "";
  if (quorix::StartedAsFastCgi()) {
    int status = quorix::ServeFastCgiRequests(argv0);
    quorix::CloseAllNodeHandles();
    std::_Exit(status);
  }
  std::ios::sync_with_stdio(false);
  quorix::PageOutput page(stdout);
  int status = quorix::RunCgi(argv0, quorix::ReadCgiEnvironment(std::getenv), std::cin, page);
  page.Flush();
  quorix::CloseAllNodeHandles();
  // A node worker abandoned after its time-out may still be running: end the
  // process without running static destructors under its feet.
  std::fflush(stdout);
  std::_Exit(status);
}
