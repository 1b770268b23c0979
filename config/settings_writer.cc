#include "config/settings_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "config/settings_escape.h"
#include "platform/safe_file.h"
#include "platform/text.h"

namespace quorix {
namespace {

void IntLine(std::string& out, const std::string& key, int32_t value) {
  out += key + " = " + std::to_string(value) + "\r\n";
}

void TextLine(std::string& out, const std::string& key, const std::string& value) {
  out += key + " = \"" + value + "\"\r\n";
}

// File names are written only when they hold 2 characters or more.
void NameLine(std::string& out, const std::string& key, const std::string& value) {
  if (Utf16Length(value) >= 2) TextLine(out, key, EscapeSettingsValue(value));
}

// A double quote or backslash gets a backslash in front; nothing else changes.
std::string EscapeQuotesOnly(const std::string& value) {
  std::string out;
  for (char c : value) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

void NodeLines(std::string& out, int number, int slot, const NodeRecord& node,
               const std::function<bool(int)>& nodeVerified) {
  std::string prefix = "NODE" + std::to_string(number);
  IntLine(out, prefix + "_DISABLED", node.disabled ? 1 : 0);
  IntLine(out, prefix + "_TYPE", node.type);
  IntLine(out, prefix + "_STRICT_QUERY_SYNTAX", node.strictQuerySyntax);
  IntLine(out, prefix + "_TIMEOUT_MS", node.timeoutMs);
  if (!node.vexaHost.empty())
    TextLine(out, prefix + "_VEXA_URL",
             EscapeSettingsValue(node.vexaScheme + "://" + node.vexaHost + node.vexaPath));
  if (!node.osDescHost.empty()) {
    TextLine(out, prefix + "_OS_DESC_URL",
             EscapeSettingsValue(node.osDescScheme + "://" + node.osDescHost + node.osDescPath));
    // The query template keeps its "&" separators: the search program sends it
    // as it stands. Only quotes and backslashes are escaped, so that the value
    // ends at its closing quote.
    if (!node.osHost.empty() && nodeVerified && nodeVerified(slot))
      TextLine(out, prefix + "_OS_URL",
               EscapeQuotesOnly(node.osScheme + "://" + node.osHost + node.osPath + node.osQuery));
  }
  if (!node.name.empty()) TextLine(out, prefix + "_NAME", EscapeSettingsValue(node.name));
}

// A name for the temporary file beside `target`, unique within this process.
std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

// Creates the temporary file with the permissions a plain new file would get
// (or those of the file it replaces). Returns the descriptor or -1.
int CreateTemporary(const std::string& temporary, const std::string& target) {
  mode_t mode = 0666;
  struct stat existing;
  if (stat(target.c_str(), &existing) == 0) mode = existing.st_mode & 07777;
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0 && mode != 0666) fchmod(fd, mode);
  return fd;
}

// Reports `target` and the system's reason for `error` (an errno value).
void ReportCannotSave(const SettingsWriteHooks& hooks, const std::string& target, int error) {
  std::string failure = target + ": " + std::generic_category().message(error);
  if (hooks.failure) *hooks.failure = failure;
  if (hooks.showError)
    hooks.showError("Could not save configuration to disk in file\n" + failure +
                        "\nCheck that the directory exists.\nand that you have write access to "
                        "this directory.\n",
                    "Can't save to file");
}

}  // namespace

std::string FormatSettings(const Config& config, const std::function<bool(int)>& nodeVerified) {
  std::string out;
  IntLine(out, "DEBUG", config.debugMode);
  IntLine(out, "AllowRequestDebug", config.allowRequestDebug);
  IntLine(out, "INT_OVER_REQUEST_FACTOR", config.overRequestFactor);
  IntLine(out, "INT_CACHE_VALID_PERIOD_MINS", config.cacheValidPeriodMins);
  int written = 0;
  for (int slot = 0; slot < config.nodeCount && slot < kMaxNodes; ++slot) {
    const NodeRecord& node = config.nodes[slot];
    if (node.timeoutMs <= 0) continue;
    NodeLines(out, written++, slot, node, nodeVerified);
  }
  NameLine(out, "LanguageFileName", config.languageFileName);
  NameLine(out, "TemplateFilename", config.templateFilename);
  IntLine(out, "FormFormat", config.formFormat);
  IntLine(out, "Logging", config.logging);
  NameLine(out, "LogFileName", config.logFileName);
  IntLine(out, "DebugLogging", config.debugLogging);
  NameLine(out, "DebugFileName", config.debugFileName);
  IntLine(out, "DefaultToAnd", config.defaultToAnd != 0 ? 1 : 0);
  IntLine(out, "VexaInfo", config.showVexaInfo);
  IntLine(out, "Timing", config.showSearchTime);
  IntLine(out, "UseCats", config.useCats);
  IntLine(out, "SearchMultiCats", config.searchMultiCats);
  IntLine(out, "Spelling", config.spelling);
  IntLine(out, "SpellingWhenLessThan", config.spellingWhenLessThan);
  IntLine(out, "RecommendedMax", config.recommendedMax);
  IntLine(out, "Recommended", config.recommended);
  IntLine(out, "UseDateTime", config.useDateTime);
  IntLine(out, "MergeDuplicates", config.mergeDuplicates);
  IntLine(out, "ShowSources", config.showSources);
  IntLine(out, "NodeBackoffFailures", config.nodeBackoffFailures);
  IntLine(out, "NodeBackoffSecs", config.nodeBackoffSecs);
  NameLine(out, "OpenSearchShortName", config.openSearchShortName);
  NameLine(out, "OpenSearchDescription", config.openSearchDescription);
  NameLine(out, "PublicBaseUrl", config.publicBaseUrl);
  // Escaped like the other paths, so that a folder name with a quote or a
  // backslash survives being read back.
  if (!config.controlPanelInstallDirectory.empty())
    TextLine(out, "ControlPanelInstallDirectory",
             EscapeSettingsValue(config.controlPanelInstallDirectory));
  IntLine(out, "ControlPanelLogging", config.controlPanelLogging);
  IntLine(out, "ControlPanelDebugMode", config.controlPanelDebugMode);
  IntLine(out, "ControlPanelWarnWord", config.controlPanelWarnWord);
  return out;
}

int SaveSettings(const std::string& path, const std::string& fileName, const Config& config,
                 const SettingsWriteHooks& hooks) {
  if (path.empty()) return -1;
  std::string target = fileName.empty() ? path : path + "/" + fileName;

  std::error_code error;
  if (std::filesystem::exists(target, error) && hooks.askYesNo &&
      !hooks.askYesNo("\"" + target + "\" already exist and will be overwritten.  Continue?",
                      "Overwrite files?"))
    return 1;

  std::string temporary = TemporaryName(target);
  int fd = CreateTemporary(temporary, target);
  if (fd < 0) {
    if (hooks.sleep) hooks.sleep(kRetryDelayMs);
    fd = CreateTemporary(temporary, target);
  }
  if (fd < 0) {
    ReportCannotSave(hooks, target, errno);
    return -1;
  }

  std::string content = FormatSettings(config, hooks.nodeVerified);
  if (hooks.appendLanguageLines) hooks.appendLanguageLines(content);
  int failed = 0;
  if (!WriteAll(fd, content)) failed = errno;
  if (fsync(fd) != 0 && failed == 0) failed = errno;
  if (close(fd) != 0 && failed == 0) failed = errno;
  if (failed == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) failed = errno;
  if (failed != 0) {
    std::remove(temporary.c_str());
    ReportCannotSave(hooks, target, failed);
    return -1;
  }

  if (config.useCats != 0 && !config.categoryNames.empty() && hooks.writeCategoryNames) {
    std::string directory = std::filesystem::path(target).parent_path().string();
    hooks.writeCategoryNames(directory.empty() ? "." : directory, config);
  }
  return 0;
}

}  // namespace quorix
