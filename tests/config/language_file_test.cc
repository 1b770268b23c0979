#include "config/language_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

#include "config/lang_keys.h"
#include "platform/text.h"

namespace quorix {
namespace {

namespace fs = std::filesystem;

struct Message {
  LanguageMessageKind kind;
  std::string text;
};

class RecordingMessages : public LanguageMessages {
 public:
  void Log(LanguageMessageKind kind, std::string_view line) override {
    logged.push_back({kind, std::string(line)});
  }
  void WarnMissingEntries(std::string_view title, std::string_view text) override {
    warnings.emplace_back(std::string(title), std::string(text));
  }
  std::vector<Message> logged;
  std::vector<std::pair<std::string, std::string>> warnings;
};

class LanguageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorix_lang_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Writes `bytes` as a file in the test directory and returns its path.
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // The UTF-16LE bytes of `utf8`, with a byte-order mark when `bom`.
  static std::string Utf16File(const std::string& utf8, bool bom = true) {
    return (bom ? std::string("\xFF\xFE", 2) : std::string()) + Utf16ToLeBytes(Utf8ToUtf16(utf8));
  }
  // Every key with the value "v<index>", one per CR LF line.
  static std::string AllKeys() {
    std::string text;
    for (int i = 0; i < kLangKeyCount; ++i)
      text += std::string(kLangKeys[i]) + "=v" + std::to_string(i) + "\r\n";
    return text;
  }

  std::string dir_;
};

TEST_F(LanguageFileTest, CompleteFileWithByteOrderMarkGivesEverySettingsLine) {
  std::string path = WriteFile("full.vlang", Utf16File("# comment line\r\n" + AllKeys()));
  std::string settings;
  RecordingMessages messages;
  EXPECT_TRUE(CopyLanguageStrings(path, settings, messages));
  EXPECT_TRUE(messages.logged.empty());
  EXPECT_TRUE(messages.warnings.empty());
  std::string expected;
  for (int i = 0; i < kLangKeyCount; ++i)
    expected += std::string(kLangKeys[i]) + " = \"v" + std::to_string(i) + "\"\r\n";
  EXPECT_EQ(settings, expected);
}

TEST_F(LanguageFileTest, LinesAreSplitIntoKeyAndValue) {
  struct Case {
    std::string line;
    std::vector<std::pair<std::string, std::string>> entries;
    std::vector<std::string> logged;
  } cases[] = {
      {"STR_OR=or", {{"STR_OR", "or"}}, {}},
      {"STR_OR=or\r\n", {{"STR_OR", "or"}}, {}},
      {"text before STR_OR=or", {{"STR_OR", "or"}}, {}},
      {"STR_OR= or ", {{"STR_OR", " or "}}, {}},
      {"STR_OR=a=b", {{"STR_OR", "a=b"}}, {}},
      {"STR_POWEREDBY = Powered by",
       {},
       {"Invalid text entry \"STR_POWEREDBY \" in language file (t.vlang)"}},
      {"STR_NOT_A_KEY=x", {}, {"Invalid text entry \"STR_NOT_A_KEY\" in language file (t.vlang)"}},
      {"STR_OR=", {}, {}},                                  // no value: skipped without a word
      {"STR_OR\r\n", {}, {}},                               // no "=" at all
      {"#STR_OR=or", {}, {}},                               // comment
      {"OR=or", {}, {}},                                    // no STR_
      {"STR_OR=or\rSTR_RESULT=x", {{"STR_OR", "or"}}, {}},  // a lone CR ends the line
      {"STR_OR=or\nSTR_RESULT=r", {{"STR_OR", "or"}, {"STR_RESULT", "r"}}, {}},
      {"STR_OR=\xE2\x82\xAC \xF0\x9F\x98\x80", {{"STR_OR", "\xE2\x82\xAC \xF0\x9F\x98\x80"}}, {}},
  };
  for (const auto& c : cases) {
    RecordingMessages messages;
    auto entries = ParseLanguageText(Utf8ToUtf16(c.line), "t.vlang", messages);
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& e : entries) got.emplace_back(e.key, e.value);
    EXPECT_EQ(got, c.entries) << "line: " << c.line;
    std::vector<std::string> logged;
    for (const auto& m : messages.logged) logged.push_back(m.text);
    EXPECT_EQ(logged, c.logged) << "line: " << c.line;
  }
}

