#include "panel/core/generation.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "panel/core/fastcgi_units.h"
#include "panel/core/settings_flows.h"
#include "panel/core/staging.h"
#include "panel/core/webserver_rules.h"
#include "platform/text.h"

namespace quorix::panel {
namespace {

constexpr char kFolderInstruction[] =
    "Select the output directory to store the files that Quorix ControlPanel will create.  These "
    "are the Quorix CGI files that will need to be copied to your web server.";

// Asks before `target` is replaced; true when it exists and is to be kept.
bool KeepExistingFile(PanelSession& session, const std::string& target) {
  std::error_code error;
  return std::filesystem::exists(target, error) &&
         session.desktop.MessageBox(
             BoxOwner::kMainWindow,
             "\"" + target + "\" already exist and will be overwritten.  Continue?",
             "Overwrite files?", BoxIcon::kQuestion, BoxButtons::kYesNo) != BoxAnswer::kYes;
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

// The files copied from the "cgi files" folder beside the control panel: the
// search program, the page template and the script the template links.
constexpr const char* kShippedFiles[] = {"quorix.cgi", "search_template.html", "quorix-results.js"};

// The files generated into the output folder, in the order they are asked
// about and moved into place.
std::vector<std::string> GeneratedNames() {
  std::vector<std::string> names(std::begin(kShippedFiles), std::end(kShippedFiles));
  names.insert(names.end(), {"settings.qxdat", "vexa_cats.qxdat"});
  for (const ServerRulesFile& rules : ServerRulesFiles(kDefaultSiteFolder))
    names.push_back(rules.name);
  for (const UnitFile& unit : FastCgiUnits("/")) names.push_back(unit.name);
  return names;
}

// Copies the shipped file `name` into the staging folder.
bool StageShippedFile(PanelSession& session, const Staging& staging, const std::string& folder,
                      const std::string& name, std::string& failure) {
  std::string source = session.CgiFilesDir() + "/" + name;
  std::error_code error;
  std::filesystem::copy_file(source, staging.path() + "/" + name, error);
  if (!error) return true;
  session.log.Logf(kLogError, "Could not copy \"%s\" to \"%s\"", name.c_str(), folder.c_str());
  failure = source + ": " + error.message();
  return false;
}

// Writes `content` into the staging folder as `name`.
bool StageText(const Staging& staging, const std::string& name, const std::string& content,
               std::string& failure) {
  std::string path = staging.path() + "/" + name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  file.close();
  if (file) return true;
  failure = FileFailure(path, errno != 0 ? errno : EIO);
  return false;
}

// Writes the web servers' rules and the FastCGI units for a search running
// from `siteFolder` on the web server, those not in `kept`, into the staging folder.
bool StageServerRules(const Staging& staging, const std::string& siteFolder,
                      const std::vector<std::string>& kept, std::string& failure) {
  std::string rulesFolder = staging.path() + "/" + kServerRulesFolder;
  if (mkdir(rulesFolder.c_str(), 0755) != 0) {
    failure = FileFailure(rulesFolder, errno);
    return false;
  }
  auto isKept = [&kept](const std::string& name) {
    return std::find(kept.begin(), kept.end(), name) != kept.end();
  };
  for (const ServerRulesFile& rules : ServerRulesFiles(siteFolder))
    if (!isKept(rules.name) && !StageText(staging, rules.name, rules.content, failure))
      return false;
  for (const UnitFile& unit : FastCgiUnits(siteFolder))
    if (!isKept(unit.name) && !StageText(staging, unit.name, unit.content, failure)) return false;
  return true;
}

// Writes every file not in `kept` into the staging folder, then creates the
// folders and moves the files into the output folder.
bool GenerateThroughStaging(PanelSession& session, const std::string& folder,
                            const std::vector<std::string>& kept, std::string& failure) {
  Staging staging;
  if (!staging.Create(folder, failure)) return false;
  auto isKept = [&kept](const std::string& name) {
    return std::find(kept.begin(), kept.end(), name) != kept.end();
  };
  for (const char* name : kShippedFiles)
    if (!isKept(name) && !StageShippedFile(session, staging, folder, name, failure)) return false;
  if (SaveSettings(session, staging.path(), "settings.qxdat", &failure) != 0) {
    session.log.Logf(kLogError, "Could not copy \"%s\" to \"%s\"", "settings.qxdat",
                     folder.c_str());
    return false;
  }
  if (!StageServerRules(staging, session.panel.siteFolder, kept, failure)) return false;
  std::vector<std::string> folders = SiteFolders(session.live);
  folders.push_back(kServerRulesFolder);
  for (const std::string& relative : folders)
    if (!staging.CreateFolder(relative, failure)) {
      session.log.Logf(kLogError, "Could not create folder \"%s\" in \"%s\"", relative.c_str(),
                       folder.c_str());
      return false;
    }
  if (staging.Commit(GeneratedNames(), failure)) return true;
  session.log.Logf(kLogError, "Could not move the generated files into \"%s\" (%s)", folder.c_str(),
                   failure.c_str());
  return false;
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

std::vector<std::string> DeploymentNotes(const std::string& siteFolder, const Config& config) {
  std::vector<std::string> notes;
  std::vector<std::string> writable = {siteFolder + "/cache"};
  struct Log {
    const std::string& name;
    bool inUse;
  } logs[] = {{config.logFileName, config.logging != 0},
              {config.debugFileName, config.debugLogging != 0}};
  for (const Log& log : logs) {
    if (log.name.empty()) continue;
    std::string folder = LogFolder(siteFolder, log.name);
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
  notes.push_back("The FastCGI units in webserver/ run " + siteFolder +
                  "/quorix.cgi: replace the folder in them if the site lies elsewhere.");
  return notes;
}

std::vector<std::string> RequiredFiles(const std::string& outputDir, const Config& config) {
  std::vector<std::string> files;
  for (const char* name : kShippedFiles) files.push_back(outputDir + "/" + name);
  files.push_back(outputDir + "/settings.qxdat");
  if (config.useCats != 0) files.push_back(outputDir + "/vexa_cats.qxdat");
  for (const ServerRulesFile& rules : ServerRulesFiles(kDefaultSiteFolder))
    files.push_back(outputDir + "/" + rules.name);
  for (const UnitFile& unit : FastCgiUnits("/")) files.push_back(outputDir + "/" + unit.name);
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
  std::string failure;
  return GenerateCgiFiles(session, failure);
}

namespace {

// An absolute path that the web servers' rules can hold in a quoted string.
bool IsUsableSiteFolder(const std::string& folder) {
  if (folder.size() < 2 || folder[0] != '/') return false;
  for (unsigned char c : folder)
    if (c < 0x20 || c == 0x7f || c == '"' || c == '\\' || c == '$') return false;
  return true;
}

// Asks for the folder on the web server unless the settings remember one.
// False when the question was cancelled or the answer is unusable (reported).
bool AskSiteFolderOnce(PanelSession& session) {
  if (!session.panel.siteFolder.empty()) return true;
  std::string folder = kDefaultSiteFolder;
  if (!session.desktop.AskSiteFolder(folder)) return false;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (!IsUsableSiteFolder(folder)) {
    session.desktop.MessageBox(BoxOwner::kMainWindow,
                               "The folder on the web server must be an absolute path, such as " +
                                   std::string(kDefaultSiteFolder) +
                                   ", without quotes, \\ or $: \"" + folder + "\"",
                               "Folder on the web server", BoxIcon::kExclamation, BoxButtons::kOk);
    return false;
  }
  session.panel.siteFolder = folder;
  session.flags.unsaved = true;  // remembered with the control panel's settings
  return true;
}

}  // namespace

int GenerateCgiFiles(PanelSession& session, std::string& failure) {
  if (!VerificationGate(session)) return 1;
  if (!AskSiteFolderOnce(session)) return 1;
  std::string folder = session.panel.outputDir;
  int browsed = BrowseForOutputFolder(session, folder);
  if (browsed == 1) return 1;
  if (browsed != 0) {
    session.desktop.MessageBox(BoxOwner::kMainWindow,
                               "Could not copy files to destination directory.",
                               "Failed to copy files", BoxIcon::kExclamation, BoxButtons::kOk);
    return -1;
  }
  // Every question first: declining the settings file ends the generation
  // before anything is written, the other files declined are left as they are.
  std::vector<std::string> kept;
  for (const std::string& name : GeneratedNames()) {
    if (name == "vexa_cats.qxdat") continue;  // replaced with the settings
    if (!KeepExistingFile(session, folder + "/" + name)) continue;
    if (name == "settings.qxdat") return 1;
    kept.push_back(name);
  }
  if (!GenerateThroughStaging(session, folder, kept, failure)) return -1;
  session.flags.settingsLoaded = true;
  session.panel.outputDir = folder;
  session.info = {"Quorix CGI files created:",
                  "Quorix CGI files have been created in:\r\n\r\n" + folder +
                      "\r\n\r\nThese files need to be copied to your web server."};
  session.desktop.ShowFilesCreated(RequiredFiles(folder, session.live),
                                   DeploymentNotes(session.panel.siteFolder, session.live));
  return 0;
}

}  // namespace quorix::panel
