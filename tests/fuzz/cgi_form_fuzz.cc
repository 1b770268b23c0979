// Feeds an arbitrary request to the form reader and to everything that reads
// the query from it: escaping for the nodes and the page, splitting, patterns.
//
// Input: one byte choosing the method and content type, then the request
// bytes (the query string for GET, the body for POST).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/html_escape.h"
#include "platform/log.h"
#include "platform/text.h"
#include "search/page/query_terms.h"
#include "search/request/cgi_form.h"

namespace {

constexpr const char* kContentTypes[] = {"application/x-www-form-urlencoded",
                                         "application/x-www-form-urlencoded; charset=UTF-8",
                                         "multipart/form-data", ""};

void ReadQuery(quorix::FormList& form) {
  std::optional<std::string_view> raw = form.FindValue("vexa_query");
  quorix::VexaQuery query;
  query.rawQuery = raw ? quorix::CutBytes(quorix::RepairUtf8(*raw), quorix::kRawQueryMaxBytes) : "";
  quorix::NullLog log;
  quorix::FillQueryForms(query, log);
  // The page's form of the query must never carry a character that opens markup.
  if (query.query_out.find_first_of("<>\"") != std::string::npos) __builtin_trap();
  quorix::TermList terms = quorix::BuildTermList(query.rawQuery);
  (void)terms;
  int32_t value = 0;
  form.GetIntValue("vexa_page", value);
  std::vector<int32_t> cats;
  form.GetIntValues("vexa_cat%5B%5D", cats, 66);
  while (form.NextValue("vexa_query")) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool post = (data[0] & 1) != 0;
  const char* contentType = kContentTypes[(data[0] >> 1) & 3];
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  quorix::CgiRequest request{post ? "POST" : "GET", contentType, std::to_string(bytes.size()),
                             post ? std::string() : std::string(bytes)};
  size_t offset = 0;
  quorix::BodyReader readBody = [&](char* buffer, size_t wanted) {
    size_t count = std::min(wanted, bytes.size() - offset);
    bytes.copy(buffer, count, offset);
    offset += count;
    return count;
  };
  quorix::FormList form;
  if (quorix::ReadForm(request, readBody, form) == quorix::kCgiOk) ReadQuery(form);
  return 0;
}