TEST_F(LanguageFileTest, LongKeysAndValuesAreCut) {
  RecordingMessages messages;
  std::string longValue(250, 'x');
  auto entries = ParseLanguageText(Utf8ToUtf16("STR_OR=" + longValue), "t.vlang", messages);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].value, std::string(kLangValueMaxUnits, 'x'));

  // A value whose cut falls inside a surrogate pair loses the whole character.
  std::string emojiValue = std::string(kLangValueMaxUnits - 1, 'y') + "\xF0\x9F\x98\x80";
  entries = ParseLanguageText(Utf8ToUtf16("STR_OR=" + emojiValue), "t.vlang", messages);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].value, std::string(kLangValueMaxUnits - 1, 'y'));

  std::string longKey = "STR_" + std::string(60, 'K');
  ParseLanguageText(Utf8ToUtf16(longKey + "=v"), "t.vlang", messages);
  ASSERT_FALSE(messages.logged.empty());
  EXPECT_EQ(messages.logged.back().kind, LanguageMessageKind::kInvalidEntry);
  EXPECT_EQ(messages.logged.back().text, "Invalid text entry \"" +
                                             longKey.substr(0, kLangKeyMaxUnits) +
                                             "\" in language file (t.vlang)");
}

TEST_F(LanguageFileTest, AmpersandIsWrittenAsCharacterReference) {
  std::string path = WriteFile("amp.vlang", Utf16File("STR_RECOMMENDED=Links & more \"now\"\r\n"));
  std::string settings;
  RecordingMessages messages;
  EXPECT_TRUE(CopyLanguageStrings(path, settings, messages));
  EXPECT_EQ(settings, "STR_RECOMMENDED = \"Links &#38; more \\\"now\\\"\"\r\n");
}

TEST_F(LanguageFileTest, KeyTwiceCopiesBothLinesAndCountsBoth) {
  // 44 distinct keys, one of them twice: 45 entries, so no warning.
  std::string text;
  for (int i = 0; i < kLangKeyCount - 1; ++i) text += std::string(kLangKeys[i]) + "=a\r\n";
  text += "STR_OR=second\r\n";
  std::string path = WriteFile("dup.vlang", Utf16File(text));
  std::string settings;
  RecordingMessages messages;
  EXPECT_TRUE(CopyLanguageStrings(path, settings, messages));
  EXPECT_NE(settings.find("STR_OR = \"a\"\r\n"), std::string::npos);
  EXPECT_NE(settings.find("STR_OR = \"second\"\r\n"), std::string::npos);
  EXPECT_TRUE(messages.warnings.empty());
}

TEST_F(LanguageFileTest, EightBitFileHasNoEntriesAndWarns) {
  std::string path = WriteFile("ansi.vlang", AllKeys());
  std::string settings;
  RecordingMessages messages;
  EXPECT_TRUE(CopyLanguageStrings(path, settings, messages));
  EXPECT_EQ(settings, "");
  ASSERT_EQ(messages.logged.size(), 1u);
  EXPECT_EQ(messages.logged[0].kind, LanguageMessageKind::kMissingEntries);
  EXPECT_EQ(messages.logged[0].text, "Missing text in VLANG file selected (ansi.vlang)");
  ASSERT_EQ(messages.warnings.size(), 1u);
  EXPECT_EQ(messages.warnings[0].first, "Missing text in VLANG file");
  EXPECT_EQ(messages.warnings[0].second,
            "Missing text entries in VLANG file selected (ansi.vlang)\nCheck that the file "
            "contains all valid entries and is encoded in Unicode (UTF-16).\nContiuning with the "
            "current search files will result in some missing text on the search page.\nPlease "
            "correct the VLANG file used.");
}

