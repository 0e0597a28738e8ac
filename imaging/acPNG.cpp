#include "imaging/acPNG.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>
#include <utility>
#include <new>

#include <zlib.h>

#include "imaging/acInflate.h"
#include "imaging/acLZ77.h"
#include "imaging/acPNGFilters.h"
#include "imaging/acPixelOps.h"

namespace evesk {

namespace {

const std::uint8_t Signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

constexpr std::uint32_t MakeType(const char (&name)[5]) {
  return static_cast<std::uint32_t>(name[0]) << 24 | static_cast<std::uint32_t>(name[1]) << 16 |
         static_cast<std::uint32_t>(name[2]) << 8 | static_cast<std::uint32_t>(name[3]);
}
constexpr std::uint32_t ctIHDR = MakeType("IHDR"), ctIDAT = MakeType("IDAT"), ctIEND = MakeType("IEND"),
                        ctPLTE = MakeType("PLTE"), ctgAMA = MakeType("gAMA"), ctbKGD = MakeType("bKGD"),
                        cttRNS = MakeType("tRNS");
// The format caps chunk lengths and image sides at 2^31 - 1.
constexpr std::uint32_t MaxChunkLength = 0x7FFFFFFFu;

const char* const SInvalidFormat = "Cannot load image. Invalid or unexpected %s image format.";
const char* const SNotSupported = "Cannot load image. %s not supported for %s files.";
const char* const SCompressionScheme = "The compression scheme is";
const char* const SInvalidPalette = "Cannot load image. Palette in %s file is invalid.";
const char* const SCriticalChunk = "Cannot load PNG image. Unexpected but critical chunk detected.";
const char* const SCRCError = "Cannot load image. CRC error found in %s file.";
const char* const SInvalidColorFormat = "Invalid color format in %s file.";
const char* const SCompressionError = "Cannot load image. Compression error found in %s file.";
const char* const SExtraData = "Cannot load image. Extra compressed data found in %s file.";
const char* const SOutOfMemory = "Not enough memory to load the PNG image.";
const char* const SPreparing = "Preparing...";
const char* const STransfering = "Transfering...";

[[noreturn]] void Fail(const char* pattern) { throw EInvalidGraphic(FormatText(pattern, {"PNG"})); }

std::uint32_t BE32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
unsigned BE16(const std::uint8_t* p) { return static_cast<unsigned>(p[0]) << 8 | p[1]; }

TColor RGBColor(unsigned r, unsigned g, unsigned b) { return r | g << 8 | b << 16; }

// Adam7: first row and column and their increments per pass, and the pixels each pass fills
// in a group of eight.
// Images whose filtered rows take more than this are inflated piece by piece instead of whole;
// so are those over the smaller size whose data comes in several chunks, which would first be
// copied together (measured: no faster than piece by piece for them).
constexpr std::uint64_t WholeDecodeLimit = 4u << 20, JoinedDecodeLimit = 32u << 10;

// A read-only stream over bytes the caller keeps.
class TBorrowedStream final : public TStream {
 public:
  TBorrowedStream(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, FSize - FPos);
    if (n) std::memcpy(buffer, FData + FPos, n);
    FPos += n;
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Position() const override { return static_cast<std::int64_t>(FPos); }
  void SetPosition(std::int64_t position) override {
    FPos = static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, static_cast<std::int64_t>(FSize)));
  }
  std::int64_t Size() const override { return static_cast<std::int64_t>(FSize); }
  const std::uint8_t* Data() const { return FData; }

 private:
  const std::uint8_t* FData;
  std::size_t FSize, FPos = 0;
};

const int PassStartRow[7] = {0, 0, 4, 0, 2, 0, 1};
const int PassStartCol[7] = {0, 4, 0, 2, 0, 1, 0};
const int PassRowInc[7] = {8, 8, 8, 4, 4, 2, 2};
const int PassColInc[7] = {8, 8, 4, 4, 2, 2, 1};
const std::uint8_t PassMask[7] = {0x80, 0x08, 0x88, 0x22, 0xAA, 0x55, 0xFF};

}  // namespace

