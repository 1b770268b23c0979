#include "tools/demo/node_main.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <thread>

namespace quorix::demo {

int RunNode(const char* name, int argc, char** argv, const HandlerFactory& makeHandler) {
  NodeOptions options;
  std::string error;
  std::vector<Document> documents;
  if (!ParseNodeOptions(argc, argv, options, &error) ||
      !LoadCorpus(options.corpus, documents, &error)) {
    std::fprintf(stderr, "%s: %s\n", name, error.c_str());
    return 2;
  }
  SearchEngine engine(std::move(documents));
  MiniHttpServer server;
  if (!server.Listen(options.port, &error)) {
    std::fprintf(stderr, "%s: %s\n", name, error.c_str());
    return 1;
  }
  if (!options.portFile.empty()) std::ofstream(options.portFile) << server.port() << "\n";
  std::printf("%s: %zu documents, listening on http://127.0.0.1:%d/\n", name, engine.size(),
              server.port());
  std::fflush(stdout);
  MiniHttpServer::Handler handler = makeHandler(engine, options, server.port());
  std::mutex logMutex;
  server.Serve([&](const HttpRequest& request) {
    if (!options.requestLog.empty()) {
      // Written before any delay, so a test sees the request even when the answer is late.
      std::lock_guard<std::mutex> lock(logMutex);
      std::ofstream(options.requestLog, std::ios::app) << request.target << "\n";
    }
    if (options.delayMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));
    if (options.garbage) {
      HttpReply reply;
      // What a node behind a broken proxy sends: a well-formed page that is not RSS.
      reply.contentType = "text/html";
      reply.body =
          "<html><head><title>502 Bad Gateway</title></head><body><h1>Bad Gateway</h1>"
          "<p>The search service is not available. <b>Try again later.</b></p></body></html>\n";
      return reply;
    }
    return handler(request);
  });
  return 0;
}

}  // namespace quorix::demo
