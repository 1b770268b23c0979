// Tag rows for the XML declaration, the rss and channel elements and the
// OpenSearch response elements.
#include <optional>
#include <string>
#include <string_view>

#include "nodequery/number_text.h"
#include "nodequery/tag_handlers.h"
#include "nodequery/xml_scan.h"
#include "platform/text.h"

namespace quorix {
namespace {

constexpr std::string_view kOpenSearch11Namespace = "http://a9.com/-/spec/opensearch/1.1/";
constexpr std::string_view kOpenSearchRss10Namespace = "http://a9.com/-/spec/opensearchrss/1.0/";
constexpr const char* kDefaultOpenSearchPrefix = "openSearch";

// Reads attribute `prefix` of the tag into `field` and logs the value or the error.
void ReadAttribute(const Token& token, ParseState& state, const std::string& prefix,
                   std::string& field, const char* valueLog, const char* errorLog) {
  std::string value;
  Status status = GetAttribute(token.tag, prefix, value, kAttributeUnits + 1);
  if (status != kOk) {
    state.log.Logf(kLogDetailWarning, errorLog, state.node, status);
    return;
  }
  field = std::move(value);
  state.log.Logf(kLogDetail, valueLog, state.node, field.c_str());
}

// The prefix that the rss tag binds to an OpenSearch namespace: the attributes
// are looked at from the last one backwards.
std::optional<std::string> FindOpenSearchPrefix(std::string_view rssTag) {
  std::string copy = CutUtf16(rssTag, kAttributeUnits);
  for (size_t space = copy.rfind(' '); space != std::string::npos; space = copy.rfind(' ')) {
    std::string_view attribute = std::string_view(copy).substr(space + 1);
    if (attribute.find(kOpenSearch11Namespace) != std::string_view::npos ||
        attribute.find(kOpenSearchRss10Namespace) != std::string_view::npos) {
      size_t colon = attribute.find(':');
      size_t equals = colon == std::string_view::npos ? colon : attribute.find('=', colon);
      if (equals != std::string_view::npos)
        return std::string(attribute.substr(colon + 1, equals - colon - 1));
    }
    copy.resize(space);
  }
  return std::nullopt;
}

void FillChannelPlaceholders(ParseState& state) {
  if (!state.options.panelPlaceholders) return;
  state.channel.title = "Channel title blank";
  state.channel.description = "Channel description blank";
  state.channel.link = "Channel link blank";
}

// Reads the content as a decimal into `field` and logs it at information level.
void ReadOpenSearchNumber(const Token& token, ParseState& state, int32_t& field,
                          const char* valueLog, const char* errorLog) {
  if (token.content.empty()) {
    state.log.Logf(kLogDetailWarning, errorLog, state.node);
    return;
  }
  field = ReadDecimal32(token.content);
  state.log.Logf(kLogInfo, valueLog, state.node, field);
}

}  // namespace

void OnXmlDeclaration(const Token& token, ParseState& state) {
  ReadAttribute(token, state, "version=", state.channel.xmlVersion,
                "Node #%d: channel.xmlVersion = %s", "Node #%d: channel.xmlVersion error %d");
  ReadAttribute(token, state, "encoding=", state.channel.encoding,
                "Node #%d: channel.encoding = %s", "Node #%d: channel.encoding error %d");
  state.Set(kInXmlDecl);
}

void OnRssStart(const Token& token, ParseState& state) {
  Channel& channel = state.channel;
  ReadAttribute(token, state, "version=", channel.rssVersion, "Node #%d: channel.rssVersion = %s",
                "Node #%d: channel.rssVersion error %d");
  std::optional<std::string> prefix = FindOpenSearchPrefix(token.tag);
  if (!prefix) {
    state.log.Logf(kLogDetailWarning, "Node #%d: Cannot find OpenSearch name space", state.node);
    prefix = kDefaultOpenSearchPrefix;
  }
  channel.osPrefix = CutUtf16(*prefix, kAttributeUnits);
  ReadAttribute(token, state, "xmlns:" + channel.osPrefix + "=", channel.osXMLNS,
                "Node #%d: channel.osXMLNS = %s", "Node #%d: channel.osXMLNS error %d");
  state.Set(kInRss);
}

void OnRssEnd(const Token&, ParseState& state) { state.Clear(kInRss); }

void OnChannelStart(const Token&, ParseState& state) {
  state.Set(kInChannel);
  FillChannelPlaceholders(state);
}

void OnChannelEnd(const Token&, ParseState& state) { state.Clear(kInChannel); }

void OnOpenSearchLink(const Token& token, ParseState& state) {
  ReadAttribute(token, state, "href=", state.channel.osLink, "Node #%d: channel.osLink = %s",
                "Node #%d: channel.osLink error %d");
}

void OnTotalResults(const Token& token, ParseState& state) {
  Channel& channel = state.channel;
  if (token.content.empty()) {
    channel.totalResults = 0;
    state.log.Logf(kLogDetailWarning, "Node #%d: totalResults error", state.node);
  } else {
    channel.totalResults = ReadDecimal32(token.content);
    state.log.Logf(kLogInfo, "Node #%d: totalResults = %d", state.node, channel.totalResults);
  }
  // Every node is asked from its first page, so its total always counts.
  state.totals.availableItems = AddSaturated(state.totals.availableItems, channel.totalResults);
}

void OnStartIndex(const Token& token, ParseState& state) {
  ReadOpenSearchNumber(token, state, state.channel.osStartIndex,
                       "Node #%d: channel.osStartIndex = %d",
                       "Node #%d: channel.osStartIndex error");
}

void OnItemsPerPage(const Token& token, ParseState& state) {
  ReadOpenSearchNumber(token, state, state.channel.osItemsPerPage,
                       "Node #%d: channel.osItemsPerPage = %d",
                       "Node #%d: channel.osItemsPerPage error");
}

}  // namespace quorix
