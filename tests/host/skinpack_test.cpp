// Skin archives: the byte layout, packing a folder and reading it back, refusing damaged
// archives of every kind without keeping anything, and choosing and listing skins.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>

#include <unistd.h>

#include "skin/acSkinPack.h"
#include "imaging/acAdler32.h"
#include "framework/FormReader.h"
#include "framework/Properties.h"
#include "skin/sSkinSources.h"
#include "skin/sStoredSkins.h"

using namespace evesk;
using Bytes = std::vector<std::uint8_t>;

namespace {

void Put32(Bytes& b, std::int32_t v) {
  for (int s = 0; s < 32; s += 8) b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> s));
}

Bytes Zlib(const Bytes& data, int level = 6) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level), Z_OK);
  out.resize(size);
  return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Bytes that deflate hardly shrinks, so their stream spans several of the reader's blocks.
Bytes Noise(std::size_t n, std::uint32_t seed) {
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  return b;
}

// An archive entry written by hand, so that any field can lie.
struct Entry {
  std::string name;
  std::int32_t size;
  Bytes stream;
  std::optional<std::int32_t> nameLength;  // none: the true length
};

Entry Good(const std::string& name, const Bytes& data) { return {name, static_cast<std::int32_t>(data.size()), Zlib(data), std::nullopt}; }

Bytes Archive(const std::vector<Entry>& entries, std::optional<std::int32_t> count = {}) {
  Bytes b = Text("ASzf");
  Put32(b, count ? *count : static_cast<std::int32_t>(entries.size()));
  for (const auto& e : entries) {
    Put32(b, e.nameLength ? *e.nameLength : static_cast<std::int32_t>(e.name.size()));
    b.insert(b.end(), e.name.begin(), e.name.end());
    Put32(b, e.size);
    b.insert(b.end(), e.stream.begin(), e.stream.end());
  }
  return b;
}

struct Read {
  TMemoryStream source;
  TacSkinConvertor reader;
  std::vector<std::string> warnings;
  bool ok;
  explicit Read(Bytes bytes) : source(std::move(bytes)) {
    reader.OnWarning = [this](const std::string& m) { warnings.push_back(m); };
    reader.SetSource(&source);
    ok = reader.ReadArchive();
  }
};

// A made-up tree of Windows paths for the skin choice.
class TFakeFiles : public TacFileSystem {
 public:
  std::map<std::string, Bytes> files;
  std::set<std::string> folders;
  std::map<std::string, std::vector<TacDirEntry>> listings;  // in enumeration order
  bool FileExists(const std::string& p) const override { return files.count(p) > 0; }
  bool DirectoryExists(const std::string& p) const override { return folders.count(p) > 0; }
  std::map<std::string, std::int64_t> sizes;  // claimed sizes of files not held in memory
  std::int64_t FileSize(const std::string& p) const override {
    auto it = sizes.find(p);
    return it != sizes.end() ? it->second : files.count(p) ? static_cast<std::int64_t>(files.at(p).size()) : -1;
  }
  std::vector<TacDirEntry> ListFolder(const std::string& p) const override {
    auto it = listings.find(p);
    return it == listings.end() ? std::vector<TacDirEntry>{} : it->second;
  }
  Bytes ReadFile(const std::string& p) const override {
    auto it = files.find(p);
    if (it == files.end()) throw EStreamError("Cannot open file \"" + p + "\"");
    return it->second;
  }
};

}  // namespace

TEST(SkinArchive, WriterLaysOutMagicCountNameSizeAndOneZlibStreamPerFile) {
  TMemoryStream out;
  WriteSkinArchive(out, {{"Options.dat", Text("[A]\n")}, {"Glow.png", {}}});
  const Bytes& b = out.Bytes();
  Bytes head = Text("ASzf");
  Put32(head, 2), Put32(head, 11);
  const Bytes name = Text("Options.dat");
  head.insert(head.end(), name.begin(), name.end());
  Put32(head, 4);
  ASSERT_GT(b.size(), head.size() + 2);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + static_cast<long>(head.size())), head);
  EXPECT_EQ(b[head.size()], 0x78);  // zlib header, deflate with a 32 KB window
  EXPECT_EQ((b[head.size()] * 256 + b[head.size() + 1]) % 31, 0);
}

