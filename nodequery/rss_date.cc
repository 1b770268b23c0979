// RSS (RFC 822 style) dates such as "Tue, 14 Apr 2009 10:00:00 GMT".
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "nodequery/response_parser.h"

namespace quorix {
namespace {

// The latest time the calendar conversion accepts: 3000-12-31 23:59:59 UTC.
constexpr int64_t kLatestTime = 32535215999;

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Reads fields the way a scanf format does: once a step fails, the later
// fields keep their zero values.
class FieldScanner {
 public:
  explicit FieldScanner(std::string_view text) : text_(text) {}

  FieldScanner& Blank() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    return *this;
  }
  FieldScanner& Literal(char c) {
    if (!failed_ && pos_ < text_.size() && text_[pos_] == c)
      ++pos_;
    else
      failed_ = true;
    return *this;
  }
  // Up to three characters that are not blanks ("%3s").
  FieldScanner& Word(std::string_view* out) {
    if (failed_) return *this;
    Blank();
    size_t start = pos_;
    while (pos_ < text_.size() && pos_ - start < 3 && !IsSpace(text_[pos_])) ++pos_;
    if (pos_ == start) failed_ = true;
    *out = text_.substr(start, pos_ - start);
    return *this;
  }
  // A signed decimal ("%d"), saturated to 32 bits.
  FieldScanner& Number(int64_t* out) {
    if (failed_) return *this;
    Blank();
    bool negative = false;
    if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-'))
      negative = text_[pos_++] == '-';
    size_t start = pos_;
    int64_t value = 0;
    for (; pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; ++pos_)
      if (value <= std::numeric_limits<int32_t>::max()) value = value * 10 + (text_[pos_] - '0');
    if (pos_ == start) {
      failed_ = true;
      return *this;
    }
    if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
    *out = negative ? -value : value;
    return *this;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  bool failed_ = false;
};

struct DateFields {
  std::string_view weekday, month, zone;
  int64_t day = 0, year = 0, hours = 0, minutes = 0, seconds = 0;
};

DateFields ScanDate(std::string_view text, bool withWeekday, bool withSeconds) {
  DateFields f;
  FieldScanner scan(text);
  if (withWeekday) scan.Word(&f.weekday).Literal(',');
  scan.Blank().Number(&f.day).Blank().Word(&f.month).Blank().Number(&f.year).Blank();
  scan.Number(&f.hours).Literal(':').Number(&f.minutes);
  if (withSeconds) scan.Literal(':').Number(&f.seconds);
  scan.Blank().Word(&f.zone);
  return f;
}

// Days from 1970-01-01 to the first of `month` (1-12) of `year`, proleptic Gregorian.
int64_t DaysFromCivil(int64_t year, int64_t month) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

int64_t ParseRssDate(std::string_view text) {
  size_t colons = 0;
  for (char c : text) colons += c == ':';
  if (text.empty() || colons == 0) return 0;
  bool withWeekday = text.find(',') != std::string_view::npos;
  DateFields f = ScanDate(text, withWeekday, colons >= 2);

  int64_t month = 1;  // a name not in the list counts as January
  for (size_t i = 0; i < kMonths.size(); ++i)
    if (f.month == kMonths[i]) month = static_cast<int64_t>(i) + 1;

  // Out-of-range days and times carry over into the next unit, as the
  // calendar conversion normalises them; the weekday and zone are ignored.
  int64_t days = DaysFromCivil(f.year, month) + f.day - 1;
  int64_t time = days * 86400 + f.hours * 3600 + f.minutes * 60 + f.seconds;
  if (time < 0 || time > kLatestTime) return -1;
  return time;
}

}  // namespace quorix
