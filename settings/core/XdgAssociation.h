// The list files' association on the Linux desktop, after the XDG specifications.
//
// Associating, for the user:
//   - the MIME package $XDG_DATA_HOME/mime/packages/sorrel.xml gives ".pdr" and ".pfl"
//     the types application/x-sorrel-pdr and application/x-sorrel-pfl ("Tarn's MP3Player
//     ListFile");
//   - the desktop entry $XDG_DATA_HOME/applications/sorrel.desktop runs this program
//     (its absolute path) with the file, and lists both types;
//   - the icon goes to $XDG_DATA_HOME/icons/hicolor/scalable/apps/sorrel.svg;
//   - $XDG_CONFIG_HOME/mimeapps.list makes sorrel.desktop the default application of
//     both types, and so does every desktop-specific list there ($desktop-mimeapps.list
//     of the current desktop) that names another default for them, since it would win;
//   - update-mime-database and update-desktop-database refresh the user's databases,
//     where they are installed.
// Removing takes the entry, the package and the icon away, and the defaults of both
// types from every list the user owns (whatever application they name), and refreshes.
//
// A type is associated when its default application is sorrel.desktop: the first
// installed entry named under [Default Applications] in the lists in their lookup
// order.  Lists that cannot be read count as absent.  Every file is written whole or
// not at all; a mimeapps.list that exists but cannot be read is never replaced, and
// its other lines, whatever they hold, keep their bytes.
#pragma once

#include "settings/core/Association.h"
#include "settings/core/XdgDirs.h"

#include <string>
#include <string_view>
#include <vector>

namespace sorrel::settings {

inline constexpr const char* kDesktopId = "sorrel.desktop";
inline constexpr const char* kMimePackageName = "sorrel.xml";
inline constexpr const char* kIconName = "sorrel";

struct TListType {
  const char* extension;
  const char* mimeType;
};
inline constexpr TListType kListTypes[] = {
    {".pdr", "application/x-sorrel-pdr"},
    {".pfl", "application/x-sorrel-pfl"},
};

// The time a database tool may take.
inline constexpr int kToolTimeoutMs = 60000;

class TXdgAssociation : public TAssociationStore {
 public:
  // `program`: the absolute path the desktop entry runs.
  TXdgAssociation(TXdgDirs dirs, std::string program);
  // The environment's directories and the running program.
  static TXdgAssociation ForThisProgram();

  bool IsAssociated(std::string_view extension) override;
  bool Associate(std::string& message) override;
  bool RemoveAssociation(std::string& message) override;

  // The desktop ID of the type's default application; empty when no list names an
  // installed one.
  std::string DefaultApplication(std::string_view mimeType) const;
  // Where the installed desktop entry with this ID is; empty when there is none (or it
  // is Hidden).
  std::string FindDesktopEntry(std::string_view desktopId) const;
  // Every mimeapps.list in lookup order, whether it exists or not.
  std::vector<std::string> MimeAppsLists() const;

  std::string DesktopEntryPath() const;
  std::string PackagePath() const;
  std::string IconPath() const;
  std::string UserMimeAppsList() const;  // $XDG_CONFIG_HOME/mimeapps.list
  const TXdgDirs& Dirs() const { return dirs_; }

 private:
  // Runs the refresh tools; false only when one that exists failed.  Notes a missing one.
  bool Refresh(std::string& message) const;

  TXdgDirs dirs_;
  std::string program_;
};

// The running program's absolute path (from /proc/self/exe); empty when unknown.
std::string CurrentProgram();

}  // namespace sorrel::settings
