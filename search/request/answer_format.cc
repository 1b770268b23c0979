#include "search/request/answer_format.h"

#include <algorithm>

namespace quorix {

AnswerFormat RequestedAnswerFormat(FormList& form) {
  std::optional<std::string_view> format = form.FindValue("vexa_format");
  if (format == "rss") return AnswerFormat::kRss;
  if (format == "json") return AnswerFormat::kJson;
  if (format == "opensearch") return AnswerFormat::kOpenSearch;
  if (format == "metrics") return AnswerFormat::kMetrics;
  if (format == "health") return AnswerFormat::kHealth;
  int32_t xml = 0;
  if (form.GetIntValue("vexa_xml", xml) == kCgiOk && xml == 1) return AnswerFormat::kRss;
  return AnswerFormat::kHtml;
}

const char* AnswerContentType(AnswerFormat format) {
  switch (format) {
    case AnswerFormat::kRss:
      return "application/rss+xml; charset=utf-8";
    case AnswerFormat::kJson:
      return "application/json";
    case AnswerFormat::kOpenSearch:
      return "application/opensearchdescription+xml";
    case AnswerFormat::kMetrics:
      return "application/openmetrics-text; version=1.0.0; charset=utf-8";
    case AnswerFormat::kHealth:
      return "application/json";
    case AnswerFormat::kHtml:
      break;
  }
  return "text/html";
}

int32_t ReadHopCount(std::string_view header) {
  while (!header.empty() && (header.front() == ' ' || header.front() == '\t'))
    header.remove_prefix(1);
  while (!header.empty() && (header.back() == ' ' || header.back() == '\t'))
    header.remove_suffix(1);
  if (header.empty()) return 0;
  int32_t hops = 0;
  for (char c : header) {
    if (c < '0' || c > '9') return 0;
    hops = std::min(hops * 10 + (c - '0'), kHopLimit);
  }
  return hops;
}

}  // namespace quorix
