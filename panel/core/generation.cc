#include "panel/core/generation.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "panel/core/settings_flows.h"
#include "platform/text.h"

namespace quorix::panel {
namespace {

constexpr char kFolderInstruction[] =
    "Select the output directory to store the files that Quorix ControlPanel will create.  These "
    "are the Quorix CGI files that will need to be copied to your web server.";

// Visitors get neither the settings, the category names, a log file nor
// anything in cache/ or logs/. The folder rule looks at the last two parts of
// the address only, so that a parent folder named "cache" or "logs" is not
// caught by it. Needs AllowOverride AuthConfig FileInfo (or All).
constexpr char kAccessRules[] =
    "# Written by Quorix ControlPanel. The settings, the category names, the logs\n"
    "# and the cached result sets are not for visitors.\n"
    "<FilesMatch \"(?i)^(settings\\.qxdat|vexa_cats\\.qxdat|.*\\.log)$\">\n"
    "    Require all denied\n"
    "</FilesMatch>\n"
    "RedirectMatch 404 \"(?i)/(cache|logs)(/[^/]*)?$\"\n";

// The same refusals, and the CGI lines for the search program, for servers
// that do not read .htaccess. Written for one URL prefix and folder that the
// administrator replaces with the site's own.
constexpr char kLighttpdRules[] =
    "# Written by Quorix ControlPanel for lighttpd. Written for the URL prefix /search/\n"
    "# and the folder /var/www/search: replace both with your site's own.\n"
    "server.modules += (\"mod_access\", \"mod_cgi\")\n"
    "$HTTP[\"url\"] =~ \"^/search/\" {\n"
    "  cgi.assign = (\".cgi\" => \"\")\n"
    "  index-file.names = (\"quorix.cgi\")\n"
    "}\n"
    "# The settings, the category names, the logs and the cache are not for visitors.\n"
    "$HTTP[\"url\"] =~ \"(?i)^/search/"
    "((cache|logs)(/|$)|(.*/)?(settings\\.qxdat|vexa_cats\\.qxdat|[^/]*\\.log)$)\" {\n"
    "  url.access-deny = (\"\")\n"
    "}\n";

constexpr char kNginxRules[] =
    "# Written by Quorix ControlPanel for nginx with fcgiwrap, for the server block.\n"
    "# Written for the URL prefix /search/\n"
    "# and the folder /var/www/search: replace both with your site's own.\n"
    "location = /search/quorix.cgi {\n"
    "  include fastcgi_params;\n"
    "  fastcgi_param SCRIPT_FILENAME /var/www/search/quorix.cgi;\n"
    "  fastcgi_pass unix:/run/fcgiwrap.socket;\n"
    "}\n"
    "# The settings, the category names, the logs and the cache are not for visitors.\n"
    "location ~* \"^/search/"
    "((cache|logs)(/|$)|(.*/)?(settings\\.qxdat|vexa_cats\\.qxdat|[^/]*\\.log)$)\" {\n"
    "  deny all;\n"
    "}\n";

struct GeneratedFile {
  const char* name;  // relative to the output folder
  const char* content;
};
constexpr GeneratedFile kServerRules[] = {
    {".htaccess", kAccessRules},
    {"webserver/lighttpd.conf", kLighttpdRules},
    {"webserver/nginx.conf", kNginxRules},
};

// Asks before `target` is replaced; true when it exists and is to be kept.
bool KeepExistingFile(PanelSession& session, const std::string& target) {
  std::error_code error;
  return std::filesystem::exists(target, error) &&
         session.desktop.MessageBox(
             BoxOwner::kMainWindow,
             "\"" + target + "\" already exist and will be overwritten.  Continue?",
             "Overwrite files?", BoxIcon::kQuestion, BoxButtons::kYesNo) != BoxAnswer::kYes;
}

// Copies the shipped file `name` into `folder`, asking before replacing one.
// Returns false (after a log line) when the copy failed.
bool CopyShippedFile(PanelSession& session, const std::string& folder, const std::string& name) {
  std::string target = folder + "/" + name;
  if (KeepExistingFile(session, target)) return true;
  std::error_code error;
  std::filesystem::copy_file(session.CgiFilesDir() + "/" + name, target,
                             std::filesystem::copy_options::overwrite_existing, error);
  if (!error) return true;
  session.log.Logf(kLogError, "Could not copy \"%s\" to \"%s\"", name.c_str(), folder.c_str());
  return false;
}

// The folder of `fileName` when it lies inside the output folder, else "".
std::string FolderInsideSite(const std::string& fileName) {
  std::filesystem::path folder = std::filesystem::path(fileName).lexically_normal().parent_path();
  if (folder.empty() || folder.has_root_path() || *folder.begin() == "..") return "";
  return folder.string();
}

// The folders, relative to the output folder, that the search program writes
// into: "cache", then the folder of each log file name inside the output folder.
std::vector<std::string> SiteFolders(const Config& config) {
  std::vector<std::string> folders = {"cache"};
  for (const std::string* name : {&config.logFileName, &config.debugFileName}) {
    std::string folder = FolderInsideSite(*name);
    if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(folder);
  }
  return folders;
}

// Creates `relative` and its parents under `outputDir`, each new one with mode
// 0755 whatever the umask. Folders already there are left as they are.
bool CreateSiteFolder(const std::string& outputDir, const std::string& relative) {
  std::filesystem::path path = outputDir;
  for (const std::filesystem::path& part : std::filesystem::path(relative)) {
    path /= part;
    if (mkdir(path.c_str(), 0755) == 0) {
      if (chmod(path.c_str(), 0755) != 0) return false;
    } else {
      std::error_code error;
      if (errno != EEXIST || !std::filesystem::is_directory(path, error)) return false;
    }
  }
  return true;
}

bool CreateSiteFolders(PanelSession& session, const std::string& outputDir) {
  for (const std::string& relative : SiteFolders(session.live))
    if (!CreateSiteFolder(outputDir, relative)) {
      session.log.Logf(kLogError, "Could not create folder \"%s\" in \"%s\"", relative.c_str(),
                       outputDir.c_str());
      return false;
    }
  return true;
}

// Writes the web servers' rules, asking before replacing each one.
bool WriteServerRules(PanelSession& session, const std::string& outputDir) {
  if (!CreateSiteFolder(outputDir, "webserver")) {
    session.log.Logf(kLogError, "Could not create folder \"%s\" in \"%s\"", "webserver",
                     outputDir.c_str());
    return false;
  }
  for (const GeneratedFile& rules : kServerRules) {
    std::string target = outputDir + "/" + rules.name;
    if (KeepExistingFile(session, target)) continue;
    std::ofstream file(target, std::ios::binary | std::ios::trunc);
    file << rules.content;
    file.close();
    if (file) continue;
    session.log.Logf(kLogError, "Could not write \"%s\" to \"%s\"", rules.name, outputDir.c_str());
    return false;
  }
  return true;
}

// `path` as one shell word.
std::string ShellWord(const std::string& path) {
  if (path.find_first_not_of(
          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+") ==
      std::string::npos)
    return path;
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The folder `fileName` is written into when the search program runs from
// `outputDir`.
std::string LogFolder(const std::string& outputDir, const std::string& fileName) {
  std::filesystem::path path(fileName);
  if (path.is_relative()) path = std::filesystem::path(outputDir) / path;
  return path.lexically_normal().parent_path().string();
}

}  // namespace

std::vector<std::string> DeploymentNotes(const std::string& outputDir, const Config& config) {
  std::vector<std::string> notes;
  std::vector<std::string> writable = {outputDir + "/cache"};
  struct Log {
    const std::string& name;
    bool inUse;
  } logs[] = {{config.logFileName, config.logging != 0},
              {config.debugFileName, config.debugLogging != 0}};
  for (const Log& log : logs) {
    if (log.name.empty()) continue;
    std::string folder = LogFolder(outputDir, log.name);
    if (std::find(writable.begin(), writable.end(), folder) == writable.end())
      writable.push_back(folder);
    if (!log.inUse || std::filesystem::path(log.name).is_absolute()) continue;
    notes.push_back("Log file \"" + log.name +
                    "\" is relative: it is taken from the CGI's folder.");
    std::filesystem::path normal = std::filesystem::path(log.name).lexically_normal();
    if (*normal.begin() != "..")
      notes.push_back("Log file \"" + log.name +
                      "\" lies inside the web root: give an absolute path outside the document "
                      "root, or keep the rules that deny *.log.");
  }
  std::string folders;
  for (const std::string& folder : writable) folders += " " + ShellWord(folder);
  notes.push_back("These folders must be writable by the web server's user:" + folders);
  notes.push_back("On the web server run: install -d -o www-data -g www-data -m 0750" + folders);
  return notes;
}

std::vector<std::string> RequiredFiles(const std::string& outputDir, const Config& config) {
  std::vector<std::string> files = {outputDir + "/quorix.cgi", outputDir + "/search_template.html",
                                    outputDir + "/settings.qxdat"};
  if (config.useCats != 0) files.push_back(outputDir + "/vexa_cats.qxdat");
  for (const GeneratedFile& rules : kServerRules) files.push_back(outputDir + "/" + rules.name);
  for (const std::string& folder : SiteFolders(config))
    files.push_back(outputDir + "/" + folder + "/");
  return files;
}

int BrowseForOutputFolder(PanelSession& session, std::string& folder) {
  std::string chosen = folder;
  switch (session.desktop.BrowseForFolder(kFolderInstruction, chosen)) {
    case FolderChoice::kCancelled:
      return 1;
    case FolderChoice::kFailed:
      return -1;
    case FolderChoice::kNotFileSystem:
      session.desktop.MessageBox(BoxOwner::kMainWindow, "Could not select the specified folder",
                                 "Invalid directory selected", BoxIcon::kExclamation,
                                 BoxButtons::kOk);
      return -1;
    case FolderChoice::kChosen:
      break;
  }
  if (chosen.empty()) return -1;
  folder = CutUtf16(chosen, kOutputDirMax);
  return 0;
}

int GenerateCgiFiles(PanelSession& session) {
  if (!VerificationGate(session)) return 1;
  std::string folder = session.panel.outputDir;
  int browsed = BrowseForOutputFolder(session, folder);
  if (browsed == 1) return 1;
  if (browsed != 0) {
    session.desktop.MessageBox(BoxOwner::kMainWindow,
                               "Could not copy files to destination directory.",
                               "Failed to copy files", BoxIcon::kExclamation, BoxButtons::kOk);
    return -1;
  }
  if (!CopyShippedFile(session, folder, "quorix.cgi")) return -1;
  if (!CopyShippedFile(session, folder, "search_template.html")) return -1;

  int saved = SaveSettings(session, folder, "settings.qxdat");
  if (saved == 1) return 1;
  if (saved != 0) {
    session.log.Logf(kLogError, "Could not copy \"%s\" to \"%s\"", "settings.qxdat",
                     folder.c_str());
    return -1;
  }
  session.flags.settingsLoaded = true;
  session.panel.outputDir = folder;
  if (!CreateSiteFolders(session, folder) || !WriteServerRules(session, folder)) return -1;
  session.info = {"Quorix CGI files created:",
                  "Quorix CGI files have been created in:\r\n\r\n" + folder +
                      "\r\n\r\nThese files need to be copied to your web server."};
  session.desktop.ShowFilesCreated(RequiredFiles(folder, session.live),
                                   DeploymentNotes(folder, session.live));
  return 0;
}

}  // namespace quorix::panel
