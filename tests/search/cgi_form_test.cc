#include "search/request/cgi_form.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

// A body reader over a fixed string that counts how much was asked for.
struct FakeBody {
  std::string data;
  size_t offset = 0;
  size_t requested = 0;
  BodyReader Reader() {
    return [this](char* buffer, size_t size) {
      requested += size;
      size_t n = std::min(size, data.size() - offset);
      std::copy_n(data.data() + offset, n, buffer);
      offset += n;
      return n;
    };
  }
};

CgiRequest Post(std::string length, std::string type = "application/x-www-form-urlencoded") {
  return CgiRequest{"POST", type, length, ""};
}

TEST(CgiForm, ReadFormStatusByRequest) {
  struct Case {
    const char* name;
    CgiRequest request;
    std::string body;
    int status;
    size_t pairs;
  } cases[] = {
      {"GET with query", {"GET", "", "", "a=1&b=2"}, "", kCgiOk, 2},
      {"GET without query", {"GET", "", "", ""}, "", kCgiOk, 0},
      {"HEAD", {"HEAD", "", "", "a=1"}, "", kCgiMethodError, 0},
      {"no method", {"", "", "", "a=1"}, "", kCgiMethodError, 0},
      {"lower-case get", {"get", "", "", "a=1"}, "", kCgiMethodError, 0},
      {"POST", Post("3"), "a=1", kCgiOk, 1},
      {"POST with charset", Post("3", "application/x-www-form-urlencoded; charset=UTF-8"), "a=1",
       kCgiOk, 1},
      {"POST type in capitals, spaced",
       Post("3", " Application/X-WWW-Form-Urlencoded ;charset=utf-8"), "a=1", kCgiOk, 1},
      {"POST type with a suffix", Post("3", "application/x-www-form-urlencodedx"), "a=1",
       kCgiContentTypeError, 0},
      {"POST multipart", Post("3", "multipart/form-data"), "a=1", kCgiContentTypeError, 0},
      {"POST length 0", Post("0"), "", kCgiOk, 0},
      {"POST length missing", Post(""), "a=1", kCgiOk, 0},
      {"POST length not a number", Post("abc"), "a=1", kCgiOk, 0},
      {"POST length with trailing text", Post("3xyz"), "a=1", kCgiOk, 1},
      {"POST body shorter than length", Post("10"), "a=1", kCgiIoError, 0},
      {"POST ignores the query string",
       {"POST", "application/x-www-form-urlencoded", "3", "b=2"},
       "a=1",
       kCgiOk,
       1},
  };
  for (auto& c : cases) {
    FakeBody body{c.body};
    FormList form;
    EXPECT_EQ(ReadForm(c.request, body.Reader(), form), c.status) << c.name;
    EXPECT_EQ(form.status(), c.status) << c.name;
    EXPECT_EQ(form.pairs().size(), c.pairs) << c.name;
  }
}

TEST(CgiForm, OversizedPostIsRefusedWithoutReading) {
  for (std::string length : {"1048577", "99999999999999999999999", "4294967296"}) {
    FakeBody body{"a=1"};
    FormList form;
    EXPECT_EQ(ReadForm(Post(length), body.Reader(), form), kCgiOutOfMemory) << length;
    EXPECT_EQ(body.requested, 0u) << length;
    EXPECT_STREQ(CgiErrorText(form.status()), "Out-of-memory error");
  }
  FakeBody exact{std::string(1048576, 'x')};
  FormList form;
  EXPECT_EQ(ReadForm(Post("1048576"), exact.Reader(), form), kCgiOk);
}

TEST(CgiForm, PairsSplitAndDecode) {
  struct Case {
    std::string encoded;
    std::vector<FormList::Pair> pairs;
  } cases[] = {
      {"a=1&b=2", {{"a", "1"}, {"b", "2"}}},
      {"a&b=1", {{"a&b", "1"}}},
      {"a=1&b", {{"a", "1"}}},
      {"noequals", {}},
      {"a=", {{"a", ""}}},
      {"=v", {{"", "v"}}},
      {"a=1=2&b=3", {{"a", "1=2"}, {"b", "3"}}},
      {"a=1&&b=2", {{"a", "1"}, {"&b", "2"}}},
      {"q=a+b", {{"q", "a b"}}},
      {"q=a%20b", {{"q", "a b"}}},
      {"q=%2b%2B", {{"q", "++"}}},
      {"q=%3c%3E", {{"q", "<>"}}},
      {"q=100%", {{"q", "100%"}}},
      {"q=%4", {{"q", "%4"}}},
      {"q=%zz1", {{"q", "%zz1"}}},
      {"q=%25%32%35", {{"q", "%25"}}},  // decoded once only
      {"q=ab%00cd", {{"q", "ab"}}},
      {"vexa_cat%5B%5D=2", {{"vexa_cat%5B%5D", "2"}}},  // names are never decoded
      {"q=caf%C3%A9", {{"q", "caf\xC3\xA9"}}},
  };
  for (const auto& c : cases) {
    auto pairs = ParseFormPairs(c.encoded);
    ASSERT_EQ(pairs.size(), c.pairs.size()) << c.encoded;
    for (size_t i = 0; i < pairs.size(); ++i) {
      EXPECT_EQ(pairs[i].name, c.pairs[i].name) << c.encoded;
      EXPECT_EQ(pairs[i].value, c.pairs[i].value) << c.encoded;
    }
  }
}