TPNGGraphic::TPNGGraphic() { FTransparency.fill(255); }

TPNGGraphic::~TPNGGraphic() = default;

void TPNGGraphic::Assign(const TBitmap& source) {
  TBitmap::Assign(source);
  if (auto png = dynamic_cast<const TPNGGraphic*>(&source); png && png != this) {
    FProperties = png->FProperties;
    FColorType = png->FColorType;
    FInterlaceMethod = png->FInterlaceMethod;
    FBackgroundColor = png->FBackgroundColor;
    FTransparentColor = png->FTransparentColor;
    FFilePalette = png->FFilePalette;
    FPaletteUsed = png->FPaletteUsed;
    FTransparency = png->FTransparency;
    Reflected = png->Reflected;
  }
}

void TPNGGraphic::MakeWhiteTransparent() { evesk::MakeWhiteTransparent(*this); }

void TPNGGraphic::Progress(TProgressStage stage, int percent, const std::string& message) {
  if (OnProgress) OnProgress(stage, percent, message);
}

// Signature, header and a first gAMA: everything that can be known before decoding.
void TPNGGraphic::ReadImageProperties(TStream& stream, std::int64_t start) {
  std::uint8_t head[29];  // signature, IHDR length and type, 13 bytes of IHDR data
  if (stream.Read(head, sizeof head) != sizeof head || std::memcmp(head, Signature, 8) != 0 ||
      BE32(head + 8) != 13 || BE32(head + 12) != ctIHDR)
    Fail(SInvalidFormat);
  const std::uint32_t width = BE32(head + 16), height = BE32(head + 20);
  // The size is refused here, before anything is allocated for it.
  if (width == 0 || height == 0 || width > MaxChunkLength || height > MaxChunkLength ||
      static_cast<std::uint64_t>(width) * height > static_cast<std::uint64_t>(TBitmap::MaxPixels))
    Fail(SInvalidFormat);

  TImageProperties p;
  p.Width = static_cast<int>(width);
  p.Height = static_cast<int>(height);
  p.BitsPerSample = head[24];
  FColorType = head[25];
  switch (FColorType) {
    case 0: p.ColorScheme = TColorScheme::csG, p.SamplesPerPixel = 1; break;
    case 2: p.ColorScheme = TColorScheme::csRGB, p.SamplesPerPixel = 3; break;
    case 3: p.ColorScheme = TColorScheme::csIndexed, p.SamplesPerPixel = 1; break;
    case 4: p.ColorScheme = TColorScheme::csGA, p.SamplesPerPixel = 2; break;
    case 6: p.ColorScheme = TColorScheme::csRGBA, p.SamplesPerPixel = 4; break;
    default: p.ColorScheme = TColorScheme::csUnknown, p.SamplesPerPixel = 0; break;
  }
  p.BitsPerPixel = p.BitsPerSample * p.SamplesPerPixel;
  p.Compression = head[26] == 0 ? TCompressionType::ctLZ77 : TCompressionType::ctUnknown;
  p.FilterMode = head[27];
  FInterlaceMethod = head[28];
  p.Interlaced = FInterlaceMethod == 1;
  p.HasAlpha = FColorType == 4 || FColorType == 6;

  // Look ahead for gAMA; a damaged tail simply ends the search, the decoding reports it.
  std::int64_t pos = start + sizeof head + 4;
  for (;;) {
    stream.SetPosition(pos);
    std::uint8_t h[8];
    if (stream.Read(h, 8) != 8) break;
    const std::uint32_t length = BE32(h), type = BE32(h + 4);
    if (type == ctIEND || length > MaxChunkLength) break;
    if (type == ctgAMA && length >= 4) {
      std::uint8_t g[4];
      if (stream.Read(g, 4) != 4) break;
      p.FileGamma = BE32(g) / 100000.0;
      p.HasGamma = true;
      break;
    }
    pos += 12 + static_cast<std::int64_t>(length);
  }
  FProperties = p;
}

void TPNGGraphic::LoadFromMemory(const std::uint8_t* data, std::size_t size) {
  TBorrowedStream stream(data, size);
  LoadFromStream(stream);
}