TEST(SkinArchive, FolderSkinPacksAndReadsBackWithOptionsFirstAndTheRestByName) {
  const auto dir = std::filesystem::temp_directory_path() / ("skinpack_test_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "Skin" / "sub");
  auto write = [&](const std::string& name, const Bytes& data) {
    std::ofstream(dir / "Skin" / name, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  };
  const Bytes options = Text("[GENERAL]\r\nVersion=5\r\n"), master = Noise(200000, 7), glow = Noise(100, 8);
  write("Options.dat", options);
  write("Master.bmp", master);
  write("GlowMin.png", glow);
  write("Corner.BMP", {});
  write(".hidden", Text("x"));

  TacDiskFiles disk;
  TMemoryStream archive;
  WriteSkinArchive(archive, ReadFolderSkin(disk, (dir / "Skin").string()));
  const auto file = (dir / "Skin.asz").string();
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(archive.Bytes().data()), static_cast<std::streamsize>(archive.Size()));

  TacSkinConvertor reader;
  ASSERT_TRUE(LoadArchiveFile(disk, file, reader, true));
  EXPECT_EQ(reader.SrcStream(), nullptr);
  ASSERT_NE(reader.Options(), nullptr);
  EXPECT_EQ(reader.Options()->Bytes(), options);
  EXPECT_EQ(reader.Options()->Position(), 0);
  ASSERT_EQ(reader.ImageCount(), 3);
  EXPECT_EQ(reader.Images()[0].Name, "Corner.BMP");
  EXPECT_TRUE(reader.Images()[0].IsBitmap);
  EXPECT_EQ(reader.Images()[0].Data->Size(), 0);
  EXPECT_EQ(reader.Images()[1].Name, "GlowMin.png");
  EXPECT_FALSE(reader.Images()[1].IsBitmap);
  EXPECT_EQ(reader.Images()[1].Data->Bytes(), glow);
  EXPECT_EQ(reader.Images()[2].Data->Bytes(), master);
  ASSERT_NE(reader.FindImage("MASTER.bmp"), nullptr);
  EXPECT_EQ(reader.FindImage("master.bmp")->Name, "Master.bmp");
  EXPECT_EQ(reader.FindImage("Options.dat"), nullptr);

  // The same folder without its options file is not a skin.
  std::filesystem::remove(dir / "Skin" / "Options.dat");
  EXPECT_THROW(ReadFolderSkin(disk, (dir / "Skin").string()), ESkinArchiveError);
  std::filesystem::remove_all(dir);
}

TEST(SkinArchive, ConsecutiveEntriesFollowEachZlibStreamToItsTrailerAcrossBlocks) {
  // The first stream is far longer than one read block; no compressed length tells its end.
  const Bytes big = Noise(3 * TacSkinConvertor::BlockSize + 123, 1), small = Text("second");
  Read r(Archive({Good("a.bmp", big), Good("OPTIONS.DAT", Text("opts")), Good("b.Bmp", small), Good("bmp", small)}));
  ASSERT_TRUE(r.ok) << r.reader.LastError();
  EXPECT_TRUE(r.warnings.empty());
  ASSERT_EQ(r.reader.ImageCount(), 3);
  EXPECT_EQ(r.reader.Images()[0].Data->Bytes(), big);
  EXPECT_EQ(r.reader.Options()->Bytes(), Text("opts"));
  EXPECT_EQ(r.reader.Images()[1].Data->Bytes(), small);
  EXPECT_TRUE(r.reader.Images()[1].IsBitmap);
  EXPECT_FALSE(r.reader.Images()[2].IsBitmap);  // no extension at all
}

TEST(SkinArchive, ArchiveWithoutOptionsOrEntriesReadsAsEmpty) {
  Read none(Archive({}));
  EXPECT_TRUE(none.ok);
  EXPECT_EQ(none.reader.Options(), nullptr);
  EXPECT_EQ(none.reader.ImageCount(), 0);
  Read images(Archive({Good("x.png", Text("p"))}));
  EXPECT_TRUE(images.ok);
  EXPECT_EQ(images.reader.Options(), nullptr);
  EXPECT_EQ(images.reader.ImageCount(), 1);  // counts what is there, not count - 1
}

TEST(SkinArchive, WrongMagicWarnsOnceWithTheFixedTextAndKeepsNothing) {
  Bytes png = Archive({Good("Options.dat", Text("o"))});
  png[0] = 0x89;
  for (const Bytes& bytes : {png, Bytes{}, Text("ASz")}) {
    Read r(bytes);
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0], "Loaded data is not packed QuenchSkin file");
    EXPECT_EQ(r.reader.Options(), nullptr);
    EXPECT_EQ(r.reader.SrcStream(), nullptr);
    EXPECT_EQ(r.source.Size(), static_cast<std::int64_t>(bytes.size()));  // borrowed, not freed
  }
}

