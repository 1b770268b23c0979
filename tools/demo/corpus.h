// The documents a demo node searches, read from a tab-separated file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorix::demo {

struct Document {
  std::string title;
  std::string url;
  std::string category;
  int64_t date = 0;  // seconds since 1970 UTC
  int32_t size = 0;
  std::string text;
};

// Reads lines "id<TAB>title<TAB>url<TAB>category<TAB>YYYY-MM-DDTHH:MM:SS<TAB>size<TAB>text";
// lines starting with '#' are comments. False with `error` set when the file
// cannot be read or a line is malformed.
bool LoadCorpus(const std::string& path, std::vector<Document>& documents, std::string* error);

// RFC 822 form of a UTC time, as RSS pubDate wants it.
std::string RssDate(int64_t seconds);

}  // namespace quorix::demo