void TPNGGraphic::LoadFromStream(TStream& stream) {
  // Chunk data of a stream held in memory is used where it lies.
  FMemory = nullptr;
  // (Only the plain classes: a derived one may read otherwise.)
  if (typeid(stream) == typeid(TBorrowedStream)) FMemory = static_cast<TBorrowedStream&>(stream).Data();
  else if (typeid(stream) == typeid(TMemoryStream)) FMemory = static_cast<TMemoryStream&>(stream).Bytes().data();
  const std::int64_t start = stream.Position();
  ReadImageProperties(stream, start);
  stream.SetPosition(start + 8);
  Progress(TProgressStage::psStarting, 0, SPreparing);
  BeginLoading(stream);
  try {
    ReadChunks();
  } catch (const std::bad_alloc&) {
    FinishLoading();
    throw EOutOfResources(SOutOfMemory);
  } catch (...) {
    FinishLoading();
    throw;
  }
  FinishLoading();
}

void TPNGGraphic::BeginLoading(TStream& stream) {
  FFilePalette.clear();
  FTransparency.fill(255);
  FBackgroundColor = 0xFFFFFF;
  FTransparentColor = clNone;
  FColorManager = TColorManager();
  FStream = &stream;
  FPendingHeader = FPixelFormatReady = FImageDone = FIDATRunEnded = FZStreamEnded = false;
  FAheadPos = FAheadEnd = FAheadLeft = 0;
  FAheadFault = nullptr;
  FAheadDry = false;
}

void TPNGGraphic::ReadChunks() {
  ReadChunkHeader();  // IHDR, checked above
  ReadChunkData();
  if (FChunkBytes[10] != 0)
    throw EInvalidGraphic(FormatText(SNotSupported, {SCompressionScheme, "PNG"}));
  // (Not a test of FChunkType after the chunk: reading image data may read the next header.)
  for (bool more = true; more;) {
    ReadChunkHeader();
    more = ReadChunk();
  }
  // A file that ends without any image data has nothing to show.
  if (!FImageDone) Fail(SInvalidFormat);
  if (FDecoder) FDecoder->DecodeEnd();
}

bool TPNGGraphic::ReadChunk() {
  switch (FChunkType) {
    case ctIDAT:
      if (FImageDone) {
        ReadChunkData();  // stray image data after the image: checked and dropped
      } else {
        Progress(TProgressStage::psRunning, 0, STransfering);
        LoadIDAT();
      }
      break;
    case ctPLTE: LoadPLTE(); break;
    case ctgAMA: LoadGAMA(); break;
    case ctbKGD: LoadBKGD(); break;
    case cttRNS: LoadTRNS(); break;
    default:
      if (FChunkType == ctIEND) {
        SkipChunkData();
        return false;
      }
      // Unknown ancillary chunks are skipped; an unknown critical one makes the image unreadable.
      if (!(FChunkType >> 24 & 0x20)) throw EInvalidGraphic(SCriticalChunk);
      SkipChunkData();
  }
  return true;
}

void TPNGGraphic::FinishLoading() {
  FDecoder.reset();  // ends the inflate stream if an error left it open
  FChunkData.clear();
  FChunkData.shrink_to_fit();
  for (auto& row : FRows) {
    row.clear();
    row.shrink_to_fit();
  }
  FStream = nullptr;
  FMemory = FChunkBytes = nullptr;
  Progress(TProgressStage::psEnding, 100, "");
}

bool TPNGGraphic::TryReadChunkHeader(std::uint32_t& length, std::uint32_t& type) {
  std::uint8_t h[8];
  if (FStream->Read(h, 8) != 8) return false;
  length = BE32(h);
  type = BE32(h + 4);
  return true;
}

void TPNGGraphic::ReadChunkHeader() {
  if (FPendingHeader) {
    FPendingHeader = false;
    return;
  }
  if (!TryReadChunkHeader(FChunkLength, FChunkType)) Fail(SInvalidFormat);
}

