#include "skin/acSkinPack.h"

#include "framework/SysUtils.h"
#include "imaging/acAdler32.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace evesk {

const char* const SNotSkinArchive = "Loaded data is not packed QuenchSkin file";
const char* const SkinOptionsFileName = "Options.dat";
const char SkinArchiveMagic[4] = {'A', 'S', 'z', 'f'};

namespace {

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool IsBitmapName(const std::string& name) {
  const auto dot = name.rfind('.');
  return dot != std::string::npos && Upper(name.substr(dot)) == ".BMP";
}

// Names are shown to the user in messages; bytes that would garble a dialog are escaped.
std::string Printable(const std::string& name) {
  std::string out;
  for (unsigned char c : name.substr(0, 64)) {
    if (c < 0x20 || c == 0x7F) {
      static const char hex[] = "0123456789ABCDEF";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (name.size() > 64) out += "...";
  return out;
}

[[noreturn]] void Damaged(const std::string& pattern, std::initializer_list<std::string> args) {
  throw ESkinArchiveError("Archiv vzhledu je poškozený: " + FormatText(pattern, args));
}

std::int32_t ReadInt(TStream& s, const std::string& what) {
  std::uint8_t b[4];
  std::size_t got = 0;
  while (got < 4) {
    const std::size_t n = s.Read(b + got, 4 - got);
    if (n == 0) Damaged("končí uprostřed %s.", {what});
    got += n;
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                                   static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

// Ends the zlib stream however the entry's reading ends.
struct TInflater {
  z_stream zs{};
  bool open = false;
  ~TInflater() {
    if (open) inflateEnd(&zs);
  }
};

}  // namespace

std::string PrintableSkinName(const std::string& name) { return Printable(name); }

bool IsSkinEntryName(const std::string& name) {
  if (name.empty() || name.size() > static_cast<std::size_t>(TacSkinConvertor::MaxNameLength)) return false;
  if (name == "." || name == "..") return false;
  for (unsigned char c : name)
    if (c < 0x20 || std::strchr("\\/:*?\"<>|", c)) return false;
  return true;
}

void TacSkinConvertor::SetSource(TStream* borrowed) {
  ReleaseSource();
  FSource = borrowed;
}

void TacSkinConvertor::TakeSource(std::unique_ptr<TStream> owned) {
  ReleaseSource();
  FOwnedSource = std::move(owned);
  FSource = FOwnedSource.get();
}

void TacSkinConvertor::ReleaseSource() {
  FSource = nullptr;
  FOwnedSource.reset();
}

void TacSkinConvertor::Clear() {
  while (!FImages.empty()) FImages.pop_back();
  FOptions.reset();
  ReleaseSource();
}

const TacImageEntry* TacSkinConvertor::FindImage(const std::string& name) const {
  const std::string key = Upper(name);
  for (const auto& image : FImages)
    if (Upper(image.Name) == key) return &image;
  return nullptr;
}

bool TacSkinConvertor::ReadArchive() {
  FLastError.clear();
  while (!FImages.empty()) FImages.pop_back();
  FOptions.reset();
  try {
    Parse();
    return true;
  } catch (const Exception& e) {
    // Stream errors of the source land here too; nothing half-read is kept.
    FLastError = e.Message();
  } catch (const std::bad_alloc&) {
    FLastError = "Archiv vzhledu je příliš velký, nelze jej načíst.";
  }
  Clear();
  if (OnWarning) OnWarning(FLastError);
  return false;
}

void TacSkinConvertor::Parse() {
  if (!FSource) throw ESkinArchiveError("Není žádný archiv vzhledu ke čtení.");
  TStream& src = *FSource;
  src.SetPosition(0);
  char magic[4] = {};
  std::size_t got = 0;
  while (got < 4) {
    const std::size_t n = src.Read(magic + got, 4 - got);
    if (n == 0) break;
    got += n;
  }
  if (got < 4 || std::memcmp(magic, SkinArchiveMagic, 4) != 0) throw ESkinArchiveError(SNotSkinArchive);

  const std::int32_t count = ReadInt(src, "počtu souborů");
  if (count < 0 || count > MaxEntries)
    Damaged("uvádí %s souborů (dovoleno je nejvýš %s).", {CzechCount(count), CzechCount(MaxEntries)});

  std::int64_t total = 0;
  std::vector<std::string> seen;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string number = std::to_string(i + 1);
    const std::int32_t nameLength = ReadInt(src, "délky názvu souboru č. " + number);
    if (nameLength <= 0 || nameLength > MaxNameLength)
      Damaged("soubor č. %s má název dlouhý %s.", {number, CzechBytes(nameLength)});
    if (nameLength > src.Remaining()) Damaged("končí uprostřed názvu souboru č. %s.", {number});
    std::string name(static_cast<std::size_t>(nameLength), '\0');
    src.ReadBuffer(name.data(), name.size());
    if (!IsSkinEntryName(name)) Damaged("soubor č. %s má název „%s“, který není prostým názvem souboru.", {number, Printable(name)});
    const std::string key = Upper(name);
    if (std::find(seen.begin(), seen.end(), key) != seen.end())
      Damaged("název „%s“ je v něm dvakrát.", {Printable(name)});
    seen.push_back(key);

    const std::int32_t size = ReadInt(src, "velikosti souboru „" + Printable(name) + "“");
    if (size < 0 || size > MaxEntrySize)
      Damaged("soubor „%s“ uvádí velikost %s.", {Printable(name), CzechBytes(size)});
    if (total + size > MaxTotalSize)
      throw ESkinArchiveError("Archiv vzhledu je příliš velký: jeho soubory se rozbalí na víc než " +
                              CzechCount(MaxTotalSize >> 20) + " MB.");
    auto data = std::make_unique<TMemoryStream>(Inflate(name, size, total));
    if (key == Upper(SkinOptionsFileName)) {
      FOptions = std::move(data);
    } else {
      FImages.push_back({name, IsBitmapName(name), std::move(data)});
    }
  }
}

namespace {

// The compressed bytes of one entry, read from the source a block at a time. Every complaint
// names the entry.
class TEntryInput {
 public:
  TEntryInput(TStream& source, std::uint8_t* block, const std::string& name)
      : FSource(source), FBlock(block), FName(name) {}

  std::uint8_t Byte() {
    Fill();
    return FBlock[FPos++];
  }
  // At least one unread byte in the block: a source that ends here is a damaged archive.
  void Fill() {
    if (FPos != FEnd) return;
    FEnd = FSource.Read(FBlock, TacSkinConvertor::BlockSize);
    FPos = 0;
    if (FEnd == 0) Damaged("končí uprostřed dat souboru „%s“.", {Printable(FName)});
  }
  std::uint8_t* Next() const { return FBlock + FPos; }
  std::size_t Unread() const { return FEnd - FPos; }
  void Leave(std::size_t unread) { FPos = FEnd - unread; }
  // Puts the source right after the bytes taken, where the next entry begins.
  void GiveBackUnread() { FSource.SetPosition(FSource.Position() - static_cast<std::int64_t>(FEnd - FPos)); }
  [[noreturn]] void Refused(const std::string& why) const {
    Damaged("data souboru „%s“ nelze rozbalit (%s).", {Printable(FName), why});
  }
  const std::string& Name() const { return FName; }

 private:
  TStream& FSource;
  std::uint8_t* const FBlock;
  const std::string& FName;
  std::size_t FPos = 0, FEnd = 0;
};

// The two-byte zlib header, refused with the check that failed.
void CheckZlibHeader(TEntryInput& in) {
  std::uint8_t header[2];
  for (std::uint8_t& b : header) b = in.Byte();
  if ((header[0] << 8 | header[1]) % 31 != 0) in.Refused("chybná hlavička");
  if ((header[0] & 15) != Z_DEFLATED) in.Refused("neznámá metoda komprese");
  if ((header[0] >> 4) + 8 > MAX_WBITS) in.Refused("neplatná velikost okna");
  if (header[1] & 0x20) {  // a preset dictionary, which no skin has; zlib asks for it after reading its id
    for (int i = 0; i < 4; ++i) in.Byte();
    in.Refused("chyba zlib " + std::to_string(Z_NEED_DICT));
  }
}

// The raw deflate data of an entry that claims SIZE bytes, with the Adler-32 of what it made.
std::vector<std::uint8_t> InflateRaw(TEntryInput& in, std::int64_t size, std::uint32_t& adler) {
  TInflater inf;
  if (inflateInit2(&inf.zs, -MAX_WBITS) != Z_OK) throw ESkinArchiveError("Archiv vzhledu nelze rozbalit: knihovna zlib se nespustila.");
  inf.open = true;

  // The declared size is only a claim: at most 1 MB is set aside up front, and the bytes grow
  // with real output.
  std::vector<std::uint8_t> data(static_cast<std::size_t>(std::min<std::int64_t>(size, std::int64_t{1} << 20)));
  std::size_t produced = 0;
  std::uint8_t spare[1];  // room for one byte past the claim, to notice a longer stream
  for (;;) {
    in.Fill();
    if (produced == data.size() && data.size() < static_cast<std::size_t>(size))
      data.resize(static_cast<std::size_t>(std::min<std::int64_t>(size, std::int64_t(data.size()) * 2)));
    const bool full = produced == data.size();
    inf.zs.next_in = in.Next();
    inf.zs.avail_in = static_cast<uInt>(in.Unread());
    inf.zs.next_out = full ? spare : data.data() + produced;
    inf.zs.avail_out = full ? 1 : static_cast<uInt>(data.size() - produced);
    const uInt inBefore = inf.zs.avail_in, outBefore = inf.zs.avail_out;
    // Z_FINISH: an entry that ends within this call needs no sliding window, so zlib neither
    // allocates one nor copies the entry's last 32 KB into it; otherwise it carries on as usual.
    const int rc = inflate(&inf.zs, Z_FINISH);
    const std::size_t made = outBefore - inf.zs.avail_out;
    in.Leave(inf.zs.avail_in);
    if (full && made > 0)
      Damaged("soubor „%s“ se rozbalí na víc než uváděných %s.", {Printable(in.Name()), CzechBytes(size)});
    adler = Adler32(adler, data.data() + produced, made);
    produced += made;
    if (rc == Z_STREAM_END) break;
    // zlib's own reasons are English; its code tells a developer enough.
    if (rc != Z_OK && rc != Z_BUF_ERROR) in.Refused("poškozená komprimovaná data, chyba zlib " + std::to_string(rc));
    // With input and room for output inflate always moves; a stall would be a loop for ever.
    if (made == 0 && inf.zs.avail_in == inBefore && inf.zs.avail_in > 0)
      Damaged("data souboru „%s“ nelze rozbalit.", {Printable(in.Name())});
  }
  if (produced != static_cast<std::size_t>(size)) data.resize(produced);
  return data;
}

// The big-endian Adler-32 trailer must match the bytes made.
void CheckAdlerTrailer(TEntryInput& in, std::uint32_t adler) {
  std::uint32_t stored = 0;
  for (int i = 0; i < 4; ++i) stored = stored << 8 | in.Byte();
  if (stored != adler) in.Refused("nesouhlasí kontrolní součet");
}

}  // namespace

// Inflates one entry, reading the source in blocks; afterwards the source stands right after
// the zlib trailer, where the next entry begins, since no compressed length is stored. zlib
// inflates the raw data straight into the entry's bytes; the two-byte header and the Adler-32
// trailer are checked here, because our checksum runs in vectors.
std::vector<std::uint8_t> TacSkinConvertor::Inflate(const std::string& name, std::int64_t size, std::int64_t& total) {
  if (!FBlock) FBlock.reset(new std::uint8_t[BlockSize]);
  TEntryInput in(*FSource, FBlock.get(), name);
  CheckZlibHeader(in);
  std::uint32_t adler = 1;
  std::vector<std::uint8_t> data = InflateRaw(in, size, adler);
  CheckAdlerTrailer(in, adler);
  if (data.size() != static_cast<std::size_t>(size))
    Damaged("soubor „%s“ se rozbalí na %s, ne na uváděných %s.",
            {Printable(name), CzechBytes(static_cast<long long>(data.size())), CzechBytes(size)});
  in.GiveBackUnread();
  total += size;
  return data;
}

bool LoadArchiveFile(const TacFileSystem& files, const std::string& fileName, TacSkinConvertor& reader,
                     bool freeSource) {
  if (!files.FileExists(fileName)) return false;
  reader.Clear();
  const std::int64_t fileSize = files.FileSize(fileName);
  if (fileSize > TacSkinConvertor::MaxFileSize) {
    if (reader.OnWarning)
      reader.OnWarning(FormatText("Archiv vzhledu „%s“ je příliš velký (%s).", {fileName, CzechBytes(fileSize)}));
    return false;
  }
  bool ok = false;
  try {
    reader.TakeSource(std::make_unique<TMemoryStream>(files.ReadFile(fileName)));
    ok = reader.ReadArchive();
  } catch (const Exception& e) {
    if (reader.OnWarning) reader.OnWarning(e.Message());
  }
  if (freeSource) reader.ReleaseSource();
  return ok;
}

std::vector<TacSkinFile> ReadFolderSkin(const TacFileSystem& files, const std::string& folder) {
  std::string base = folder;
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  if (!files.FileExists(base + SkinOptionsFileName))
    throw ESkinArchiveError(FormatText("Složka „%s“ neobsahuje soubor %s.", {folder, SkinOptionsFileName}));
  std::vector<std::string> names;
  for (const auto& entry : files.ListFolder(folder))
    if (!entry.Folder && !entry.Name.empty() && entry.Name[0] != '.' && Upper(entry.Name) != Upper(SkinOptionsFileName))
      names.push_back(entry.Name);
  std::sort(names.begin(), names.end());
  std::vector<TacSkinFile> skin;
  skin.push_back({SkinOptionsFileName, files.ReadFile(base + SkinOptionsFileName)});
  for (const auto& name : names) skin.push_back({name, files.ReadFile(base + name)});
  return skin;
}

}  // namespace evesk