TEST(SkinArchive, EveryTruncationOfAnArchiveIsRefusedWithAMessage) {
  const Bytes whole = Archive({Good("Options.dat", Text("[GENERAL]\nA=1\n")), Good("Master.bmp", Noise(300, 3))});
  for (std::size_t n = 4; n < whole.size(); ++n) {
    Read r(Bytes(whole.begin(), whole.begin() + static_cast<long>(n)));
    EXPECT_FALSE(r.ok) << n;
    ASSERT_EQ(r.warnings.size(), 1u) << n;
    EXPECT_EQ(r.warnings[0].rfind("Archiv vzhledu je poškozený: končí uprostřed", 0), 0u) << n << ": " << r.warnings[0];
    EXPECT_EQ(r.reader.Options(), nullptr);
    EXPECT_EQ(r.reader.ImageCount(), 0);
  }
}

TEST(SkinArchive, LyingCountsNamesAndSizesAreRefusedBeforeAnythingIsAllocated) {
  const Bytes opts = Text("[A]\n");
  Entry longName = Good("x.bmp", opts);
  longName.nameLength = 0x7FFFFFF0;
  Entry negativeName = Good("x.bmp", opts);
  negativeName.nameLength = -5;
  Entry hugeSize = Good("x.bmp", opts);
  hugeSize.size = static_cast<std::int32_t>(TacSkinConvertor::MaxEntrySize + 1);
  Entry negativeSize = Good("x.bmp", opts);
  negativeSize.size = -1;
  const struct {
    const char* what;
    Bytes archive;
    const char* message;
  } cases[] = {
      {"negative count", Archive({}, -1), "uvádí -1 souborů"},
      {"huge count", Archive({Good("Options.dat", opts)}, 0x7FFFFFFF), "uvádí 2\u00A0147\u00A0483\u00A0647 souborů"},
      {"count beyond the entries", Archive({Good("Options.dat", opts)}, 2), "končí uprostřed délky názvu souboru č. 2"},
      {"name beyond the data", Archive({longName}), "má název dlouhý 2\u00A0147\u00A0483\u00A0632 bajtů"},
      {"negative name length", Archive({negativeName}), "má název dlouhý -5 bajtů"},
      {"empty name", Archive({Good("", opts)}), "má název dlouhý 0 bajtů"},
      {"size beyond the cap", Archive({hugeSize}), "uvádí velikost 25\u00A0165\u00A0825 bajtů"},
      {"negative size", Archive({negativeSize}), "uvádí velikost -1 bajt."},
  };
  for (const auto& c : cases) {
    Read r(c.archive);
    EXPECT_FALSE(r.ok) << c.what;
    ASSERT_EQ(r.warnings.size(), 1u) << c.what;
    EXPECT_NE(r.warnings[0].find(c.message), std::string::npos) << c.what << ": " << r.warnings[0];
  }
}