TEST(CgiForm, GetIntValueParsesLeadingNumber) {
  struct Case {
    std::string query;
    int status;
    int32_t value;
  } cases[] = {
      {"n=25", kCgiOk, 25},
      {"n=+7", kCgiOk, 7},
      {"n=-3", kCgiOk, -3},
      {"n=0", kCgiOk, 0},
      {"n=%2025x", kCgiOk, 25},
      {"n=12abc", kCgiOk, 12},
      {"n=abc", kCgiNotLegalType, 1},
      {"n=%2B", kCgiNotLegalType, 1},
      {"n=-", kCgiNotLegalType, 1},
      {"n=", kCgiNoData, 1},
      {"n=+", kCgiNoData, 1},  // a plus sign is a space
      {"n=%20%20", kCgiNoData, 1},
      {"m=5", kCgiNotSubmitted, 1},
      {"n=99999999999", kCgiOk, INT32_MAX},
      {"n=-99999999999", kCgiOk, INT32_MIN},
      // A repeated name: the first value that is a number, whatever stands before it.
      {"n=%7BsearchAll%3F%7D&x=1&n=0", kCgiOk, 0},
      {"n={searchAll?}&n=&n=7&n=3", kCgiOk, 7},
      {"n=2&n=x", kCgiOk, 2},
      {"n=x&n=", kCgiNotLegalType, 1},
  };
  for (const auto& c : cases) {
    FormList form(ParseFormPairs(c.query));
    int32_t value = 42;
    EXPECT_EQ(form.GetIntValue("n", value), c.status) << c.query;
    EXPECT_EQ(form.status(), c.status) << c.query;
    EXPECT_EQ(value, c.value) << c.query;
  }
}

TEST(CgiForm, GetIntValuesReadsRepeatedNameUpToCapacity) {
  struct Case {
    std::string query;
    size_t capacity;
    int status;
    std::vector<int32_t> values;
  } cases[] = {
      {"c=2&x=1&c=5", 2, kCgiOk, {2, 5}}, {"c=2&c=5", 1, kCgiOk, {2}},
      {"c=2&c=&c=7", 5, kCgiOk, {2, 7}},  {"c=abc&c=3", 5, kCgiOk, {0, 3}},
      {"c=&c=3", 5, kCgiNoData, {}},      {"x=1", 5, kCgiNotSubmitted, {}},
  };
  for (const auto& c : cases) {
    FormList form(ParseFormPairs(c.query));
    std::vector<int32_t> values{99};
    EXPECT_EQ(form.GetIntValues("c", values, c.capacity), c.status) << c.query;
    EXPECT_EQ(values, c.values) << c.query;
  }
}

TEST(CgiForm, CursorWalksRepeatedNames) {
  FormList form(ParseFormPairs("a=1&b=2&a=3&a=4"));
  EXPECT_EQ(form.FindValue("a").value(), "1");
  EXPECT_EQ(form.NextValue("a").value(), "3");
  EXPECT_EQ(form.FindValue("a").value(), "1");  // FindValue restarts
  EXPECT_EQ(form.NextValue("a").value(), "3");
  EXPECT_EQ(form.NextValue("a").value(), "4");
  EXPECT_FALSE(form.NextValue("a").has_value());
  EXPECT_EQ(form.status(), kCgiNotSubmitted);
  EXPECT_EQ(form.NextValue("b"), std::nullopt);  // the cursor stays at the end
}

TEST(CgiForm, ErrorTexts) {
  EXPECT_STREQ(CgiErrorText(kCgiOk), "The function successfully performed");
  EXPECT_STREQ(CgiErrorText(kCgiContentTypeError), "MIME content type error");
  EXPECT_STREQ(CgiErrorText(kCgiMethodError), "Request method error");
  EXPECT_STREQ(CgiErrorText(kCgiIoError), "I/O error");
  EXPECT_STREQ(CgiErrorText(kCgiNotSubmitted), "No value was submitted");
  EXPECT_STREQ(CgiErrorText(kCacheReadFailed), "");
  EXPECT_STREQ(CgiErrorText(9), "");
  EXPECT_STREQ(CgiErrorText(-1), "");
}

}  // namespace
}  // namespace quorix
