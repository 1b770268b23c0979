// Feeds arbitrary bytes to every XML scanning primitive.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "nodequery/xml_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool isOpenSearch = (data[0] & 1) != 0;
  const int occurrence = (data[0] >> 1) & 3;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  quorix::StripCdata(text);
  std::string decoded(text);
  quorix::DecodeCharacterReferences(decoded);
  std::string trimmed(text);
  quorix::TrimContent(trimmed);
  std::string value;
  quorix::GetAttribute(text, "template=", value);

  quorix::FindResult found;
  quorix::FindElement(isOpenSearch, text, "%s%T", {"OpenSearchDescription", "Url"}, occurrence,
                      true, found);
  quorix::FindElement(isOpenSearch, text, "sT", {"a", "b"}, occurrence, true, found, 512, 0);
  quorix::FindElementByAttribute(isOpenSearch, text, "%s%T", {"OpenSearchDescription", "Url"},
                                 "type=\"application/rss", "template=", value);
  return 0;
}