void TPNGGraphic::ReadChunkData() {
  switch (FetchChunkData(FChunkLength, FChunkType, FChunkBytes, FChunkData)) {
    case TChunkRead::crShort: Fail(SInvalidFormat);
    case TChunkRead::crBadCRC: Fail(SCRCError);
    case TChunkRead::crOk: break;
  }
}

// Reads a chunk's data and CRC (into buffer, or in place when the stream is in memory) and
// checks the CRC; reports instead of raising.
TPNGGraphic::TChunkRead TPNGGraphic::FetchChunkData(std::uint32_t length, std::uint32_t type, const std::uint8_t*& data,
                                                    std::vector<std::uint8_t>& buffer) {
  // Never allocate for more than the stream can still deliver.
  if (length > MaxChunkLength || static_cast<std::int64_t>(length) + 4 > FStream->Remaining()) return TChunkRead::crShort;
  std::uint8_t crc[4];
  if (FMemory) {
    const std::int64_t at = FStream->Position();
    data = FMemory + at;
    FStream->SetPosition(at + length);
  } else {
    buffer.resize(length);
    if (length && FStream->Read(buffer.data(), length) != length) return TChunkRead::crShort;
    data = buffer.data();
  }
  if (FStream->Read(crc, 4) != 4) return TChunkRead::crShort;
  const std::uint8_t name[4] = {static_cast<std::uint8_t>(type >> 24), static_cast<std::uint8_t>(type >> 16),
                                static_cast<std::uint8_t>(type >> 8), static_cast<std::uint8_t>(type)};
  FCRC = static_cast<std::uint32_t>(crc32(0, name, 4));
  // zlib answers 0 for a null buffer, so an empty chunk must not pass its (null) data.
  if (length) FCRC = static_cast<std::uint32_t>(crc32(FCRC, data, length));
  return FCRC == BE32(crc) ? TChunkRead::crOk : TChunkRead::crBadCRC;
}

void TPNGGraphic::SkipChunkData() {
  if (FChunkLength > MaxChunkLength || static_cast<std::int64_t>(FChunkLength) + 4 > FStream->Remaining())
    Fail(SInvalidFormat);
  FStream->SetPosition(FStream->Position() + FChunkLength + 4);
}

// A sample of the file's bit depth as an 8-bit level; out-of-range values are cut to the depth.
std::uint8_t TPNGGraphic::ScaleSample(unsigned value) const {
  const int bits = FProperties.BitsPerSample;
  if (bits == 16) return static_cast<std::uint8_t>(value / 257u);
  // The header's depth is only checked with the first IDAT; odd depths must not divide by 0.
  if (bits >= 8 || bits <= 0) return static_cast<std::uint8_t>(value & 0xFF);
  const unsigned top = (1u << bits) - 1;
  return static_cast<std::uint8_t>((value & top) * 255 / top);
}

void TPNGGraphic::LoadPLTE() {
  ReadChunkData();
  if (FChunkLength % 3 != 0 || FChunkLength == 0) Fail(SInvalidPalette);
  if (FColorType != 3 || FImageDone) return;
  SetupPixelFormat();
  const int count = static_cast<int>(std::min<std::uint32_t>(FChunkLength / 3, 256));
  FFilePalette = FColorManager.CreateColorPalette(FChunkBytes, count);
}

void TPNGGraphic::LoadGAMA() {
  ReadChunkData();
  if (FChunkLength < 4) return;
  FColorManager.SetGamma(BE32(FChunkBytes) / 100000.0, TColorManager::DefaultDisplayGamma);
  FColorManager.SetTargetOptions(FColorManager.TargetOptions() | coApplyGamma);
}

void TPNGGraphic::LoadBKGD() {
  ReadChunkData();
  const std::uint8_t* d = FChunkBytes;
  switch (FColorType) {
    case 0:
    case 4:
      if (FChunkLength >= 2) {
        const unsigned g = ScaleSample(BE16(d));
        FBackgroundColor = RGBColor(g, g, g);
      }
      break;
    case 2:
    case 6:
      if (FChunkLength >= 6) FBackgroundColor = RGBColor(ScaleSample(BE16(d)), ScaleSample(BE16(d + 2)), ScaleSample(BE16(d + 4)));
      break;
    case 3:
      if (FChunkLength >= 1 && d[0] < FFilePalette.size()) {
        const TPaletteEntry& e = FFilePalette[d[0]];
        FBackgroundColor = RGBColor(e.Red, e.Green, e.Blue);
      }
      break;
  }
}

