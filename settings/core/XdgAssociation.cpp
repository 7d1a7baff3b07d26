#include "settings/core/XdgAssociation.h"

#include "base/FileIO.h"
#include "platform/mime/Tools.h"
#include "settings/core/DesktopEntry.h"
#include "settings/core/EmbeddedData.h"
#include "settings/core/KeyFileLines.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

namespace sorrel::settings {

namespace {

constexpr const char* kDefaults = "Default Applications";
constexpr const char* kAdded = "Added Associations";
constexpr const char* kRemoved = "Removed Associations";
constexpr const char* kListName = "mimeapps.list";
// Key files this code reads: far larger than any real one.
constexpr uint64_t kMaxKeyFileBytes = 4ull << 20;

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

void AddMessage(std::string& message, const std::string& line) {
  if (!message.empty()) message += "\n";
  message += line;
}

// Creates `dir` and its missing parents (mode 0700, as the base directory rules ask).
bool MakeDirs(const std::string& dir, std::string& error) {
  struct stat st {};
  if (stat(dir.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    error = dir + ": not a directory";
    return false;
  }
  const size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash), error)) return false;
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    error = Errno(dir);
    return false;
  }
  return true;
}

bool WriteWithDirs(const std::string& path, std::string_view data, std::string& error) {
  return MakeDirs(path.substr(0, path.find_last_of('/')), error) &&
         base::WriteFileAtomically(path, data, &error);
}

// A missing file is fine; anything else that stops the removal is an error.
bool RemoveFile(const std::string& path, std::string& error) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  error = Errno(path);
  return false;
}

// The text of a key file: "" when it is missing, nullopt (with `error`) when it is there
// but cannot be read.
std::optional<std::string> ReadKeyFile(const std::string& path, std::string* error = nullptr) {
  base::TReadResult r = base::ReadRegularFile(path, kMaxKeyFileBytes);
  if (r.ok()) return std::move(r.data);
  // A dangling symbolic link is missing too: a write goes through it.
  if (r.status == base::TReadStatus::kMissing) return std::string();
  if (error) *error = r.error;
  return std::nullopt;
}

