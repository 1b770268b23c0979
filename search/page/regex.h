// The one place that uses PCRE2 (8-bit library, UTF-8 subjects).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorix {

class Regex {
 public:
  // Compiles `pattern`. Returns null when it does not compile; `error` then says why.
  static std::unique_ptr<Regex> Compile(std::string_view pattern, bool caseless,
                                        std::string* error = nullptr);
  ~Regex();
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  struct Span {
    size_t start = 0;
    size_t end = 0;
    bool matched = false;  // false for a group that took no part
  };

  // Matches from byte `offset`. Returns the number of captured pairs plus one
  // (1 when only the whole match is set), or -1 when nothing matches; `groups`
  // then holds the whole match and each group.
  int Match(std::string_view subject, size_t offset, std::vector<Span>& groups) const;

 private:
  struct Impl;
  explicit Regex(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace quorix