void TPNGGraphic::LoadTRNS() {
  ReadChunkData();
  const std::uint8_t* d = FChunkBytes;
  switch (FColorType) {
    case 0:
      if (FChunkLength >= 2) {
        const unsigned g = ScaleSample(BE16(d));
        FTransparentColor = RGBColor(g, g, g);
      }
      break;
    case 2:
      if (FChunkLength >= 6) FTransparentColor = RGBColor(ScaleSample(BE16(d)), ScaleSample(BE16(d + 2)), ScaleSample(BE16(d + 4)));
      break;
    case 3:
      FTransparency.fill(255);
      std::copy_n(d, std::min<std::uint32_t>(FChunkLength, 256), FTransparency.begin());
      break;
  }
}

void TPNGGraphic::SetupPixelFormat() {
  if (FPixelFormatReady) return;
  const int depth = FProperties.BitsPerSample;
  bool valid = false;
  switch (FColorType) {
    case 0: valid = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
    case 3: valid = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
    case 2:
    case 4:
    case 6: valid = depth == 8 || depth == 16; break;
  }
  if (!valid) Fail(SInvalidColorFormat);

  TColorManager& cm = FColorManager;
  cm.SetSourceBitsPerSample(depth);
  cm.SetSourceSamplesPerPixel(FProperties.SamplesPerPixel);
  cm.SetSourceColorScheme(FProperties.ColorScheme);
  cm.SetSourceOptions(cm.SourceOptions() | coNeedByteSwap);
  switch (FColorType) {
    case 0:
    case 3:
      cm.SetTargetColorScheme(FColorType == 0 ? TColorScheme::csG : TColorScheme::csIndexed);
      cm.SetTargetSamplesPerPixel(1);
      cm.SetTargetBitsPerSample(depth == 1 ? 1 : depth <= 4 ? 4 : 8);  // 2-bit samples widened to 4
      FSourceBPP = FColorType == 0 ? (depth + 7) / 8 : 1;
      break;
    case 2:
      cm.SetTargetColorScheme(TColorScheme::csBGR);
      cm.SetTargetSamplesPerPixel(3);
      cm.SetTargetBitsPerSample(8);
      FSourceBPP = depth * 3 / 8;
      break;
    case 4:
      cm.SetTargetColorScheme(TColorScheme::csG);
      cm.SetTargetSamplesPerPixel(1);
      cm.SetTargetBitsPerSample(8);
      FSourceBPP = depth * 2 / 8;
      break;
    case 6:
      cm.SetTargetColorScheme(TColorScheme::csBGRA);
      cm.SetTargetSamplesPerPixel(4);
      cm.SetTargetBitsPerSample(8);
      FSourceBPP = depth * 4 / 8;
      break;
  }
  FPixelFormatReady = true;
}

