// The start-up shared by the demo nodes: options, corpus, listening socket.
#pragma once

#include <functional>
#include <memory>

#include "tools/demo/mini_http_server.h"
#include "tools/demo/node_options.h"
#include "tools/demo/search_engine.h"

namespace quorix::demo {

// Builds the request handler once the engine and the port are known.
using HandlerFactory = std::function<MiniHttpServer::Handler(const SearchEngine& engine,
                                                             const NodeOptions& options, int port)>;

// Runs a demo node until SIGINT/SIGTERM. Returns the process exit status.
int RunNode(const char* name, int argc, char** argv, const HandlerFactory& makeHandler);

}  // namespace quorix::demo
