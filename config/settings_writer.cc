#include "config/settings_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "config/settings_escape.h"
#include "config/settings_keys.h"
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

// `verified`: the node has a query URL and passed its last verification.
void NodeLine(std::string& out, const std::string& key, const NodeSettingKey& setting,
              const NodeRecord& node, bool verified) {
  switch (setting.kind) {
    case NodeSettingKind::kDisabled:
      IntLine(out, key, node.disabled ? 1 : 0);
      break;
    case NodeSettingKind::kInt:
      IntLine(out, key, node.*setting.number);
      break;
    case NodeSettingKind::kVexaUrl:
      if (!node.vexaHost.empty())
        TextLine(out, key,
                 EscapeSettingsValue(node.vexaScheme + "://" + node.vexaHost + node.vexaPath));
      break;
    case NodeSettingKind::kOsDescUrl:
      if (!node.osDescHost.empty())
        TextLine(
            out, key,
            EscapeSettingsValue(node.osDescScheme + "://" + node.osDescHost + node.osDescPath));
      break;
    case NodeSettingKind::kOsUrl:
      // The query template keeps its "&" separators: the search program sends it
      // as it stands. Only quotes and backslashes are escaped, so that the value
      // ends at its closing quote.
      if (verified)
        TextLine(
            out, key,
            EscapeQuotesOnly(node.osScheme + "://" + node.osHost + node.osPath + node.osQuery));
      break;
    case NodeSettingKind::kName:
      if (!node.name.empty()) TextLine(out, key, EscapeSettingsValue(node.name));
      break;
  }
}

void NodeLines(std::string& out, int number, int slot, const NodeRecord& node,
               const std::function<bool(int)>& nodeVerified) {
  std::string prefix = "NODE" + std::to_string(number);
  // Asked only for a node whose query URL would be written.
  bool verified =
      !node.osDescHost.empty() && !node.osHost.empty() && nodeVerified && nodeVerified(slot);
  for (const NodeSettingKey& setting : kNodeSettingKeys)
    NodeLine(out, prefix + std::string(setting.suffix), setting, node, verified);
}

void SettingLine(std::string& out, const SettingKey& key, const Config& config) {
  std::string name(key.name);
  switch (key.kind) {
    case SettingKind::kInt:
      IntLine(out, name, config.*key.number);
      break;
    case SettingKind::kFlag:
      IntLine(out, name, config.*key.number != 0 ? 1 : 0);
      break;
    case SettingKind::kFileName:
      NameLine(out, name, config.*key.text);
      break;
    case SettingKind::kText:
      // Escaped like the file names, so that a folder name with a quote or a
      // backslash survives being read back.
      if (!(config.*key.text).empty()) TextLine(out, name, EscapeSettingsValue(config.*key.text));
      break;
  }
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
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  // A copy that kept the default mode could show a protected file to everyone.
  if (fd >= 0 && mode != 0666 && fchmod(fd, mode) != 0) {
    int error = errno;
    close(fd);
    unlink(temporary.c_str());
    errno = error;
    return -1;
  }
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
  for (size_t index = 0; index < std::size(kSettingKeys); ++index) {
    if (index == kKeysBeforeNodes) {
      int written = 0;
      for (int slot = 0; slot < config.nodeCount && slot < kMaxNodes; ++slot) {
        const NodeRecord& node = config.nodes[slot];
        if (node.timeoutMs > 0) NodeLines(out, written++, slot, node, nodeVerified);
      }
    }
    SettingLine(out, kSettingKeys[index], config);
  }
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
