#include "search/request/fastcgi_server.h"

#include <fcgiapp.h>
#include <malloc.h>

#include <csignal>
#include <istream>
#include <streambuf>

#include "config/loaded_files.h"
#include "nodequery/dispatch.h"
#include "nodequery/http_client.h"
#include "search/request/cgi_main.h"

namespace quorix {
namespace {

// The request body as a std::istream.
class FcgiInputBuffer : public std::streambuf {
 public:
  explicit FcgiInputBuffer(FCGX_Stream* stream) : stream_(stream) {}

 protected:
  int_type underflow() override {
    int got = FCGX_GetStr(buffer_, sizeof buffer_, stream_);
    if (got <= 0) return traits_type::eof();
    setg(buffer_, buffer_, buffer_ + got);
    return traits_type::to_int_type(buffer_[0]);
  }

 private:
  FCGX_Stream* stream_;
  char buffer_[8192];
};

void AnswerOne(const char* argv0, FCGX_Request& request, std::unique_ptr<LateCompletion>* late) {
  CgiEnvironment environment = ReadCgiEnvironment(
      [&request](const char* name) { return FCGX_GetParam(name, request.envp); });
  FcgiInputBuffer body(request.in);
  std::istream input(&body);
  FCGX_Stream* out = request.out;
  PageOutput page(
      [out](std::string_view text) {
        FCGX_PutStr(text.data(), static_cast<int>(text.size()), out);
      },
      [out] { FCGX_FFlush(out); });
  RunCgi(argv0, environment, input, page, MakeRequestComponents, late);
  page.Flush();
}

// Free heap a process keeps between requests rather than hand back.
constexpr size_t kKeepFreeHeapBytes = 4 * 1024 * 1024;

extern "C" void OnStopSignal(int) { FCGX_ShutdownPending(); }

}  // namespace

bool StartedAsFastCgi() { return FCGX_IsCGI() == 0; }

int ServeFastCgiRequests(const char* argv0) {
  if (FCGX_Init() != 0) return 1;
  // The process answers request after request: what it read and the
  // connections it opened serve the next one.
  KeepLoadedFiles(true);
  KeepConnectionsBetweenSearches();
  // A stop request ends the loop after the current answer; the web server's
  // own restart then starts a fresh process.
  std::signal(SIGUSR1, OnStopSignal);
  std::signal(SIGPIPE, SIG_IGN);
  FCGX_Request request;
  if (FCGX_InitRequest(&request, 0, 0) != 0) return 1;
  while (FCGX_Accept_r(&request) >= 0) {
    std::unique_ptr<LateCompletion> late;
    AnswerOne(argv0, request, &late);
    FCGX_Finish_r(&request);
    // The visitor has the page; the nodes still answering are waited for
    // beside the next requests.
    if (late && !StartBackgroundCompletion(late)) DropLateCompletion(*late);
    // What a large request freed goes back to the system; what a small one
    // freed stays for the next, which would otherwise fault it in again.
    // (Node workers given up at their time-out are joined by the next
    // dispatch once they have ended.)
    if (mallinfo2().fordblks > kKeepFreeHeapBytes) malloc_trim(0);
  }
  FCGX_Free(&request, 1);
  WaitForBackgroundCompletions(std::chrono::seconds(10));
  JoinAbandonedWorkers(std::chrono::seconds(2));
  return 0;
}

}  // namespace quorix
