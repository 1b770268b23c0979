// A demo OpenSearch node: serves a description document at /opensearch.xml and
// answers plain OpenSearch RSS from the garden and kitchen magazine corpus.
#include "tools/demo/node_main.h"
#include "tools/demo/rss_writer.h"

using namespace quorix::demo;

namespace {

MiniHttpServer::Handler MakeHandler(const SearchEngine& engine, const NodeOptions& options,
                                    int port) {
  std::string searchUrl = "http://127.0.0.1:" + std::to_string(port) + "/search";
  std::string redirectTo = options.redirectTo;
  return [&engine, searchUrl, redirectTo](const HttpRequest& request) {
    HttpReply reply;
    if (request.path == "/opensearch.xml") {
      reply.contentType = "application/opensearchdescription+xml";
      reply.body = OpenSearchDescription(searchUrl);
      return reply;
    }
    if (request.path != "/search") {
      reply.status = 404;
      reply.contentType = "text/html";
      reply.body = "<html><body><h1>Not found</h1></body></html>\n";
      return reply;
    }
    if (!redirectTo.empty()) {
      // A hostile node: every search is sent on elsewhere, for example back to the search.
      reply.status = 302;
      reply.location = redirectTo;
      return reply;
    }
    SearchRequest search;
    search.query = request.Param("q");
    std::vector<Hit> hits = engine.Search(search);
    AnswerPage page;
    page.query = search.query;
    page.selfUrl = searchUrl;
    page.hits = &hits;
    page.perPage = std::clamp(request.IntParam("count", 10), 1, 1000);
    reply.contentType = "application/rss+xml; charset=utf-8";
    reply.body = OpenSearchAnswer(page, std::max(1, request.IntParam("start", 1)));
    return reply;
  };
}

}  // namespace

int main(int argc, char** argv) { return RunNode("demo_opensearch_node", argc, argv, MakeHandler); }
