#include "panel/ui/headless.h"

#include <filesystem>

#include "panel/core/generation.h"
#include "panel/core/main_flow.h"
#include "panel/core/session.h"
#include "panel/core/test_search.h"
#include "panel/core/verification.h"

namespace quorix::panelui {

using namespace panel;

namespace {

constexpr char kUsage[] =
    "usage: QuorixControlPanel [-c SETTINGS.cpdat] [-d LEVEL]\n"
    "       QuorixControlPanel -c SETTINGS.cpdat --generate DIR [--verify] [-d LEVEL]\n"
    "       QuorixControlPanel -c SETTINGS.cpdat --search QUERY [-d LEVEL]\n"
    "       QuorixControlPanel --version | --help";

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

// `args` without the test search's query, which the panel's own command line
// must not read as an option.
std::vector<std::string> WithoutQuery(const std::vector<std::string>& args) {
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--search")
      ++i;
    else
      rest.push_back(args[i]);
  }
  return rest;
}

struct HeadlessOptions {
  std::string outputDir;
  bool verify = false;
  bool search = false;
  std::string query;
  bool hasConfig = false;
  std::string error;  // set when the arguments cannot be used
};

HeadlessOptions ReadOptions(const std::vector<std::string>& args) {
  HeadlessOptions options;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--generate") {
      if (i + 1 >= args.size()) {
        options.error = "--generate needs the output folder";
        return options;
      }
      options.outputDir = args[++i];
    } else if (arg == "--verify") {
      options.verify = true;
    } else if (arg == "--search") {
      if (i + 1 >= args.size()) {
        options.error = "--search needs the query";
        return options;
      }
      options.search = true;
      options.query = args[++i];
    } else if (arg == "-c" || arg == "-d") {
      options.hasConfig = options.hasConfig || (arg == "-c" && i + 1 < args.size());
      ++i;  // the value; read by the panel's own command line
    } else {
      options.error = "unknown argument \"" + arg + "\"";
      return options;
    }
  }
  if (options.search && (!options.outputDir.empty() || options.verify))
    options.error = "--search goes without --generate and --verify";
  else if (options.search && options.query.find_first_not_of(" \t") == std::string::npos)
    options.error = "--search needs the query";
  else if (!options.search && options.outputDir.empty())
    options.error = "--generate needs the output folder";
  else if (!options.hasConfig)
    options.error = "-c must name the settings file";
  return options;
}

// Answers for a run without a user: questions get Yes, messages are printed,
// the output folder is the one given on the command line.
class ConsoleDesktop : public Desktop {
 public:
  ConsoleDesktop(std::string folder, std::ostream& out, std::ostream& err)
      : folder_(std::move(folder)), out_(out), err_(err) {}

  BoxAnswer MessageBox(BoxOwner, const std::string& text, const std::string& title, BoxIcon,
                       BoxButtons buttons) override {
    err_ << title << ": " << text;
    if (buttons == BoxButtons::kOk) {
      err_ << "\n";
      return BoxAnswer::kOk;
    }
    err_ << " Yes\n";
    return BoxAnswer::kYes;
  }
  int ShowFileDialog(FileDialogMode, const std::string&, const FileFilter&, std::string&) override {
    return 1;
  }
  FolderChoice BrowseForFolder(const std::string&, std::string& folder) override {
    folder = folder_;
    return FolderChoice::kChosen;
  }
  bool OpenHelpPage(const std::string&, const std::string&) override { return false; }
  bool QueryHtmlEditor(std::string&) override { return false; }
  bool OpenInHtmlEditor(const std::string&, bool) override { return false; }
  bool OpenInTextEditor(const std::string&) override { return false; }
  int SetClipboardText(const std::string&) override { return 1; }
  bool ShowWordProcessorWarning() override { return false; }
  bool AskNewLanguageFileName(std::string&,
                              const std::function<bool(const std::string&)>&) override {
    return false;
  }
  // Nobody to ask: a deploy script generates into the folder the search runs from.
  bool AskSiteFolder(std::string& folder) override {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(folder_, error);
    folder = error ? folder_ : absolute.lexically_normal().string();
    return true;
  }
  void ShowFilesCreated(const std::vector<std::string>& files,
                        const std::vector<std::string>& notes) override {
    for (const std::string& file : files) err_ << "Created " << file << "\n";
    for (const std::string& note : notes) err_ << note << "\n";
  }

