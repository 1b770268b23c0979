#include "panel/core/generation.h"

#include <filesystem>

#include "panel/core/settings_flows.h"
#include "platform/text.h"

namespace quorix::panel {
namespace {

constexpr char kFolderInstruction[] =
    "Select the output directory to store the files that Quorix ControlPanel will create.  These "
    "are the Quorix CGI files that will need to be copied to your web server.";

// Copies the shipped file `name` into `folder`, asking before replacing one.
// Returns false (after a log line) when the copy failed.
bool CopyShippedFile(PanelSession& session, const std::string& folder, const std::string& name) {
  std::string target = folder + "/" + name;
  std::error_code error;
  if (std::filesystem::exists(target, error) &&
      session.desktop.MessageBox(
          BoxOwner::kMainWindow,
          "\"" + target + "\" already exist and will be overwritten.  Continue?",
          "Overwrite files?", BoxIcon::kQuestion, BoxButtons::kYesNo) != BoxAnswer::kYes)
    return true;
  std::filesystem::copy_file(session.CgiFilesDir() + "/" + name, target,
                             std::filesystem::copy_options::overwrite_existing, error);
  if (!error) return true;
  session.log.Logf(kLogError, "Could not copy \"%s\" to \"%s\"", name.c_str(), folder.c_str());
  return false;
}

}  // namespace

std::vector<std::string> RequiredFiles(const std::string& outputDir, bool useCats) {
  std::vector<std::string> files = {outputDir + "/quorix.cgi", outputDir + "/search_template.html",
                                    outputDir + "/settings.qxdat"};
  if (useCats) files.push_back(outputDir + "/vexa_cats.qxdat");
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
  session.info = {"Quorix CGI files created:",
                  "Quorix CGI files have been created in:\r\n\r\n" + folder +
                      "\r\n\r\nThese files need to be copied to your web server."};
  session.desktop.ShowFilesCreated(RequiredFiles(folder, session.live.useCats != 0));
  return 0;
}

}  // namespace quorix::panel
