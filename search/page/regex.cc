#include "search/page/regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace quorix {

struct Regex::Impl {
  pcre2_code* code = nullptr;
  ~Impl() {
    if (code) pcre2_code_free(code);
  }
};

Regex::Regex(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Regex::~Regex() = default;

std::unique_ptr<Regex> Regex::Compile(std::string_view pattern, bool caseless, std::string* error) {
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  // No UTF flag: a subject with invalid UTF-8 must never make matching fail.
  uint32_t options = caseless ? PCRE2_CASELESS : 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                   options, &errorCode, &errorOffset, nullptr);
  if (!code) {
    if (error) {
      PCRE2_UCHAR message[256];
      pcre2_get_error_message(errorCode, message, sizeof message);
      *error = std::string(reinterpret_cast<char*>(message)) + " at offset " +
               std::to_string(errorOffset);
    }
    return nullptr;
  }
  // Compiled to machine code where the library can: a highlighting pattern is
  // matched against every text field of every item shown. Without it the
  // interpreter gives the same matches.
  pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  auto impl = std::make_unique<Impl>();
  impl->code = code;
  return std::unique_ptr<Regex>(new Regex(std::move(impl)));
}

int Regex::Match(std::string_view subject, size_t offset, std::vector<Span>& groups) const {
  groups.clear();
  if (offset > subject.size()) return -1;
  pcre2_match_data* data = pcre2_match_data_create_from_pattern(impl_->code, nullptr);
  if (!data) return -1;
  int rc = pcre2_match(impl_->code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                       offset, 0, data, nullptr);
  if (rc > 0) {
    PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
    for (int i = 0; i < rc; ++i) {
      Span span;
      if (ovector[2 * i] != PCRE2_UNSET) {
        span.start = ovector[2 * i];
        span.end = ovector[2 * i + 1];
        span.matched = true;
      }
      groups.push_back(span);
    }
  } else {
    rc = -1;
  }
  pcre2_match_data_free(data);
  return rc;
}

}  // namespace quorix
