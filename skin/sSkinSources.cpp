#include "skin/sSkinSources.h"

#include <algorithm>

#include "skin/acSkinPack.h"

namespace evesk {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "dir\name" without doubling a separator the directory already ends with.
std::string Join(const std::string& dir, const std::string& name) {
  return (!dir.empty() && IsSeparator(dir.back()) ? dir : dir + "\\") + name;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool LessNoCase(const std::string& a, const std::string& b) {
  const bool less = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                 [](char x, char y) { return Lower(x) < Lower(y); });
  const bool greater = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                                    [](char x, char y) { return Lower(x) < Lower(y); });
  return less || (!greater && a < b);  // names equal but for case keep a fixed order
}

}  // namespace

std::string IncludeSkinDirDelimiter(const std::string& dir) {
  if (dir.size() == 1 && !IsSeparator(dir[0])) return dir + ":\\";
  if (dir.empty()) return "\\";
  if (dir.back() == '/') return dir.substr(0, dir.size() - 1) + "\\";
  if (dir.back() == '\\') return dir;
  return dir + "\\";
}

std::string ResolveSkinDirectory(const std::string& dir, const std::string& programFolder) {
  if (dir.rfind("..", 0) == 0) {
    std::string parent = programFolder;
    if (!parent.empty()) parent.pop_back();
    while (!parent.empty() && !IsSeparator(parent.back())) parent.pop_back();
    return parent + (dir.size() > 3 ? dir.substr(3) : std::string());
  }
  if (dir.rfind(".\\", 0) == 0 || dir.rfind("./", 0) == 0) return programFolder + dir.substr(2);
  if (dir.find(':') == std::string::npos && dir.find("\\\\") == std::string::npos) return programFolder + dir;
  return dir;
}

int FindInternalSkin(const std::vector<std::string>& internalNames, const std::string& name) {
  for (std::size_t i = 0; i < internalNames.size(); ++i)
    if (internalNames[i] == name) return static_cast<int>(i);
  return -1;
}

TacSkinChoice ChooseSkinSource(const TacFileSystem& files, const std::string& skinDirectory,
                               const std::string& programFolder, const std::string& skinName,
                               const std::vector<std::string>& internalNames) {
  TacSkinChoice choice;
  choice.SkinName = skinName;
  const std::string dir = ResolveSkinDirectory(skinDirectory, programFolder);
  // The archive is looked for in the resolved directory, as the folder skins and the listing
  // are; a relative directory must not depend on the current directory of the process.
  const std::string archive = IncludeSkinDirDelimiter(dir) + skinName + ".asz";
  if (!skinName.empty() && files.FileExists(archive)) {
    choice.Source = ssArchive;
    choice.FileName = archive;
    choice.SkinPath = Join(dir, "");
    return choice;
  }
  const std::string options = Join(Join(dir, skinName), SkinOptionsFileName);
  if (!skinName.empty() && files.FileExists(options)) {
    choice.Source = ssFolder;
    choice.FileName = options;
    choice.SkinPath = Join(Join(dir, skinName), "");
    return choice;
  }
  if (internalNames.empty()) return choice;
  choice.Source = ssInternal;
  choice.InternalIndex = FindInternalSkin(internalNames, skinName);
  if (choice.InternalIndex < 0) {
    choice.InternalIndex = 0;
    choice.SkinName = internalNames[0];
  }
  return choice;
}

std::string ListSkins(const TacFileSystem& files, const std::string& skinDirectory, const std::string& programFolder,
                      const std::vector<std::string>& internalNames, int kind, std::vector<std::string>& list) {
  list.clear();
  std::string result;
  std::vector<std::string> names(internalNames.begin(), internalNames.end());
  if (!names.empty()) result = names[0];
  const std::string dir = ResolveSkinDirectory(skinDirectory, programFolder);
  if (files.DirectoryExists(dir)) {
    const std::string base = IncludeSkinDirDelimiter(dir);
    for (const auto& entry : files.ListFolder(dir)) {
      if (entry.Name.empty() || entry.Name[0] == '.') continue;
      std::string name;
      if (entry.Folder) {
        if ((kind == slFolders || kind == slAll) && files.FileExists(base + entry.Name + "\\" + SkinOptionsFileName))
          name = entry.Name;
      } else if (kind == slArchives || kind == slAll) {
        // The listed name must be the one that loads: "a.b.asz" is the skin "a.b".
        const auto dot = entry.Name.rfind('.');
        if (dot != std::string::npos && entry.Name.compare(dot, std::string::npos, ".asz") == 0)
          name = entry.Name.substr(0, dot);
      }
      if (name.empty()) continue;
      if (result.empty()) result = name;
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end(), LessNoCase);
  list = std::move(names);
  return result;
}

}  // namespace evesk
