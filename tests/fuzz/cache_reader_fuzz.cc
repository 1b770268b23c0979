// Feeds arbitrary bytes to the cache file reader: it must reject what does not
// fit and never read outside the bytes it was given.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "search/cache_file_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorix;
  std::string_view file(reinterpret_cast<const char*>(data), size);
  CacheHeader header;
  if (DecodeCacheHeader(file, &header) != kOk) return 0;
  auto nodes = std::make_unique<CachedNodes>();
  size_t offset = 0;
  if (DecodeCacheNodes(file, header, nodes.get(), &offset) != kOk) return 0;
  // Every record takes at least 4 bytes, so this bounds the work of a huge count.
  int64_t records = static_cast<int64_t>((size - offset) / 4) + 1;
  int64_t count = header.cachedItems < records ? header.cachedItems : records;
  ItemList items;
  DecodeCacheItems(file, offset, header, *nodes, 0, count, &items);
  ItemList page;
  DecodeCacheItems(file, offset, header, *nodes, count / 2, 10, &page);
  return 0;
}
