#include "tools/demo/node_main.h"

#include <chrono>
#include <cstdio>
#include <fstream>
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
  server.Serve([&](const HttpRequest& request) {
    if (options.delayMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));
    if (options.garbage) {
      HttpReply reply;
      reply.contentType = "text/plain";
      reply.body = "<<<< this node is broken >>>> <rss <channel & no end";
      return reply;
    }
    return handler(request);
  });
  return 0;
}

}  // namespace quorix::demo
