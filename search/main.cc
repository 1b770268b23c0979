// The quorix CGI program: one search request per run.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "nodequery/http_client.h"
#include "search/cgi_main.h"

namespace {

quorix::CgiEnvironment ReadEnvironment() {
  quorix::CgiEnvironment environment;
  for (const char* name :
       {"REQUEST_METHOD", "CONTENT_TYPE", "CONTENT_LENGTH", "QUERY_STRING", "REMOTE_ADDR", "HTTPS",
        "HTTP_HOST", "SCRIPT_NAME", "HTTP_X_QUORIX_HOPS"}) {
    if (const char* value = std::getenv(name)) environment[name] = value;
  }
  return environment;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  quorix::PageOutput page(stdout);
  int status = quorix::RunCgi(argc > 0 ? argv[0] : "", ReadEnvironment(), std::cin, page);
  page.Flush();
  quorix::CloseAllNodeHandles();
  // A node worker abandoned after its time-out may still be running: end the
  // process without running static destructors under its feet.
  std::fflush(stdout);
  std::_Exit(status);
}