void TPNGGraphic::LoadIDAT() {
  SetupPixelFormat();
  ReadChunkData();

  const int depth = FProperties.BitsPerSample;
  TPixelFormat format;
  std::vector<TPaletteEntry> palette;
  switch (FColorType) {
    case 2: format = TPixelFormat::pf24bit; break;
    case 6: format = TPixelFormat::pf32bit; break;
    case 3:
      // Indexes without a colour table would show nothing meaningful.
      if (FFilePalette.empty()) Fail(SInvalidPalette);
      palette = FFilePalette;
      format = depth == 1 ? TPixelFormat::pf1bit : depth <= 4 ? TPixelFormat::pf4bit : TPixelFormat::pf8bit;
      break;
    default:
      palette = FColorManager.CreateGrayscalePalette(FColorType == 0 ? depth : 8);
      format = FColorType == 4 || depth >= 8 ? TPixelFormat::pf8bit : depth == 1 ? TPixelFormat::pf1bit : TPixelFormat::pf4bit;
  }
  FColorManager.Prepare();
  if (!SetSize(FProperties.Width, FProperties.Height, format)) throw EOutOfResources(SOutOfMemory);
  FPaletteUsed = palette.size();
  if (!palette.empty()) {
    // The colour table always has an entry for every possible index, so no lookup goes past it.
    palette.resize(std::size_t{1} << BitsPerPixel(format));
    SetPalette(palette);
  }
  Transparent = FTransparentColor != clNone;
  TransparentColor = FTransparentColor;

  // Row bytes: (width × depth + 7) / 8 × samples for whole-byte samples; 64-bit arithmetic.
  const std::uint64_t samples = depth >= 8 ? FProperties.SamplesPerPixel : 1;
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(FProperties.Width) * depth + 7) / 8 * samples;
  if (FInterlaceMethod != 1 && DecodeWhole(static_cast<std::size_t>(rowBytes))) {
    FImageDone = true;
    return;
  }
  StartDecoder();
  FDecoder->SetInput(FChunkBytes, FChunkLength);
  for (auto& row : FRows) row.assign(static_cast<std::size_t>(rowBytes) + 1, 0);

  if (FInterlaceMethod == 1) {
    FillBackground(0, FProperties.Height);
    DecodeInterlaced();
  } else {
    DecodeRows(static_cast<std::size_t>(rowBytes));
  }
  DropFurtherIDATs();
  FImageDone = true;
}

void TPNGGraphic::StartDecoder() {
  if (FDecoder) return;
  FDecoder = std::make_unique<TLZ77Decoder>(Z_PARTIAL_FLUSH, false);
  FDecoder->DecodeInit();
}

// The fast way for the usual file: the whole IDAT run is read and checked, inflated in one go
// straight into one buffer and unfiltered there. Anything out of the ordinary (a damaged or
// short chunk or stream, data beyond the image) answers false with the stream put back after
// the first IDAT, and the rows are then read one by one, which finds the same fault at the
// same row as always.
bool TPNGGraphic::DecodeWhole(std::size_t rowBytes) {
  const int width = FProperties.Width, height = FProperties.Height;
  const std::uint64_t stride = static_cast<std::uint64_t>(rowBytes) + 1;
  if (stride * height > WholeDecodeLimit) return false;
  const std::size_t total = static_cast<std::size_t>(stride * height);

  const std::int64_t resume = FStream->Position();
  const std::uint8_t* data = FChunkBytes;
  std::size_t size = FChunkLength;
  std::vector<std::uint8_t> joined, more;
  std::uint32_t length = 0, type = 0;
  for (;;) {
    if (!TryReadChunkHeader(length, type)) break;
    if (type != ctIDAT) {
      // A zero row ahead of the rows stands for the row above the first one.
      std::unique_ptr<std::uint8_t[]> rows(new std::uint8_t[stride + total]);
      if (!InflateExact(data, size, rows.get() + stride, total)) break;
      FChunkLength = length, FChunkType = type;
      FPendingHeader = FIDATRunEnded = FZStreamEnded = true;
      std::memset(rows.get(), 0, stride);
      int y = 0;
      try {
        for (std::uint8_t* row = rows.get() + stride; y < height; ++y, row += stride) {
          UnfilterRow(row[0], row + 1, row + 1 - stride, rowBytes, FSourceBPP);
          FColorManager.ConvertRow(row + 1, ScanLine(y), width);
          if (OnProgress)  // (no text made for every row when nobody listens)
            OnProgress(TProgressStage::psRunning, static_cast<int>(static_cast<std::int64_t>(y) * 100 / height), std::string());
        }
      } catch (...) {
        FillBackground(y, height);
        throw;
      }
      return true;
    }
    if (total > JoinedDecodeLimit) break;
    const std::uint8_t* next = nullptr;
    if (FetchChunkData(length, type, next, more) != TChunkRead::crOk) break;
    if (data != joined.data()) joined.assign(data, data + size);
    joined.insert(joined.end(), next, next + length);
    data = joined.data(), size = joined.size();
  }
  FStream->SetPosition(resume);
  return false;
}

