// The binary layout of a cache file, as pure functions over bytes.
//
// Little-endian throughout, no byte-order mark. Text is UTF-16LE: fixed wide
// fields are zero-terminated within their size; a counted string is a signed
// 32-bit count n followed by n code units.
//
//   header (1,056 bytes): node count, number of node blocks, the query,
//     the file's own path, item count, available count;
//   one node block (25,136 bytes) per valid node, in node order, each followed
//     by that node's recommended records (counted title, link, description);
//   the item records, each led by its length L (bytes after the length field).
//     Items of Vexa nodes (node block type 0, or no block for their node) carry
//     eight categories, context, terms matched, size and image URL.
//     A merged item ends with a 64-bit mask of the other nodes that had its
//     link (bit n: node n); other items end at their date-time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "platform/status.h"
#include "search/cache/cache_source.h"
#include "search/pipeline/pipeline.h"

namespace quorix {

inline constexpr size_t kCacheHeaderBytes = 1056;
inline constexpr size_t kCacheNodeBlockBytes = 25136;
inline constexpr size_t kCacheQueryUnits = 256;        // including the terminator
inline constexpr size_t kCacheFilePathUnits = 260;     // including the terminator
inline constexpr size_t kCacheLinkTargetUnits = 256;   // including the terminator
inline constexpr size_t kCacheSuggestionUnits = 4096;  // including the terminator
inline constexpr int32_t kCacheStringMaxUnits = 4095;  // longest counted string

struct CacheHeader {
  int32_t nodeCount = 0;   // configured nodes when the file was written
  int32_t nodeBlocks = 0;  // valid nodes, one block each
  std::string query;
  std::string path;
  int64_t cachedItems = 0;
  int64_t cachedAvailable = 0;
};

// The capability flags of a node record that a cache file keeps.
struct NodeCapabilities {
  bool countSupported = true;
  bool startPageSupported = true;
};

// The node records a cache file holds.
struct CachedNodes {
  ChannelTable channels;  // default records for nodes without a block
  std::array<NodeCapabilities, kMaxNodes> capabilities;
  std::array<bool, kMaxNodes> present{};
};

// Whether a file of `header`, `channels` and the first `itemCount` of `items`
// would pass the reader's checks: 0, or kCacheWriteFailed when a count would
// not (node count, the available count, a block's queried items) or an item's
// node is not below the node count.
Status CheckCacheFileCounts(const CacheHeader& header, const ChannelTable& channels,
                            const ItemList& items, size_t itemCount);

// Receives an encoded file piece by piece; false stops the encoding.
using CacheBytesSink = std::function<bool(std::string_view)>;
// The size of the pieces a file is handed on in (a whole item record may pass it).
inline constexpr size_t kCachePieceBytes = 256 * 1024;

// Encodes a whole file: `header` (its nodeBlocks and cachedItems are ignored
// and computed), a block for every channel below header.nodeCount whose
// `valid` is set, and the first `itemCount` of `items` (at most all). Text
// longer than its field is cut. The bytes go to `sink` in pieces of about
// `pieceBytes`, so a large result set is never held twice. Returns 0, the
// CheckCacheFileCounts failure (nothing sent), or kCacheWriteFailed when
// `sink` refused a piece.
Status EncodeCacheFile(const CacheHeader& header, const ChannelTable& channels,
                       const std::array<NodeCapabilities, kMaxNodes>& capabilities,
                       const ItemList& items, size_t itemCount, const CacheBytesSink& sink,
                       size_t pieceBytes = kCachePieceBytes);

// The same into `bytes`, whole (empty on failure).
Status EncodeCacheFile(const CacheHeader& header, const ChannelTable& channels,
                       const std::array<NodeCapabilities, kMaxNodes>& capabilities,
                       const ItemList& items, size_t itemCount, std::string* bytes);

// The reading functions take the file from a CacheSource, a range at a time;
// those over `std::string_view` read a file held in memory.
//
// Reads the header. Returns 0, or kCacheReadFailed when the file is shorter
// than a header or its counts are impossible: node count outside 0..64, more
// blocks than nodes, an available count outside 0..INT32_MAX, or an item count
// that is negative or more than the bytes after the blocks could hold.
Status DecodeCacheHeader(CacheSource& file, CacheHeader* header);
Status DecodeCacheHeader(std::string_view file, CacheHeader* header);

// Reads the node blocks and their recommended records into `nodes` and sets
// `itemsOffset` to the first item record. Returns 0, or kCacheReadFailed when
// a block's node index is out of range or not increasing, a count in a block
// is negative, or anything runs past the end of the file.
Status DecodeCacheBlocks(CacheSource& file, const CacheHeader& header, CachedNodes* nodes,
                         size_t* itemsOffset);

// Passes over the item records from `itemsOffset` by their length fields
// alone, and sets `markOffset` to where record number `mark` starts (the end
// of the records when `mark` is not below their count). Returns 0, or
// kCacheReadFailed unless they are exactly header.cachedItems records ending
// at the end of the file.
Status CheckCacheItemLengths(CacheSource& file, const CacheHeader& header, size_t itemsOffset,
                             int64_t mark, size_t* markOffset);

// DecodeCacheBlocks followed by CheckCacheItemLengths.
Status DecodeCacheNodes(std::string_view file, const CacheHeader& header, CachedNodes* nodes,
                        size_t* itemsOffset);

// Skips `skip` item records from `offset` by their length, then appends the
// next `take` records to `items`. Returns 0, or kCacheReadFailed when a record
// runs past the end of the file, its fields do not fill exactly its length, or
// its node index is not below the header's node count.
Status DecodeCacheItems(CacheSource& file, size_t offset, const CacheHeader& header,
                        const CachedNodes& nodes, int64_t skip, int64_t take, ItemList* items);
Status DecodeCacheItems(std::string_view file, size_t offset, const CacheHeader& header,
                        const CachedNodes& nodes, int64_t skip, int64_t take, ItemList* items);

}  // namespace quorix
