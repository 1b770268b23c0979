// The quorix CGI program: one search request per run.
#include <cstdlib>
#include <iostream>

#include "search/cgi_main.h"

namespace {

quorix::CgiEnvironment ReadEnvironment() {
  quorix::CgiEnvironment environment;
  for (const char* name :
       {"REQUEST_METHOD", "CONTENT_TYPE", "CONTENT_LENGTH", "QUERY_STRING", "REMOTE_ADDR"}) {
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
  return status;
}