void TPNGGraphic::DecodeRows(std::size_t rowBytes) {
  const int width = FProperties.Width, height = FProperties.Height;
  FAheadLeft = static_cast<std::size_t>(height) * (rowBytes + 1);
  FAhead.resize(std::min<std::size_t>(FAheadLeft, 64 * 1024));
  struct TRelease {
    std::vector<std::uint8_t>& Ahead;
    ~TRelease() { std::vector<std::uint8_t>().swap(Ahead); }
  } release{FAhead};
  int y = 0;
  try {
    for (; y < height; ++y) {
      std::uint8_t* current = FRows[y & 1].data();
      const std::uint8_t* previous = FRows[(y & 1) ^ 1].data();
      if (!ReadRow(current, rowBytes + 1)) break;  // image data ended early: the rest stays background
      UnfilterRow(current[0], current + 1, previous + 1, rowBytes, FSourceBPP);
      FColorManager.ConvertRow(current + 1, ScanLine(y), width);
      Progress(TProgressStage::psRunning, static_cast<int>(static_cast<std::int64_t>(y) * 100 / height), "");
    }
  } catch (...) {
    FillBackground(y, height);
    throw;
  }
  FillBackground(y, height);
}

void TPNGGraphic::DecodeInterlaced() {
  const int width = FProperties.Width, height = FProperties.Height;
  const int bitsPerPixel = FProperties.BitsPerSample * FProperties.SamplesPerPixel;
  for (int pass = 0; pass < 7; ++pass) {
    if (width <= PassStartCol[pass] || height <= PassStartRow[pass]) continue;  // an empty pass has no rows
    const std::uint64_t passWidth = (width - PassStartCol[pass] + PassColInc[pass] - 1) / PassColInc[pass];
    const std::size_t passBytes = static_cast<std::size_t>((passWidth * bitsPerPixel + 7) / 8);
    std::memset(FRows[0].data(), 0, passBytes + 1);
    std::memset(FRows[1].data(), 0, passBytes + 1);
    int k = 0;
    for (int y = PassStartRow[pass]; y < height; y += PassRowInc[pass], ++k) {
      std::uint8_t* current = FRows[k & 1].data();
      const std::uint8_t* previous = FRows[(k & 1) ^ 1].data();
      if (!ReadRow(current, passBytes + 1)) return;
      UnfilterRow(current[0], current + 1, previous + 1, passBytes, FSourceBPP);
      FColorManager.ConvertRow(current + 1, ScanLine(y), width, PassMask[pass]);
      if (pass == 6) Progress(TProgressStage::psRunning, static_cast<int>(static_cast<std::int64_t>(y) * 100 / height), "");
    }
  }
}

// Fills the row, from the rows inflated ahead while there are any, then from the stream.
// False when the IDAT run ends before the row is complete.
bool TPNGGraphic::ReadRow(std::uint8_t* row, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    if (FAheadPos < FAheadEnd) {
      const std::size_t n = std::min(size - got, FAheadEnd - FAheadPos);
      std::memcpy(row + got, FAhead.data() + FAheadPos, n);
      FAheadPos += n, got += n;
      if (FAheadPos == FAheadEnd && FAheadFault && FAheadFaultAtEnd) std::rethrow_exception(std::exchange(FAheadFault, nullptr));
      continue;
    }
    if (FAheadFault) std::rethrow_exception(std::exchange(FAheadFault, nullptr));
    if (FAheadDry) return false;
    if (FAheadLeft == 0) return InflateRow(row, size, got);
    InflateAhead();
  }
  return true;
}

// Fills the rest of the row from the inflate stream.
bool TPNGGraphic::InflateRow(std::uint8_t* row, std::size_t size, std::size_t got) {
  bool faultAfterBytes;
  return InflateInto(row, size, got, faultAfterBytes);
}

