#include "panel/core/staging.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quorix::panel {

std::string FileFailure(const std::string& file, int error) {
  return file + ": " + std::generic_category().message(error);
}

Staging::~Staging() {
  RemoveNewFolders();
  std::error_code error;
  if (!path_.empty()) std::filesystem::remove_all(path_, error);
}

bool Staging::Create(const std::string& outputDir, std::string& failure) {
  outputDir_ = std::filesystem::path(outputDir).lexically_normal().string();
  while (outputDir_.size() > 1 && outputDir_.back() == '/') outputDir_.pop_back();
  std::filesystem::path target(outputDir_);
  std::string beside =
      (target.parent_path() / ("." + target.filename().string() + ".generating-XXXXXX")).string();
  if (mkdtemp(beside.data()) != nullptr) {
    path_ = beside;
    return true;
  }
  std::string inside = outputDir_ + "/.generating-XXXXXX";
  if (mkdtemp(inside.data()) != nullptr) {
    path_ = inside;
    return true;
  }
  failure = FileFailure(beside, errno);
  return false;
}

bool Staging::CreateFolder(const std::string& relative, std::string& failure) {
  std::filesystem::path path = outputDir_;
  for (const std::filesystem::path& part : std::filesystem::path(relative)) {
    path /= part;
    if (mkdir(path.c_str(), 0755) == 0) {
      newFolders_.push_back(path.string());
      if (chmod(path.c_str(), 0755) == 0) continue;
    } else {
      std::error_code error;
      if (errno == EEXIST && std::filesystem::is_directory(path, error)) continue;
      if (errno == EEXIST) errno = ENOTDIR;
    }
    failure = FileFailure(path.string(), errno);
    return false;
  }
  return true;
}

bool Staging::Commit(const std::vector<std::string>& names, std::string& failure) {
  std::vector<Move> moves;
  for (const std::string& name : names) {
    Move move{path_ + "/" + name, outputDir_ + "/" + name,
              path_ + "/.replaced-" + std::to_string(moves.size()), false};
    struct stat staged;
    if (lstat(move.staged.c_str(), &staged) != 0) continue;  // not generated, or kept
    int error = MoveIntoPlace(move);
    if (error != 0) {
      failure = FileFailure(move.target, error);
      for (auto done = moves.rbegin(); done != moves.rend(); ++done) Undo(*done);
      return false;
    }
    moves.push_back(move);
  }
  newFolders_.clear();
  return true;
}

// Moves the target aside (the new file taking over its permissions), then the
// staged file in. Returns 0 or the errno.
int Staging::MoveIntoPlace(Move& move) {
  struct stat old;
  move.hadTarget = lstat(move.target.c_str(), &old) == 0;
  if (move.hadTarget) {
    if (S_ISDIR(old.st_mode)) return EISDIR;
    if (S_ISREG(old.st_mode)) chmod(move.staged.c_str(), old.st_mode & 07777);
    if (rename(move.target.c_str(), move.replaced.c_str()) != 0) return errno;
  }
  if (rename(move.staged.c_str(), move.target.c_str()) == 0) return 0;
  int error = errno;
  if (move.hadTarget) rename(move.replaced.c_str(), move.target.c_str());
  return error;
}

void Staging::Undo(const Move& move) {
  if (move.hadTarget)
    rename(move.replaced.c_str(), move.target.c_str());
  else
    unlink(move.target.c_str());
}

void Staging::RemoveNewFolders() {
  for (auto folder = newFolders_.rbegin(); folder != newFolders_.rend(); ++folder)
    rmdir(folder->c_str());
  newFolders_.clear();
}

}  // namespace quorix::panel