TEST(SkinArchive, NamesThatAreNotPlainFileNamesOrRepeatAreRefused) {
  for (const char* name : {"..\\..\\Windows\\evil.dll", "../evil", "c:evil", "..", ".", "a\nb", "a|b", "a*"}) {
    Read r(Archive({Good(name, Text("x"))}));
    EXPECT_FALSE(r.ok) << name;
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("není prostým názvem souboru"), std::string::npos) << r.warnings[0];
    EXPECT_FALSE(IsSkinEntryName(name));
  }
  EXPECT_NE(Read(Archive({Good("a\x01", Text("x"))})).warnings.at(0).find("„a\\x01“"), std::string::npos);
  Read twice(Archive({Good("Glow.png", Text("1")), Good("GLOW.PNG", Text("2"))}));
  EXPECT_FALSE(twice.ok);
  EXPECT_NE(twice.warnings.at(0).find("název „GLOW.PNG“ je v něm dvakrát"), std::string::npos);
  EXPECT_FALSE(Read(Archive({Good("Options.dat", Text("1")), Good("options.DAT", Text("2"))})).ok);
  EXPECT_TRUE(IsSkinEntryName("Topaz (interní).bmp"));

  TMemoryStream out;
  EXPECT_THROW(WriteSkinArchive(out, {{"../x", {}}}), ESkinArchiveError);
  EXPECT_THROW(WriteSkinArchive(out, {{"a.png", {}}, {"A.PNG", {}}}), ESkinArchiveError);
  EXPECT_EQ(out.Size(), 0);  // nothing is written before the files are checked
}

TEST(SkinArchive, StreamsThatDisagreeWithTheirSizeOrDoNotInflateAreRefused) {
  const Bytes data = Text("some options text");
  Entry shorter = Good("a.png", data);
  shorter.size += 1;
  Entry longer = Good("a.png", data);
  longer.size -= 1;
  Entry badAdler = Good("a.png", data);
  badAdler.stream.back() ^= 1;
  Entry badHeader = Good("a.png", data);
  badHeader.stream[1] ^= 1;
  Entry raw = Good("a.png", data);
  raw.stream.erase(raw.stream.begin(), raw.stream.begin() + 2);
  Entry dictionary = Good("a.png", data);
  dictionary.stream[1] = 0xBB;  // FDICT set, header check still valid: 0x78BB % 31 == 0
  // A bomb: a few kilobytes that inflate to 50 MB, claiming 1000 bytes.
  Entry bomb = Good("a.png", Bytes(50 << 20, 0));
  bomb.size = 1000;
  const struct {
    const char* what;
    Entry entry;
    const char* message;
  } cases[] = {
      {"shorter", shorter, "se rozbalí na 17 bajtů, ne na uváděných 18 bajtů"},
      {"longer", longer, "se rozbalí na víc než uváděných 16 bajtů"},
      {"adler", badAdler, "nelze rozbalit (nesouhlasí kontrolní součet)"},
      {"header", badHeader, "nelze rozbalit (chybná hlavička)"},
      {"raw deflate", raw, "nelze rozbalit"},
      {"dictionary", dictionary, "nelze rozbalit"},
      {"bomb", bomb, "se rozbalí na víc než uváděných 1\u00A0000 bajtů"},
  };
  for (const auto& c : cases) {
    Read r(Archive({Good("Options.dat", data), c.entry}));
    EXPECT_FALSE(r.ok) << c.what;
    ASSERT_EQ(r.warnings.size(), 1u) << c.what;
    EXPECT_NE(r.warnings[0].find(c.message), std::string::npos) << c.what << ": " << r.warnings[0];
    EXPECT_EQ(r.reader.Options(), nullptr) << c.what;  // the good first entry is not kept either
  }
}

TEST(SkinArchive, LoadArchiveFileLeavesTheReaderAloneWhenTheFileIsMissing) {
  TFakeFiles files;
  TacSkinConvertor reader;
  int warnings = 0;
  reader.OnWarning = [&](const std::string&) { ++warnings; };
  files.files["c:\\Skins\\A.asz"] = Archive({Good("Options.dat", Text("a"))});
  ASSERT_TRUE(LoadArchiveFile(files, "c:\\Skins\\A.asz", reader, false));
  ASSERT_NE(reader.SrcStream(), nullptr);  // kept without the free flag
  EXPECT_FALSE(LoadArchiveFile(files, "c:\\Skins\\B.asz", reader, true));
  EXPECT_NE(reader.Options(), nullptr);
  EXPECT_EQ(warnings, 0);
  files.files["c:\\Skins\\Bad.asz"] = Text("PK\x03\x04");
  EXPECT_FALSE(LoadArchiveFile(files, "c:\\Skins\\Bad.asz", reader, true));
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(reader.Options(), nullptr);
  EXPECT_EQ(reader.SrcStream(), nullptr);
  // A huge file is refused before it is read in (reading this one would throw).
  files.files["c:\\Skins\\Huge.asz"] = {};
  files.sizes["c:\\Skins\\Huge.asz"] = std::int64_t{4} << 30;
  EXPECT_FALSE(LoadArchiveFile(files, "c:\\Skins\\Huge.asz", reader, true));
  EXPECT_EQ(warnings, 2);
}

