#include "panel/ui/launcher.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <string>
#include <vector>

namespace quorix::panelui {
namespace {

constexpr int kPollMs = 20;

// Runs in the forked watcher: starts the program in a grandchild, which the
// system adopts once the watcher leaves, and reports its fate as exit status.
[[noreturn]] void WatchLaunch(char* const argv[], int waitMs) {
  setsid();
  pid_t program = fork();
  if (program < 0) _exit(126);
  if (program == 0) {
    int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, STDIN_FILENO);
    execvp(argv[0], argv);
    _exit(127);
  }
  for (int waited = 0; waited < waitMs; waited += kPollMs) {
    int status = 0;
    if (waitpid(program, &status, WNOHANG) == program)
      _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 125);
    usleep(kPollMs * 1000);
  }
  _exit(0);
}

// The desktop entry's Exec line, or empty.
QString DesktopEntryExec(const QString& id) {
  QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) return QString();
  QTextStream in(&file);
  bool inMainGroup = false;
  while (!in.atEnd()) {
    QString line = in.readLine().trimmed();
    if (line.startsWith(QLatin1Char('[')))
      inMainGroup = line == QLatin1String("[Desktop Entry]");
    else if (inMainGroup && line.startsWith(QLatin1String("Exec=")))
      return line.mid(5);
  }
  return QString();
}

// Replaces the Exec line's file codes by `file` (appended when it has none)
// and drops its other field codes.
QStringList FillFieldCodes(const QStringList& words, const QString& file) {
  QStringList command;
  bool placed = false;
  for (const QString& word : words) {
    if (word == QLatin1String("%f") || word == QLatin1String("%F") || word == QLatin1String("%u") ||
        word == QLatin1String("%U")) {
      command << file;
      placed = true;
    } else if (!(word.size() == 2 && word.startsWith(QLatin1Char('%')))) {
      command << word;
    }
  }
  if (!placed) command << file;
  return command;
}

}  // namespace

bool StartAndCheck(const QString& program, const QStringList& arguments, int waitMs) {
  if (QStandardPaths::findExecutable(program).isEmpty() &&
      !(program.contains(QLatin1Char('/')) && QFile::exists(program)))
    return false;
  std::vector<std::string> words{program.toStdString()};
  for (const QString& argument : arguments) words.push_back(argument.toStdString());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t watcher = fork();
  if (watcher < 0) return false;
  if (watcher == 0) WatchLaunch(argv.data(), waitMs);
  int status = 0;
  while (waitpid(watcher, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QStringList EditorCommand(const QString& editor, const QString& file) {
  QString line = editor.endsWith(QLatin1String(".desktop")) ? DesktopEntryExec(editor) : editor;
  QStringList words = QProcess::splitCommand(line);
  if (words.isEmpty()) return {};
  return FillFieldCodes(words, file);
}

}  // namespace quorix::panelui
