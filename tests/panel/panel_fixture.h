// A temporary control panel installation and a session over it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "config/lang_keys.h"
#include "panel/core/session.h"
#include "platform/text.h"
#include "scripted_desktop.h"

namespace quorix::panel::testing {

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
}

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorix-panel-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    // The user's own folders lie inside the test's folder.
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
    install = root + "/install";
    std::filesystem::create_directories(install + "/cgi files/lang");
    WriteWholeFile(install + "/cgi files/quorix.cgi", "#!cgi\n");
    WriteWholeFile(install + "/cgi files/search_template.html", "<html><!--VEXASEARCH--></html>\n");
    WriteWholeFile(install + "/cgi files/quorix-results.js", "'use strict';\n");
    englishFile = LanguageFile(kLangKeyCount);
    WriteWholeFile(install + "/cgi files/lang/English.vlang", englishFile);
    SettingsSources sources;
    sources.sleep = [this](int ms) { slept.push_back(ms); };
    session = std::make_unique<PanelSession>(desktop, install, sources);
  }

  void TearDown() override {
    session.reset();
    std::filesystem::remove_all(root);
  }

  // A Vexa node in use at `slot` of `config`.
  static void PutVexaNode(Config& config, int slot, const std::string& host,
                          const std::string& path = "/search.cgi", int timeout = 5000) {
    NodeRecord& node = config.nodes[slot];
    node = NodeRecord{};
    node.disabled = false;
    node.vexaScheme = "http";
    node.vexaHost = host;
    node.vexaPath = path;
    node.nodeUrl = "http://" + host + path;
    node.timeoutMs = timeout;
  }

  // A UTF-16LE language file with the first `count` keys, each valued "Text <n>".
  static std::string LanguageFile(int count) {
    std::u16string text = u"\uFEFF# language file\r\n";
    for (int i = 0; i < count; ++i)
      text += Utf8ToUtf16(std::string(kLangKeys[i]) + "=Text " + std::to_string(i) + "\r\n");
    return Utf16ToLeBytes(text);
  }

  std::string englishFile;
  std::string root;
  std::string install;
  ScriptedDesktop desktop;
  std::vector<int> slept;
  std::unique_ptr<PanelSession> session;
};

}  // namespace quorix::panel::testing