// Files the fuzzer (or a review) found troublesome: each is refused with a message.
TEST(SkinArchiveRegression, TroublesomeArchivesAreRefusedCleanly) {
  const std::filesystem::path dir = std::filesystem::path(EVESK_FIXTURES) / "skin" / "crashers";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    ++files;
    Read r(ReadFileBytes(entry.path().string()));
    EXPECT_FALSE(r.ok) << entry.path();
    EXPECT_EQ(r.warnings.size(), 1u) << entry.path();
  }
  EXPECT_GT(files, 0);
}

TEST(SkinSources, SkinDirectoryIsResolvedAgainstTheProgramFolder) {
  const std::string app = "C:\\Apps\\Evesk\\";
  EXPECT_EQ(ResolveSkinDirectory("..\\Skins", app), "C:\\Apps\\Skins");
  EXPECT_EQ(ResolveSkinDirectory("../Skins", "/opt/evesk/bin/"), "/opt/evesk/Skins");
  EXPECT_EQ(ResolveSkinDirectory("..", app), "C:\\Apps\\");
  EXPECT_EQ(ResolveSkinDirectory("..\\x", "noseparator"), "x");
  EXPECT_EQ(ResolveSkinDirectory(".\\Skins", app), "C:\\Apps\\Evesk\\Skins");
  EXPECT_EQ(ResolveSkinDirectory("./Skins", app), "C:\\Apps\\Evesk\\Skins");
  EXPECT_EQ(ResolveSkinDirectory("Skins", app), "C:\\Apps\\Evesk\\Skins");
  EXPECT_EQ(ResolveSkinDirectory("c:\\Skins", app), "c:\\Skins");
  EXPECT_EQ(ResolveSkinDirectory("\\\\server\\share", app), "\\\\server\\share");
  EXPECT_EQ(IncludeSkinDirDelimiter("D"), "D:\\");
  EXPECT_EQ(IncludeSkinDirDelimiter("c:\\Skins/"), "c:\\Skins\\");
  EXPECT_EQ(IncludeSkinDirDelimiter("c:\\Skins\\"), "c:\\Skins\\");
  EXPECT_EQ(IncludeSkinDirDelimiter("c:\\Skins"), "c:\\Skins\\");
}

TEST(SkinSources, ArchiveBeatsFolderWhichBeatsInternalSkins) {
  TFakeFiles files;
  const std::vector<std::string> internal = {"Topaz (interní)", "Blue", "blue"};
  files.files["c:\\Skins\\Blue.asz"] = {};
  files.files["c:\\Skins\\Blue\\Options.dat"] = {};
  files.files["c:\\Skins\\Red\\Options.dat"] = {};
  TacSkinChoice c = ChooseSkinSource(files, "c:\\Skins", "C:\\App\\", "Blue", internal);
  EXPECT_EQ(c.Source, ssArchive);
  EXPECT_EQ(c.FileName, "c:\\Skins\\Blue.asz");
  EXPECT_EQ(c.SkinPath, "c:\\Skins\\");
  c = ChooseSkinSource(files, "c:\\Skins\\", "C:\\App\\", "Red", internal);
  EXPECT_EQ(c.Source, ssFolder);
  EXPECT_EQ(c.FileName, "c:\\Skins\\Red\\Options.dat");
  c = ChooseSkinSource(files, "c:\\Skins", "C:\\App\\", "Red", internal);
  EXPECT_EQ(c.FileName, "c:\\Skins\\Red\\Options.dat");
  EXPECT_EQ(c.SkinPath, "c:\\Skins\\Red\\");
  EXPECT_EQ(c.SkinName, "Red");
  // Internal names match exactly, case included.
  c = ChooseSkinSource(files, "d:\\None", "C:\\App\\", "blue", internal);
  EXPECT_EQ(c.Source, ssInternal);
  EXPECT_EQ(c.InternalIndex, 2);
  EXPECT_EQ(c.SkinPath, "");
  // A relative directory is looked up beside the program for archives too.
  files.files["C:\\App\\Skins\\Green.asz"] = {};
  c = ChooseSkinSource(files, "Skins", "C:\\App\\", "Green", internal);
  EXPECT_EQ(c.Source, ssArchive);
  EXPECT_EQ(c.FileName, "C:\\App\\Skins\\Green.asz");
}

