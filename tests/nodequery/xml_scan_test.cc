#include "nodequery/xml_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace quorix {
namespace {

std::string Decoded(std::string text) {
  DecodeCharacterReferences(text);
  return text;
}

TEST(DecodeCharacterReferences, NumericAndNamedReferences) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"&#65;", "A"},
      {"&#x41;", "A"},
      {"&#X41;", "&"},   // upper-case X is not a hexadecimal reference
      {"a&#0;b", "ab"},  // a NUL never reaches our text
      {"a&#x0;b&#x00;", "ab"},
      {"&#x;", "&"},
      {"a&#-5;b", "a&b"},
      {"&#x4G;", "&"},               // the hexadecimal number must end at the ";"
      {"&#123456;", "&#123456;"},    // ";" too far from the "&"
      {"&#12345;", "\xE3\x80\xB9"},  // 12345 = U+3039
      {"&#65536;", "\xF0\x90\x80\x80"},  // the whole value: U+10000, not a NUL
      {"&#65601;", "\xF0\x90\x81\x81"},  // U+10041, not "A"
      {"&#55296;", "\xEF\xBF\xBD"},      // a lone surrogate
      {"&#xDFFF;", "\xEF\xBF\xBD"},
      {"&#xFFFE;", "\xEF\xBF\xBE"},      // kept; the writers replace it
      {"&#x110000;", "&#x110000;"},        // ";" too far from the "&"
      {"&#x100000041;", "&#x100000041;"},
      {"x &# no semicolon", "x &# no semicolon"},
      {"&amp;", "&"},
      {"&AMP;", "&AMP;"},
      {"&agrave;&Agrave;", "\xC3\xA0\xC3\x80"},
      {"&nbsp;", "&nbsp;"},
      {"&#38;amp;", "&"},
      {"&amp;lt;", "&lt;"},  // decoded "&" is not decoded again
      {"&ldquo;&rsquo;&trade;", "\"'\xE2\x84\xA2"},
      {"&OElig;&Yuml;", "\xC5\x92\xC5\xB8"},
      {"&euro;", "\xE2\x82\xAC"},
      {"&abcdefg;", "&abcdefg;"},           // not in the table
      {"&abcdefghi;&lt;", "&abcdefghi;<"},  // too far, then a real one
      {"Q&A &amp; more", "Q&A & more"},     // the bare "&" before it is kept
      {"a&x&lt;", "a&x<"},
      {"caf\xC3\xA9&eacute;", "caf\xC3\xA9\xC3\xA9"},
      {"&#\xC3\xA9\xC3\xA9\xC3\xA9;", "&"},  // 5 characters from "&" to ";", 8 bytes
  };
  for (const auto& c : cases) EXPECT_EQ(Decoded(c.in), c.out) << "input: " << c.in;
}

TEST(DecodeCharacterReferences, LongTextIsFast) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "&#&";
  text += ";";
  std::string copy = text;
  DecodeCharacterReferences(copy);  // would take minutes if each "&" rescanned to the end
  EXPECT_EQ(copy.size(), 599995u);  // the last "&#" within reach of ";" is removed
}

TEST(StripCdata, RemovesTheWrapper) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"<![CDATA[abc]]>", "abc"},
      {"abc", "abc"},
      {"<![CDATA[abc]]>tail]]>", "abc"},
      {"<![CDATA[abc", "abc"},  // no "]]>": the rest of the text
      {"<![cdata[abc]]>", "<![cdata[abc]]>"},
      {" <![CDATA[abc]]>", " <![CDATA[abc]]>"},
  };
  for (const auto& c : cases) EXPECT_EQ(StripCdata(c.in), c.out) << "input: " << c.in;
  EXPECT_EQ(StripCdata(std::string(5000, 'x')).size(), 4095u);
  EXPECT_EQ(StripCdata("<![CDATA[" + std::string(5000, 'x') + "]]>").size(), 4095u);
}

TEST(GetAttribute, ReadsDoubleQuotedValues) {
  struct Case {
    std::string tag, prefix;
    Status status;
    std::string value;
  } cases[] = {
      {"<Url template=\"http://a/?q={searchTerms}\"/>", "template=", kOk,
       "http://a/?q={searchTerms}"},
      {"<Url template='http://a/'/>", "template=", kOk, ""},
      {"<Url type=\"x\"/>", "template=", kXmlNoAttribute, "old"},
      {"<a href=\"\">", "href=", kOk, ""},
      {"<a xhref=\"one\" href=\"two\">", "href=", kOk, "one"},  // substring match
      {"<a href=\"open", "href=", kOk, "open"},
  };
  for (const auto& c : cases) {
    std::string value = "old";
    EXPECT_EQ(GetAttribute(c.tag, c.prefix, value), c.status) << "tag: " << c.tag;
    EXPECT_EQ(value, c.value) << "tag: " << c.tag;
  }
  std::string value;
  EXPECT_EQ(GetAttribute("<a v=\"abcdef\">", "v=", value, 4), kOk);
  EXPECT_EQ(value, "abc");
}

constexpr char kDescription[] =
    "<?xml version=\"1.0\"?>\n"
    "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">\n"
    "  <ShortName>Test</ShortName>\n"
    "  <Url type=\"text/html\" template=\"http://h/html?q={searchTerms}\"/>\n"
    "  <Url type=\"application/rss+xml\" template=\"http://h/rss?q={searchTerms}\"/>\n"
    "  <Url type=\"application/atom+xml\">http://h/atom</Url>\n"
    "</OpenSearchDescription>\n";

