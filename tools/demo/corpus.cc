#include "tools/demo/corpus.h"

#include <ctime>
#include <fstream>
#include <sstream>

namespace quorix::demo {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  std::string field;
  while (std::getline(stream, field, '\t')) fields.push_back(field);
  return fields;
}

bool ParseIsoDate(const std::string& text, int64_t* seconds) {
  std::tm tm{};
  if (sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
             &tm.tm_min, &tm.tm_sec) != 6)
    return false;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  *seconds = timegm(&tm);
  return true;
}

}  // namespace

bool LoadCorpus(const std::string& path, std::vector<Document>& documents, std::string* error) {
  std::ifstream file(path);
  if (!file) {
    *error = "cannot open corpus file " + path;
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(file, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields = SplitTabs(line);
    Document document;
    if (fields.size() != 7 || !ParseIsoDate(fields[4], &document.date)) {
      *error = path + ":" + std::to_string(number) + ": expected 7 tab-separated fields";
      return false;
    }
    document.title = fields[1];
    document.url = fields[2];
    document.category = fields[3];
    document.size = std::atoi(fields[5].c_str());
    document.text = fields[6];
    documents.push_back(std::move(document));
  }
  return true;
}

std::string RssDate(int64_t seconds) {
  time_t time = static_cast<time_t>(seconds);
  std::tm tm{};
  gmtime_r(&time, &tm);
  char buffer[64];
  strftime(buffer, sizeof buffer, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return buffer;
}

}  // namespace quorix::demo