bool IsDir(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The mimeapps lists in `dir` (any desktop's and the plain one), sorted by name.
std::vector<std::string> ListsIn(const std::string& dir) {
  std::vector<std::string> out;
  DIR* d = opendir(dir.c_str());
  if (!d) return out;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    const std::string suffix = std::string("-") + kListName;
    if (name == kListName || (name.size() > suffix.size() &&
                              name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0))
      out.push_back(dir + "/" + name);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

// Drops `id` from the list value of `key`, and the key when nothing is left.
bool DropFromList(TKeyFileLines& file, const char* group, const char* key, std::string_view id) {
  const std::optional<std::string> value = file.Value(group, key);
  if (!value) return false;
  std::string kept;
  bool dropped = false;
  for (const std::string& item : SplitList(*value)) {
    if (item == id)
      dropped = true;
    else
      kept += item + ";";
  }
  if (!dropped) return false;
  if (kept.empty())
    file.Remove(group, key);
  else
    file.Set(group, key, kept);
  return true;
}

bool Writes(const std::string& path, const std::string& before, const TKeyFileLines& after,
            std::string& error) {
  const std::string text = after.Text();
  if (text == before) return true;
  return WriteWithDirs(path, text, error);
}

}  // namespace

TXdgAssociation::TXdgAssociation(TXdgDirs dirs, std::string program)
    : dirs_(std::move(dirs)), program_(std::move(program)) {}

TXdgAssociation TXdgAssociation::ForThisProgram() {
  return TXdgAssociation(TXdgDirs::FromEnvironment(), CurrentProgram());
}

std::string TXdgAssociation::DesktopEntryPath() const {
  return dirs_.dataHome + "/applications/" + kDesktopId;
}
std::string TXdgAssociation::PackagePath() const {
  return dirs_.dataHome + "/mime/packages/" + kMimePackageName;
}
std::string TXdgAssociation::IconPath() const {
  return dirs_.dataHome + "/icons/hicolor/scalable/apps/" + kIconName + ".svg";
}
std::string TXdgAssociation::UserMimeAppsList() const { return dirs_.configHome + "/" + kListName; }

std::vector<std::string> TXdgAssociation::MimeAppsLists() const {
  std::vector<std::string> out;
  auto addDir = [&](const std::string& dir) {
    for (const std::string& desktop : dirs_.desktops) out.push_back(dir + "/" + desktop + "-" + kListName);
    out.push_back(dir + "/" + kListName);
  };
  addDir(dirs_.configHome);
  for (const std::string& d : dirs_.configDirs) addDir(d);
  addDir(dirs_.dataHome + "/applications");
  for (const std::string& d : dirs_.dataDirs) addDir(d + "/applications");
  return out;
}

std::string TXdgAssociation::FindDesktopEntry(std::string_view desktopId) const {
  const std::string id(desktopId);
  if (id.size() <= 8 || id.compare(id.size() - 8, 8, ".desktop") != 0 || id.find('/') != std::string::npos ||
      id[0] == '.')
    return {};
  // "vendor-app.desktop" may also be "vendor/app.desktop": each further "-" taken as a
  // folder, from the left.
  std::vector<std::string> names{id};
  std::string name = id;
  for (size_t dash = name.find('-'); dash != std::string::npos && dash + 1 < name.size() - 8;
       dash = name.find('-', dash + 1)) {
    name[dash] = '/';
    names.push_back(name);
  }
  std::vector<std::string> dirs{dirs_.dataHome + "/applications"};
  for (const std::string& d : dirs_.dataDirs) dirs.push_back(d + "/applications");
  for (const std::string& dir : dirs) {
    for (const std::string& n : names) {
      const std::string path = dir + "/" + n;
      struct stat st {};
      if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      // The first file with the ID decides, even when it hides the entry.
      const std::optional<std::string> text = ReadKeyFile(path);
      if (!text) return {};
      const TKeyFileLines entry(*text);
      if (entry.Value(kDesktopEntryGroup, "Hidden") == "true") return {};
      return path;
    }
  }
  return {};
}

std::string TXdgAssociation::DefaultApplication(std::string_view mimeType) const {
  for (const std::string& list : MimeAppsLists()) {
    const std::optional<std::string> text = ReadKeyFile(list);
    if (!text || text->empty()) continue;
    const std::optional<std::string> value = TKeyFileLines(*text).Value(kDefaults, mimeType);
    if (!value) continue;
    for (const std::string& id : SplitList(*value))
      if (!FindDesktopEntry(id).empty()) return id;
  }
  return {};
}

bool TXdgAssociation::IsAssociated(std::string_view extension) {
  for (const TListType& t : kListTypes)
    if (EqualsIgnoringCase(extension, t.extension)) return DefaultApplication(t.mimeType) == kDesktopId;
  return false;
}

bool TXdgAssociation::Refresh(std::string& message) const {
  bool ok = true;
  auto run = [&](const char* tool, std::vector<std::string> args, const std::string& dir) {
    if (!IsDir(dir)) return;
    const std::string path = mime::FindProgram(tool, dirs_.programPath);
    if (path.empty()) {
      AddMessage(message, std::string(tool) + " not found: " + dir + " was not refreshed");
      return;
    }
    args.push_back(dir);
    const mime::TToolResult r = mime::RunProgram(path, args, kToolTimeoutMs);
    if (!r.ok) {
      AddMessage(message, r.message);
      ok = false;
    }
  };
  run("update-mime-database", {}, dirs_.dataHome + "/mime");
  run("update-desktop-database", {"-q"}, dirs_.dataHome + "/applications");
  return ok;
}

bool TXdgAssociation::Associate(std::string& message) {
  message.clear();
  std::string error;
  if (program_.empty()) {
    message = "the program's own path is unknown; nothing was changed";
    return false;
  }
  const std::optional<std::string> exec = ExecValue(program_, &error);
  if (!exec) {
    message = program_ + ": " + error + "; nothing was changed";
    return false;
  }
  // The list the defaults go to must be read whole before anything is written.
  const std::string userList = UserMimeAppsList();
  const std::optional<std::string> userText = ReadKeyFile(userList, &error);
  if (!userText) {
    message = error + "; nothing was changed";
    return false;
  }

  std::vector<std::string> types;
  for (const TListType& t : kListTypes) types.push_back(t.mimeType);
  const std::string entry = UserDesktopEntry(kDesktopEntryTemplate, *exec, program_, types);
  if (!WriteWithDirs(IconPath(), kIconSvg, error) || !WriteWithDirs(PackagePath(), kMimePackage, error) ||
      !WriteWithDirs(DesktopEntryPath(), entry, error)) {
    message = error;
    return false;
  }

  TKeyFileLines list(*userText);
  for (const std::string& type : types) {
    list.Set(kDefaults, type, std::string(kDesktopId) + ";");
    // A default must not be an association the user removed.
    DropFromList(list, kRemoved, type.c_str(), kDesktopId);
  }
  if (!Writes(userList, *userText, list, error)) {
    message = error;
    return false;
  }
  // A desktop-specific list of the user's comes first: where it names a default for
  // the types, it names this one too.
  for (const std::string& desktop : dirs_.desktops) {
    const std::string path = dirs_.configHome + "/" + desktop + "-" + kListName;
    const std::optional<std::string> text = ReadKeyFile(path, &error);
    if (!text) {
      AddMessage(message, error);
      continue;
    }
    TKeyFileLines specific(*text);
    for (const std::string& type : types)
      if (specific.Value(kDefaults, type)) specific.Set(kDefaults, type, std::string(kDesktopId) + ";");
    if (!Writes(path, *text, specific, error)) {
      message = error;
      return false;
    }
  }
  return Refresh(message);
}

bool TXdgAssociation::RemoveAssociation(std::string& message) {
  message.clear();
  bool ok = true;
  std::string error;
  auto fail = [&](const std::string& why) {
    AddMessage(message, why);
    ok = false;
  };
  // Every list the user owns, the deprecated place included; a default there is taken
  // away whatever application it names.
  std::vector<std::string> lists = ListsIn(dirs_.configHome);
  for (const std::string& l : ListsIn(dirs_.dataHome + "/applications")) lists.push_back(l);
  for (const std::string& path : lists) {
    const std::optional<std::string> text = ReadKeyFile(path, &error);
    if (!text) {
      fail(error);
      continue;
    }
    TKeyFileLines list(*text);
    for (const TListType& t : kListTypes) {
      list.Remove(kDefaults, t.mimeType);
      DropFromList(list, kAdded, t.mimeType, kDesktopId);
    }
    if (!Writes(path, *text, list, error)) fail(error);
  }
  for (const std::string& path : {DesktopEntryPath(), PackagePath(), IconPath()})
    if (!RemoveFile(path, error)) fail(error);
  if (!Refresh(message)) ok = false;
  return ok;
}

std::string CurrentProgram() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, size_t(n));
  // A program rebuilt while it runs: the new file under the same name.
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.size() > kDeleted.size() &&
      path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
    const std::string name = path.substr(0, path.size() - kDeleted.size());
    if (access(name.c_str(), X_OK) == 0) path = name;
  }
  return path;
}

}  // namespace sorrel::settings
