// Where a skin comes from: an archive "<name>.asz" in the skin directory, else a folder
// "<name>" there holding "Options.dat", else an internal skin stored with the manager. Also
// the listing of the skins on offer. Paths are Windows paths; the file seam does the looking.
#pragma once
#include <string>
#include <vector>

#include "skin/acSkinFiles.h"

namespace evesk {

// Ensures a trailing "\": a trailing "/" becomes "\", and a lone drive letter gets ":\".
std::string IncludeSkinDirDelimiter(const std::string& dir);

// The skin directory made absolute against the program's folder (which ends with its
// separator): "..\x" is taken from the folder's parent, ".\x" and plain relative names from
// the folder itself; anything with ":" or "\\" is already absolute. No separator is added.
std::string ResolveSkinDirectory(const std::string& dir, const std::string& programFolder);

// Index of the first name equal to name (case-sensitive), or -1.
int FindInternalSkin(const std::vector<std::string>& internalNames, const std::string& name);

enum TacSkinSource { ssNone, ssArchive, ssFolder, ssInternal };

struct TacSkinChoice {
  TacSkinSource Source = ssNone;  // ssNone: no skin anywhere, the manager turns inactive
  std::string SkinName;           // the first internal skin's name when the asked one is absent
  std::string FileName;           // the archive, or the folder's "Options.dat"
  std::string SkinPath;           // ends with "\"; empty for an internal skin
  int InternalIndex = -1;
};

TacSkinChoice ChooseSkinSource(const TacFileSystem& files, const std::string& skinDirectory,
                               const std::string& programFolder, const std::string& skinName,
                               const std::vector<std::string>& internalNames);

enum TacSkinListKind { slFolders = 0, slArchives = 1, slAll = 2 };

// Fills list, sorted without regard to case, with the internal skins and, by kind, the folder
// skins and the archives of the skin directory. Returns the first name found: the first
// internal skin, else the first skin met on disk, else "".
std::string ListSkins(const TacFileSystem& files, const std::string& skinDirectory, const std::string& programFolder,
                      const std::vector<std::string>& internalNames, int kind, std::vector<std::string>& list);

}  // namespace evesk