TEST(FindElement, TakesTheRequestedOccurrence) {
  FindResult out;
  EXPECT_EQ(FindElement(false, kDescription, "%s%T", {"OpenSearchDescription", "ShortName"}, 0,
                        true, out),
            kOk);
  EXPECT_EQ(out.tag, "<ShortName>");
  EXPECT_EQ(out.content, "Test");
  EXPECT_EQ(out.contentLength, 4u);

  // Self-closing occurrence with content wanted: -3006, the start tag is still given.
  EXPECT_EQ(
      FindElement(false, kDescription, "%s%T", {"OpenSearchDescription", "Url"}, 0, true, out),
      kXmlSelfClosing);
  EXPECT_EQ(out.tag, "<Url type=\"text/html\" template=\"http://h/html?q={searchTerms}\"/>");
  EXPECT_EQ(out.contentLength, 0u);

  EXPECT_EQ(FindElement(false, kDescription, "sT", {"OpenSearchDescription", "Url"}, 2, true, out),
            kOk);
  EXPECT_EQ(out.content, "http://h/atom");
  EXPECT_EQ(FindElement(false, kDescription, "sT", {"OpenSearchDescription", "Url"}, 3, true, out),
            kXmlNotFound);
  // A length query: capacity 0 gives the length plus one and copies nothing.
  EXPECT_EQ(FindElement(false, kDescription, "sT", {"OpenSearchDescription", "Url"}, 2, true, out,
                        512, 0),
            kOk);
  EXPECT_EQ(out.contentLength, 14u);
  EXPECT_EQ(out.content, "");
}

TEST(FindElement, StatusCodes) {
  struct Case {
    std::string text, path;
    Status status;
  } cases[] = {
      {"<a><b>x</b></a>", "sT", kOk},
      {"<a><b>x</b></a>", "sX", kXmlBadPath},
      {"<a><b>x</b></a>", "sTT", kOk},          // a taken element ends the walk
      {"<a><b>x</b></a>", "sss", kXmlBadPath},  // more letters than names
      {"<a><b>x</b>", "sT", kXmlNotFound},      // no end tag of a
      {"<a><b>x</a>", "sT", kXmlNotFound},      // no end tag of b
      {"<a><b", "sT", kXmlNotFound},            // no ">"
      {"<c></c>", "sT", kXmlNotFound},
      {"<a/><b>x</b>", "sT", kOk},  // self-closing a: entering it is done at once
      {"<a><b>" + std::string(5000, 'y') + "</b></a>", "sT", kTooLong},
      {"<a><b " + std::string(600, 'y') + ">x</b></a>", "sT", kTooLong},
  };
  for (const auto& c : cases) {
    FindResult out;
    EXPECT_EQ(FindElement(false, c.text, c.path, {"a", "b"}, 0, true, out), c.status)
        << "text: " << c.text.substr(0, 40) << " path: " << c.path;
  }
}

TEST(FindElement, MatchesNamesByPrefix) {
  FindResult out;
  EXPECT_EQ(FindElement(false, "<r><linkage>x</link></r>", "sT", {"r", "link"}, 0, true, out), kOk);
  EXPECT_EQ(out.tag, "<linkage>");
  EXPECT_EQ(out.content, "x");
}

TEST(FindElement, CdataIsSteppedOverOnlyForOpenSearchNodes) {
  std::string text = "<a><b><![CDATA[</b>]]>z</b></a>";
  FindResult out;
  EXPECT_EQ(FindElement(true, text, "sT", {"a", "b"}, 0, true, out), kOk);
  EXPECT_EQ(out.content, "<![CDATA[</b>]]>z");  // wrapper kept in the content
  EXPECT_EQ(FindElement(false, text, "sT", {"a", "b"}, 0, true, out), kOk);
  EXPECT_EQ(out.content, "<![CDATA[");
  EXPECT_EQ(FindElement(true, "<a><b><![CDATA[x</b></a>", "sT", {"a", "b"}, 0, true, out),
            kXmlNotFound);
}

TEST(FindElementByAttribute, TakesTheFirstTagWithTheFilter) {
  std::string value;
  EXPECT_EQ(FindElementByAttribute(false, kDescription, "%s%T", {"OpenSearchDescription", "Url"},
                                   "type=\"application/rss", "template=", value),
            kOk);
  EXPECT_EQ(value, "http://h/rss?q={searchTerms}");
  EXPECT_EQ(FindElementByAttribute(false, kDescription, "sT", {"OpenSearchDescription", "Url"},
                                   "type=\"application/atom", "template=", value),
            kXmlNoAttribute);
  EXPECT_EQ(FindElementByAttribute(false, kDescription, "sT", {"OpenSearchDescription", "Url"},
                                   "type=\"image", "template=", value),
            kXmlNotFound);
  EXPECT_EQ(FindElementByAttribute(false, kDescription, "sT", {"OpenSearchDescription", "Url"},
                                   "type=\"application/rss", "template=", value, 10),
            kTooLong);
}

TEST(TrimContent, RemovesBlanksAtBothEnds) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {" \r\nx y \t", "x y"}, {std::string("\0\0a\0", 4), "a"}, {" \t\r\n", ""}, {"", ""},
      {"a b", "a b"},
  };
  for (const auto& c : cases) {
    std::string text = c.in;
    EXPECT_EQ(TrimContent(text), c.out.size()) << "input: " << c.in;
    EXPECT_EQ(text, c.out) << "input: " << c.in;
  }
}

}  // namespace
}  // namespace quorix