TEST(SkinSources, AnUnknownNameFallsBackToTheFirstInternalSkinOrToNone) {
  TFakeFiles files;
  TacSkinChoice c = ChooseSkinSource(files, "c:\\Skins", "C:\\App\\", "Topaz", {"Topaz (interní)"});
  EXPECT_EQ(c.Source, ssInternal);
  EXPECT_EQ(c.InternalIndex, 0);
  EXPECT_EQ(c.SkinName, "Topaz (interní)");
  c = ChooseSkinSource(files, "c:\\Skins", "C:\\App\\", "Topaz", {});
  EXPECT_EQ(c.Source, ssNone);
  EXPECT_EQ(c.InternalIndex, -1);
}

TEST(SkinSources, ListingTakesInternalSkinsThenFoldersOrArchivesByKindSorted) {
  TFakeFiles files;
  files.folders.insert("C:\\App\\Skins");
  files.listings["C:\\App\\Skins"] = {{"zinc", true},     {"Empty", true},      {".git", true},   {"Red.asz", false},
                                      {"Red.ASZ", false}, {"My.skin.asz", false}, {"notes.txt", false}, {"box.asz", true},
                                      {".old.asz", false}, {"Amber", true}};
  for (const char* f : {"zinc", ".git", "box.asz", "Amber"}) files.files[std::string("C:\\App\\Skins\\") + f + "\\Options.dat"] = {};
  const std::vector<std::string> internal = {"Topaz (interní)", "Beryl"};
  std::vector<std::string> list = {"stale"};
  EXPECT_EQ(ListSkins(files, "Skins", "C:\\App\\", internal, slFolders, list), "Topaz (interní)");
  EXPECT_EQ(list, (std::vector<std::string>{"Amber", "Beryl", "box.asz", "Topaz (interní)", "zinc"}));
  EXPECT_EQ(ListSkins(files, "Skins", "C:\\App\\", internal, slArchives, list), "Topaz (interní)");
  EXPECT_EQ(list, (std::vector<std::string>{"Beryl", "My.skin", "Red", "Topaz (interní)"}));
  EXPECT_EQ(ListSkins(files, "Skins", "C:\\App\\", {}, slAll, list), "zinc");  // first met on disk
  EXPECT_EQ(list, (std::vector<std::string>{"Amber", "box.asz", "My.skin", "Red", "zinc"}));
  EXPECT_EQ(ListSkins(files, "c:\\Missing", "C:\\App\\", internal, slAll, list), "Topaz (interní)");
  EXPECT_EQ(list, (std::vector<std::string>{"Beryl", "Topaz (interní)"}));
  EXPECT_EQ(ListSkins(files, "c:\\Missing", "C:\\App\\", {}, slAll, list), "");
  EXPECT_TRUE(list.empty());
}

