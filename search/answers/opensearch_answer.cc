#include "search/answers/opensearch_answer.h"

#include "platform/text.h"
#include "search/answers/vexa_rss.h"

namespace quorix {
namespace {

constexpr const char* kDefaultShortName = "Quorix";
constexpr const char* kDefaultDescription = "Search with Quorix";
// OpenSearch allows at most 16 characters in ShortName and 1024 in Description.
constexpr size_t kShortNameUnits = 16;
constexpr size_t kDescriptionUnits = 1024;

constexpr const char* kQueryTemplate =
    "?vexa_query={searchTerms}&vexa_page={startPage?}&vexa_per_page={count?}";

bool IsHostText(const std::string& host) {
  if (host.empty()) return false;
  for (char c : host) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-' || c == ':' || c == '[' || c == ']' || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::string UrlElement(const std::string& type, const std::string& target) {
  return "<Url type=\"" + type + "\" template=\"" + XmlEscape(target) + "\"/>\n";
}

}  // namespace

std::string SelfUrl(const SelfAddress& address) {
  if (!IsHostText(address.host)) return "";
  std::string script = address.script.empty() || address.script.front() != '/'
                           ? "/" + address.script
                           : address.script;
  return std::string(address.https ? "https://" : "http://") + address.host + script;
}

bool UsablePublicBaseUrl(const std::string& url) {
  size_t start = url.rfind("https://", 0) == 0 ? 8 : url.rfind("http://", 0) == 0 ? 7 : 0;
  if (start == 0 || start >= url.size() || url[start] == '/') return false;
  for (unsigned char c : url)
    if (c <= ' ' || c == 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' || c == '?' ||
        c == '#' || c == '\\')
      return false;
  return true;
}

std::string DescriptionBaseUrl(const Config& config, const SelfAddress& address) {
  return UsablePublicBaseUrl(config.publicBaseUrl) ? config.publicBaseUrl : SelfUrl(address);
}

std::string OpenSearchDescriptionDocument(const Config& config, const SelfAddress& address) {
  std::string shortName =
      config.openSearchShortName.empty() ? kDefaultShortName : config.openSearchShortName;
  std::string description =
      config.openSearchDescription.empty() ? kDefaultDescription : config.openSearchDescription;
  std::string base = DescriptionBaseUrl(config, address) + kQueryTemplate;
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<OpenSearchDescription xmlns=\"" +
         std::string(kOpenSearchNamespace) + "\">\n" +
         XmlElement("ShortName", CutUtf16(shortName, kShortNameUnits)) + "\n" +
         XmlElement("Description", CutUtf16(description, kDescriptionUnits)) + "\n" +
         XmlElement("InputEncoding", "UTF-8") + "\n" + XmlElement("OutputEncoding", "UTF-8") +
         "\n" + UrlElement("text/html", base) +
         UrlElement("application/rss+xml", base + "&vexa_format=rss") +
         UrlElement("application/json", base + "&vexa_format=json") + "</OpenSearchDescription>\n";
}

}  // namespace quorix
