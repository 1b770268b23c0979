// All-or-nothing writing of a set of files into an output folder: they are
// written into a staging folder beside it and moved into place only when every
// one is there; a failed move puts the replaced files back, so that a failure
// leaves the output folder as it was. Whatever the staging folder still holds
// is removed with it.
#pragma once

#include <string>
#include <vector>

namespace quorix::panel {

// "FILE: reason" for the reports, the reason being the system's text for the
// errno value `error`.
std::string FileFailure(const std::string& file, int error);

class Staging {
 public:
  Staging() = default;
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;
  ~Staging();

  // Creates ".NAME.generating-XXXXXX" beside `outputDir`, or inside it when its
  // parent cannot be written.
  bool Create(const std::string& outputDir, std::string& failure);

  // The staging folder, where the files are to be written.
  const std::string& path() const { return path_; }

  // Creates `relative` and its parents in the output folder, each new one with
  // mode 0755 whatever the umask; those already there are left as they are.
  // The new ones are removed again unless Commit succeeds.
  bool CreateFolder(const std::string& relative, std::string& failure);

  // Moves every staged file of `names` into the output folder, putting back
  // the replaced ones when a move fails. A name not staged is passed over.
  bool Commit(const std::vector<std::string>& names, std::string& failure);

 private:
  struct Move {
    std::string staged, target, replaced;
    bool hadTarget;
  };

  static int MoveIntoPlace(Move& move);
  static void Undo(const Move& move);
  void RemoveNewFolders();

  std::string outputDir_;
  std::string path_;
  std::vector<std::string> newFolders_;
};

}  // namespace quorix::panel