 private:
  std::string folder_;
  std::ostream& out_;
  std::ostream& err_;
};

// The verification run with its log lines on `out`; true when it passed.
bool Verify(PanelSession& session, std::ostream& out) {
  session.log.SetUpWindow();
  session.log.onWindowLine = [&out](const LogWindowLine& line) { out << line.text << "\n"; };
  VerificationRun run(session);
  VerificationOutcome outcome = run.Execute();
  session.log.onWindowLine = nullptr;
  session.log.CloseWindow();
  VerificationBox box = FinalBoxFor(outcome);
  out << box.title << " " << box.text << "\n";
  out.flush();
  return outcome == VerificationOutcome::kPassed;
}

// Loads the -c file into `session`; false after saying why.
bool LoadSettings(PanelSession& session, const std::vector<std::string>& args, std::ostream& err) {
  StartUp(session, args);
  if (session.flags.settingsLoaded) return true;
  err << "QuorixControlPanel: could not load the settings file \"" << session.panel.configPath
      << "\"\n";
  return false;
}

// The test search: one line per enabled node on `out`.
int Search(const std::vector<std::string>& args, const std::string& installDir,
           const std::string& query, std::ostream& out, std::ostream& err) {
  ConsoleDesktop desktop("", out, err);
  PanelSession session(desktop, installDir);
  if (!LoadSettings(session, args, err)) return kHeadlessError;
  TestSearchReport report = RunTestSearch(session.live, query);
  for (const std::string& line : TestSearchLines(report)) out << line << "\n";
  out.flush();
  return !report.nodes.empty() && report.AllAnswered() ? kHeadlessDone : kHeadlessSearchFailed;
}

int Generate(const std::vector<std::string>& args, const std::string& installDir,
             const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::absolute(options.outputDir, error);
  if (!error) std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder)) {
    err << "QuorixControlPanel: cannot create the output folder \"" << options.outputDir << "\"\n";
    return kHeadlessError;
  }

  ConsoleDesktop desktop(folder.string(), out, err);
  PanelSession session(desktop, installDir);
  if (!LoadSettings(session, args, err)) return kHeadlessError;
  if (options.verify && !Verify(session, out)) {
    err << "QuorixControlPanel: verification failed; nothing was generated\n";
    return kHeadlessVerifyFailed;
  }
  std::string failure;
  if (GenerateCgiFiles(session, failure) != 0) {
    err << "QuorixControlPanel: could not generate the CGI files into \"" << folder.string() << "\""
        << (failure.empty() ? "" : ": " + failure) << "\n";
    return kHeadlessError;
  }
  return kHeadlessDone;
}

}  // namespace

bool IsHeadlessRequest(const std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-c" || arg == "-d") {
      ++i;  // its value
      continue;
    }
    // --help, --generate, --verify and any option the window does not know.
    if (arg.starts_with("-")) return true;
  }
  return false;
}

int RunHeadless(const std::vector<std::string>& args, const std::string& installDir,
                std::ostream& out, std::ostream& err) {
  for (const std::string& arg : WithoutQuery(args)) {
    if (IsHelp(arg)) {
      out << kUsage << "\n";
      return kHeadlessDone;
    }
    if (arg == "--version") {
      out << "QuorixControlPanel " << QUORIX_VERSION << "\n";
      return kHeadlessDone;
    }
  }
  HeadlessOptions options = ReadOptions(args);
  if (!options.error.empty()) {
    err << "QuorixControlPanel: " << options.error << "\n" << kUsage << "\n";
    return kHeadlessError;
  }
  if (options.search) return Search(WithoutQuery(args), installDir, options.query, out, err);
  return Generate(args, installDir, options, out, err);
}

}  // namespace quorix::panelui
