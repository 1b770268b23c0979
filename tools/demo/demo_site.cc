#include "tools/demo/demo_site.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <utility>

#include "config/category_names.h"
#include "config/language_file.h"
#include "config/settings_escape.h"

namespace quorix::demo {
namespace {

namespace fs = std::filesystem;

// Language file messages go to the terminal: the demo has no window.
class PrintedMessages : public LanguageMessages {
 public:
  void Log(LanguageMessageKind, std::string_view line) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  }
  void WarnMissingEntries(std::string_view, std::string_view text) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
};

std::string IntLine(const std::string& key, int value) {
  return key + " = " + std::to_string(value) + "\n";
}

std::string TextLine(const std::string& key, const std::string& value) {
  return key + " = \"" + EscapeSettingsValue(value) + "\"\n";
}

bool WriteFile(const fs::path& path, const std::string& text, std::string* error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  if (!file.good()) {
    *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

// Gives the folders the CGI writes to the user that lighttpd runs as.
bool HandOver(const DemoSiteOptions& options, const std::vector<fs::path>& folders,
              std::string* error) {
  passwd* user = getpwnam(options.user.c_str());
  group* group = getgrnam(options.group.c_str());
  if (!user || !group) {
    *error = "unknown user or group: " + options.user + ":" + options.group;
    return false;
  }
  for (const fs::path& folder : folders) {
    if (chown(folder.c_str(), user->pw_uid, group->gr_gid) != 0) {
      *error = "cannot hand " + folder.string() + " to " + options.user;
      return false;
    }
  }
  return true;
}

// Where lighttpd puts the FastCGI socket: in the site's run/ folder unless
// that path is too long for a socket address, then in /tmp by the web port.
std::string SocketPath(const DemoSiteOptions& options, const fs::path& root) {
  constexpr size_t kSocketPathRoom = 90;  // sun_path holds 108, lighttpd adds "-0"
  std::string path = (root / "run" / "quorix.sock").string();
  if (path.size() <= kSocketPathRoom) return path;
  return "/tmp/quorix-demo-" + std::to_string(options.webPort) + ".sock";
}

// The lines that run quorix: as a CGI, or as FastCGI processes that lighttpd
// starts and keeps.
std::string ProgramLines(const DemoSiteOptions& options, const fs::path& root) {
  if (!options.fastCgi) return "cgi.assign = (\".cgi\" => \"\")\n";
  return "fastcgi.server = (\"/quorix.cgi\" => ((\n"
         "  \"bin-path\" => \"" +
         (root / "www" / "quorix.cgi").string() +
         "\",\n"
         "  \"socket\" => \"" +
         SocketPath(options, root) +
         "\",\n"
         "  \"max-procs\" => " +
         std::to_string(options.fastCgiProcesses) +
         ",\n"
         "  \"check-local\" => \"disable\"\n"
         ")))\n";
}

}  // namespace

std::string LighttpdConfig(const DemoSiteOptions& options) {
  fs::path root = fs::absolute(options.directory);
  std::string text =
      "server.document-root = \"" + (root / "www").string() + "\"\n" +
      "server.bind = \"127.0.0.1\"\n" + "server.port = " + std::to_string(options.webPort) + "\n" +
      "server.modules = (\"mod_access\", \"" + (options.fastCgi ? "mod_fastcgi" : "mod_cgi") +
      "\", \"mod_redirect\")\n" + "server.errorlog = \"" +
      (root / "logs" / "lighttpd-error.log").string() + "\"\n" + ProgramLines(options, root) +
      "url.redirect = (\"^/$\" => \"/quorix.cgi\")\n" +
      "mimetype.assign = (\".html\" => \"text/html\", \".css\" => \"text/css\", "
      "\".js\" => \"text/javascript\")\n" +
      "# The settings, the category names, the logs and the cached result sets are not for "
      "visitors.\n" +
      "url.access-deny = (\".qxdat\", \".log\")\n" +
      "$HTTP[\"url\"] =~ \"^/(cache|logs)(/|$)\" { url.access-deny = (\"\") }\n";
  if (!options.user.empty())
    text += "server.username = \"" + options.user + "\"\nserver.groupname = \"" + options.group +
            "\"\n";
  return text;
}

std::string DemoSettingsText(const DemoSiteOptions& options) {
  fs::path root = fs::absolute(options.directory);
  std::string text = IntLine("DEBUG", options.debugMode) + IntLine("INT_OVER_REQUEST_FACTOR", 2) +
                     IntLine("INT_CACHE_VALID_PERIOD_MINS", options.cacheMinutes);
  for (size_t i = 0; i < options.nodes.size(); ++i) {
    const SiteNode& node = options.nodes[i];
    std::string prefix = "NODE" + std::to_string(i) + "_";
    text += IntLine(prefix + "DISABLED", node.disabled ? 1 : 0) +
            IntLine(prefix + "TYPE", node.type) + IntLine(prefix + "STRICT_QUERY_SYNTAX", 0) +
            IntLine(prefix + "TIMEOUT_MS", node.timeoutMs);
    text += TextLine(prefix + (node.type == 0 ? "VEXA_URL" : "OS_DESC_URL"), node.url);
  }
  text += TextLine("LanguageFileName", fs::path(options.languageFile).filename().string()) +
          IntLine("FormFormat", options.formFormat) + IntLine("Logging", 1) +
          TextLine("LogFileName", (root / "logs" / "searchwords.log").string()) +
          IntLine("DebugLogging", options.debugFile.empty() ? 0 : 1) +
          (options.debugFile.empty() ? "" : TextLine("DebugFileName", options.debugFile)) +
          IntLine("DefaultToAnd", 0) + IntLine("VexaInfo", 1) + IntLine("Timing", 1) +
          IntLine("UseCats", options.categoryNames.empty() ? 0 : 1) +
          IntLine("SearchMultiCats", 1) + IntLine("Spelling", 1) +
          IntLine("SpellingWhenLessThan", 3) + IntLine("RecommendedMax", 3) +
          IntLine("Recommended", 1) + IntLine("UseDateTime", 1) +
          IntLine("PageMarkup", options.pageMarkup) +
          (options.pageDeadlineMs > 0 ? IntLine("PageDeadlineMs", options.pageDeadlineMs) : "");
  PrintedMessages messages;
  CopyLanguageStrings(options.languageFile, text, messages);
  return text;
}

bool WriteDemoSite(const DemoSiteOptions& options, std::string* error) {
  fs::path root = options.directory;
  fs::path www = root / "www";
  std::error_code code;
  fs::create_directories(www / "cache", code);
  fs::create_directories(root / "logs", code);
  if (!code) fs::create_directories(root / "run", code);
  if (code) {
    *error = "cannot create " + www.string() + ": " + code.message();
    return false;
  }
  const std::pair<const std::string*, const char*> copies[] = {
      {&options.quorixBinary, "quorix.cgi"},
      {&options.templateFile, "search_template.html"},
      {&options.scriptFile, "quorix-results.js"}};
  for (const auto& [source, name] : copies)
    if (!code) fs::copy_file(*source, www / name, fs::copy_options::overwrite_existing, code);
  if (code) {
    *error = "cannot copy the program files: " + code.message();
    return false;
  }
  chmod((www / "quorix.cgi").c_str(), 0755);
  if (!options.user.empty() &&
      !HandOver(options, {www / "cache", root / "logs", root / "run"}, error))
    return false;
  if (!options.categoryNames.empty() &&
      !WriteCategoryNames(www.string(), options.categoryNames, std::chrono::milliseconds(0))) {
    *error = "cannot write the category names";
    return false;
  }
  return WriteFile(www / "settings.qxdat", DemoSettingsText(options), error) &&
         WriteFile(root / "lighttpd.conf", LighttpdConfig(options), error);
}

}  // namespace quorix::demo