TEST_F(LanguageFileTest, FileWithoutByteOrderMarkIsReadToo) {
  std::string path = WriteFile("nobom.vlang", Utf16File(AllKeys(), false));
  std::string settings;
  RecordingMessages messages;
  EXPECT_TRUE(CopyLanguageStrings(path, settings, messages));
  EXPECT_TRUE(messages.warnings.empty());
  EXPECT_EQ(settings.rfind("STR_FORM_SEARCHFOR = \"v0\"\r\n", 0), 0u);
}

TEST_F(LanguageFileTest, UnreadableFilesReturnFalseWithTheirMessage) {
  fs::create_directory(dir_ + "/folder.vlang");
  struct Case {
    std::string path;
    LanguageMessageKind kind;
    std::string text;
  } cases[] = {
      {dir_ + "/none.vlang", LanguageMessageKind::kOpenFailed,
       "Could not open language file: none.vlang"},
      {dir_ + "/folder.vlang", LanguageMessageKind::kReadFailed,
       "Failed to read from language file: folder.vlang"},
  };
  for (const auto& c : cases) {
    std::string settings = "kept\n";
    RecordingMessages messages;
    EXPECT_FALSE(CopyLanguageStrings(c.path, settings, messages)) << c.path;
    EXPECT_EQ(settings, "kept\n") << c.path;
    ASSERT_EQ(messages.logged.size(), 1u) << c.path;
    EXPECT_EQ(messages.logged[0].kind, c.kind) << c.path;
    EXPECT_EQ(messages.logged[0].text, c.text) << c.path;
    EXPECT_TRUE(messages.warnings.empty()) << c.path;
  }
}

TEST(LanguageFilePath, JoinsTheLanguageFolder) {
  EXPECT_EQ(LanguageFilePath("/opt/panel", "English.vlang"),
            "/opt/panel/cgi files/lang/English.vlang");
}

TEST(ShippedLanguageFile, EnglishHasEveryKeyOnce) {
  std::string path = LanguageFilePath(QUORIX_SOURCE_DIR "/panel/resources", "English.vlang");
  std::string settings;
  RecordingMessages messages;
  ASSERT_TRUE(CopyLanguageStrings(path, settings, messages));
  EXPECT_TRUE(messages.logged.empty());
  std::map<std::string, int> keyCounts;
  for (size_t start = 0; start < settings.size();) {
    size_t end = settings.find('\n', start);
    std::string line = settings.substr(start, end - start);
    keyCounts[line.substr(0, line.find(' '))]++;
    start = end == std::string::npos ? settings.size() : end + 1;
  }
  EXPECT_EQ(keyCounts.size(), static_cast<size_t>(kLangKeyCount));
  for (const auto& key : kLangKeys) EXPECT_EQ(keyCounts[std::string(key)], 1) << key;
  EXPECT_NE(settings.find("STR_POWEREDBY = \"Powered by\"\r\n"), std::string::npos);
  EXPECT_NE(settings.find("STR_FORM_SEARCHFOR = \"Search for:\"\r\n"), std::string::npos);
  // The page links add the arrows themselves.
  EXPECT_NE(settings.find("STR_RESULT_PAGES_PREVIOUS = \"Previous\"\r\n"), std::string::npos);
  // The page puts the count in place of the %d.
  EXPECT_NE(settings.find("STR_SOURCES_PENDING = \"Sources still answering: %d.\"\r\n"),
            std::string::npos);
  EXPECT_NE(settings.find("STR_MORE_RESULTS_ARRIVED = \"%d more results arrived: show them\"\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace quorix