// Fills dest up to size from the inflate stream, moving to the next IDAT chunk whenever the
// current one is used up. False when the IDAT run ends first. A fault that zlib met right after
// bytes it wrote in the same call (a bad code, or the stream's end with bytes after it) sets
// faultAfterBytes; any other fault comes with the first byte that could not be had.
bool TPNGGraphic::InflateInto(std::uint8_t* dest, std::size_t size, std::size_t& got, bool& faultAfterBytes) {
  faultAfterBytes = false;
  while (got < size) {
    if (FZStreamEnded) Fail(SExtraData);
    if (FDecoder->AvailableInput() == 0) {
      if (!NextIDAT()) return false;
      continue;
    }
    const std::size_t start = got;
    const int result = FDecoder->Decode(dest + got, size - got, got);
    if (result == Z_STREAM_END) {
      FZStreamEnded = true;
      if (FDecoder->AvailableInput() > 0) faultAfterBytes = got > start, Fail(SExtraData);
      if (got < size) Fail(SExtraData);
    } else if (result != Z_OK && (result != Z_BUF_ERROR || FDecoder->AvailableInput() > 0)) {
      faultAfterBytes = got > start;
      Fail(SCompressionError);  // (no progress with input left would otherwise loop for ever)
    }
  }
  return true;
}

// Inflates the next piece of the image's rows. A fault is kept for the row that reading row by
// row would have met it in: with the last byte written before it, or with the first one wanted.
void TPNGGraphic::InflateAhead() {
  const std::size_t want = std::min(FAhead.size(), FAheadLeft);
  std::size_t got = 0;
  FAheadPos = 0;
  try {
    if (!InflateInto(FAhead.data(), want, got, FAheadFaultAtEnd)) FAheadDry = true;
  } catch (...) {
    FAheadFault = std::current_exception();
  }
  FAheadEnd = got;
  FAheadLeft -= got;
}

bool TPNGGraphic::NextIDAT() {
  if (FIDATRunEnded) return false;
  if (!TryReadChunkHeader(FChunkLength, FChunkType)) Fail(SInvalidFormat);
  if (FChunkType != ctIDAT) {
    FPendingHeader = true;  // the chunk loop goes on with it
    FIDATRunEnded = true;
    return false;
  }
  ReadChunkData();
  FDecoder->SetInput(FChunkBytes, FChunkLength);
  return true;
}

void TPNGGraphic::DropFurtherIDATs() {
  while (!FIDATRunEnded) {
    if (!TryReadChunkHeader(FChunkLength, FChunkType)) Fail(SInvalidFormat);
    if (FChunkType != ctIDAT) {
      FPendingHeader = true;
      FIDATRunEnded = true;
    } else {
      ReadChunkData();
    }
  }
  FDecoder->SetInput(nullptr, 0);
}

void TPNGGraphic::FillBackground(int fromRow, int toRow) {
  if (fromRow >= toRow) return;
  const TColor c = FBackgroundColor;
  const std::uint8_t r = c & 0xFF, g = c >> 8 & 0xFF, b = c >> 16 & 0xFF;
  const int width = Width();
  // One palette search for all rows: a tall, narrow image cut short would otherwise search
  // the whole palette once for every missing row.
  std::uint8_t fill = 0;
  if (PixelFormat() != TPixelFormat::pf32bit && PixelFormat() != TPixelFormat::pf24bit) {
    const int index = NearestPaletteIndex(Palette(), FPaletteUsed, c);
    fill = static_cast<std::uint8_t>(index);
    if (PixelFormat() == TPixelFormat::pf4bit) fill = static_cast<std::uint8_t>(index << 4 | index);
    if (PixelFormat() == TPixelFormat::pf1bit) fill = index ? 0xFF : 0;
  }
  for (int y = fromRow; y < toRow; ++y) {
    std::uint8_t* line = ScanLine(y);
    switch (PixelFormat()) {
      case TPixelFormat::pf32bit:
        for (int x = 0; x < width; ++x, line += 4) line[0] = b, line[1] = g, line[2] = r, line[3] = 0;
        break;
      case TPixelFormat::pf24bit:
        for (int x = 0; x < width; ++x, line += 3) line[0] = b, line[1] = g, line[2] = r;
        break;
      default:
        std::memset(line, fill, Stride());
    }
  }
}

}  // namespace evesk
