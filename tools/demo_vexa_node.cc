// A demo Vexa-protocol node: searches the Riverton town council corpus.
#include <chrono>

#include "tools/demo/node_main.h"
#include "tools/demo/rss_writer.h"

using namespace quorix::demo;

namespace {

std::vector<RecommendedLink> RecommendedFor(const std::string& query) {
  static const struct {
    const char* word;
    RecommendedLink link;
  } kLinks[] = {
      {"library",
       {"Library catalogue", "http://www.riverton.example/library/catalogue.html",
        "Search and reserve books, e-books and audiobooks."}},
      {"bin",
       {"Bin collection calendar", "http://www.riverton.example/waste/calendar.html",
        "Find your collection day by postcode."}},
      {"recycling",
       {"What goes in which bin", "http://www.riverton.example/waste/bins.html",
        "A simple guide to sorting your waste."}},
      {"tax",
       {"Pay your council tax", "http://www.riverton.example/council/pay.html",
        "Pay online, by phone or by direct debit."}},
      {"parking",
       {"Apply for a parking permit", "http://www.riverton.example/transport/permits.html",
        "Residents' and visitors' permits."}},
      {"festival",
       {"What's on in Riverton", "http://www.riverton.example/events/calendar.html",
        "All events in one calendar."}},
  };
  std::vector<RecommendedLink> links;
  ParsedQuery parsed = ParseQuery(query);
  for (const auto& entry : kLinks)
    for (const std::string& term : parsed.include)
      if (term == entry.word) links.push_back(entry.link);
  return links;
}

MiniHttpServer::Handler MakeHandler(const SearchEngine& engine, const NodeOptions&, int port) {
  std::string selfUrl = "http://127.0.0.1:" + std::to_string(port) + "/search.cgi";
  return [&engine, selfUrl](const HttpRequest& request) {
    auto started = std::chrono::steady_clock::now();
    SearchRequest search;
    search.query = request.Param("vexa_query");
    search.matchAll = request.IntParam("vexa_and", 1) != 0;
    search.sortByDate = request.IntParam("vexa_sort", 0) != 0;
    auto cats = request.params.find("vexa_cat[]");
    if (cats != request.params.end())
      for (const std::string& value : cats->second)
        search.categories.push_back(std::atoi(value.c_str()));
    std::vector<Hit> hits = engine.Search(search);
    std::string searched = "All";
    if (!search.categories.empty() && search.categories.front() >= 0 &&
        search.categories.front() < static_cast<int>(engine.Categories().size()))
      searched = engine.Categories()[search.categories.front()];
    AnswerPage page;
    page.query = search.query;
    page.selfUrl = selfUrl;
    page.hits = &hits;
    page.page = std::max(1, request.IntParam("vexa_page", 1));
    page.perPage = std::clamp(request.IntParam("vexa_per_page", 10), 1, 1000);
    std::vector<std::string> spellings =
        hits.size() < 3 ? engine.SuggestSpellings(search.query) : std::vector<std::string>{};
    page.searchSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    HttpReply reply;
    reply.body = VexaAnswer(page, engine, searched, spellings, RecommendedFor(search.query));
    return reply;
  };
}

}  // namespace

int main(int argc, char** argv) { return RunNode("demo_vexa_node", argc, argv, MakeHandler); }