namespace {

// Stands in for the skin manager: a component publishing its internal skins.
class TSkinHolder : public TComponent {
 public:
  TSkinHolder() : TComponent(nullptr), InternalSkins(this) {}
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info{"TSkinHolder", &TComponent::StaticClassInfo(), nullptr,
                                 {Prop<TSkinHolder>::Collection("InternalSkins", &TSkinHolder::GetSkins)}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  TCollection* GetSkins() { return &InternalSkins; }
  TsStoredSkins InternalSkins;
};

std::string Hex(const Bytes& b) {
  std::string s;
  for (auto x : b) s += "0123456789ABCDEF"[x >> 4], s += "0123456789ABCDEF"[x & 15];
  return s;
}

}  // namespace

TEST(StoredSkins, InternalSkinsLoadFromTheDescriptionAndReadTheirArchiveByBorrowing) {
  TMemoryStream archive;
  WriteSkinArchive(archive, {{"Options.dat", Text("[GENERAL]\n")}, {"Master.bmp", Noise(70000, 5)}});
  TSkinHolder holder;
  ReadComponentRoot(holder, "object sSkinManager1: TSkinHolder\n"
                            "  InternalSkins = <\n"
                            "    item\n"
                            "      Name = 'Topaz (interní)'\n"
                            "      Shadow1Offset = 0\n"
                            "      Version = 7.5\n"
                            "      Data = {" + Hex(archive.Bytes()) + "}\n"
                            "    end\n"
                            "    item\n"
                            "      Name = 'Empty'\n"
                            "      Data = {}\n"
                            "    end>\n"
                            "end\n");
  ASSERT_EQ(holder.InternalSkins.Count(), 2);
  EXPECT_EQ(holder.InternalSkins.Names(), (std::vector<std::string>{"Topaz (interní)", "Empty"}));
  EXPECT_EQ(holder.InternalSkins.IndexOf("Empty"), 1);
  EXPECT_EQ(holder.InternalSkins.IndexOf("empty"), -1);
  TsStoredSkin& topaz = *holder.InternalSkins.Skin(0);
  EXPECT_EQ(topaz.Version, 7.5);
  EXPECT_EQ(topaz.Shadow1Blur, -1);
  EXPECT_EQ(topaz.BorderColor, 0xFF00FF);
  EXPECT_EQ(topaz.Data().Bytes(), archive.Bytes());

  TacSkinConvertor reader;
  int warnings = 0;
  reader.OnWarning = [&](const std::string&) { ++warnings; };
  ASSERT_TRUE(ReadStoredSkin(topaz, reader));
  EXPECT_EQ(reader.SrcStream(), nullptr);
  EXPECT_EQ(reader.Options()->Bytes(), Text("[GENERAL]\n"));
  EXPECT_EQ(reader.ImageCount(), 1);
  ASSERT_TRUE(ReadStoredSkin(topaz, reader));  // the stored archive is left whole for the next load
  EXPECT_FALSE(ReadStoredSkin(*holder.InternalSkins.Skin(1), reader));
  EXPECT_EQ(reader.Options(), nullptr);
  EXPECT_EQ(warnings, 0);
  topaz.SetData(Text("not an archive"));
  EXPECT_FALSE(ReadStoredSkin(topaz, reader));
  EXPECT_EQ(warnings, 1);
  EXPECT_EQ(topaz.Data().Size(), 14);  // borrowed, never freed by the reader
}

// The vector Adler-32 must agree with zlib's on every length, alignment and running value,
// and on runs of 0xFF long enough to overflow sums that are reduced too late.
TEST(Adler32, AgreesWithZlibAcrossLengthsAlignmentsAndWorstCaseRuns) {
  std::vector<std::uint8_t> bytes(70000);
  std::uint32_t seed = 12345;
  for (auto& b : bytes) b = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  std::vector<std::uint8_t> ones(70000, 0xFF);
  for (const auto* data : {&bytes, &ones})
    for (std::size_t length : {0, 1, 15, 16, 17, 63, 64, 65, 5551, 5552, 5553, 5568, 11104, 65536, 69990})
      for (std::size_t offset : {0, 1, 7})
        for (std::uint32_t start : {1u, 0xFFF0FFF0u, 0x00010000u}) {
          const std::uint32_t expected =
              static_cast<std::uint32_t>(adler32(start, data->data() + offset, static_cast<uInt>(length)));
          EXPECT_EQ(Adler32(start, data->data() + offset, length), expected)
              << "length " << length << " offset " << offset << " start " << start;
          EXPECT_EQ(Adler32Plain(start, data->data() + offset, length), expected)
              << "plain, length " << length << " offset " << offset << " start " << start;
        }
}
