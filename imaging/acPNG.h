// A bitmap loaded from a PNG stream: the pixel format follows the file (indexed, grey, 24-bit
// BGR or 32-bit BGRA with straight alpha). Decompression is zlib's inflate, fed chunk by chunk.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Stream.h"
#include "imaging/acColorManager.h"
#include "framework/GraphicErrors.h"

#ifdef _WIN32
struct HICON__;  // HICON, without pulling the platform headers into portable code
namespace evesk { class TCanvas; }
#endif

namespace evesk {

class TLZ77Decoder;

enum class TProgressStage { psStarting, psRunning, psEnding };
// Stage, percentage done and a short text ("Preparing...", "Transfering...", or empty).
using TProgressEvent = std::function<void(TProgressStage stage, int percentDone, const std::string& message)>;

enum class TCompressionType { ctUnknown, ctLZ77 };

// What the header (and a gAMA chunk) of the file says.
struct TImageProperties {
  int Width = 0, Height = 0;
  TColorScheme ColorScheme = TColorScheme::csUnknown;
  int BitsPerSample = 0, SamplesPerPixel = 0, BitsPerPixel = 0;
  TCompressionType Compression = TCompressionType::ctUnknown;
  std::uint8_t FilterMode = 0;
  bool Interlaced = false;
  bool HasAlpha = false;
  double FileGamma = 1.0;
  bool HasGamma = false;
};

class TPNGGraphic : public TBitmap {
 public:
  TPNGGraphic();
  ~TPNGGraphic() override;

  // Decodes the PNG that starts at the stream's position; the stream is left after the last
  // chunk read. Raises EInvalidGraphic, EGraphicCompression or EOutOfResources; the bitmap
  // then keeps what was decoded before the error.
  void LoadFromStream(TStream& stream);
  // The same over bytes in memory, which are read in place rather than copied.
  void LoadFromMemory(const std::uint8_t* data, std::size_t size);

  // Copies the image properties too when the source is a TPNGGraphic.
  void Assign(const TBitmap& source) override;

  const TImageProperties& ImageProperties() const { return FProperties; }
  TColor BackgroundColor() const { return FBackgroundColor; }   // white unless bKGD
  const std::vector<TPaletteEntry>& FilePalette() const { return FFilePalette; }  // PLTE
  // Alpha of each palette entry (tRNS of palette images; 255 where the file gives none).
  const std::array<std::uint8_t, 256>& TransparencyTable() const { return FTransparency; }
  TColorManager& ColorManager() { return FColorManager; }

  // Makes every pure white pixel of a 32-bit image fully transparent (all four bytes 0).
  void MakeWhiteTransparent();

  bool Reflected = false;  // drawing only: a fading reflection under the image
  TProgressEvent OnProgress;

#ifdef _WIN32
  // An icon with alpha of the decoded image (Windows layer); the caller destroys it.
  HICON__* MakeIcon(bool force);
  // Draws into the rectangle (x, y, width, height) of a canvas: a 32-bit image is blended
  // over what the canvas shows by its alpha, any other image is copied as a plain bitmap.
  void Draw(TCanvas& canvas, int x, int y, int width, int height) const;
#endif

 private:
  void ReadImageProperties(TStream& stream, std::int64_t start);
  void Progress(TProgressStage stage, int percent, const std::string& message);
  // Clears what a previous load left and points the decoding at the stream.
  void BeginLoading(TStream& stream);
  // The header's data, then every chunk up to IEND.
  void ReadChunks();
  // The chunk whose header was just read; false once it was IEND.
  bool ReadChunk();
  void FinishLoading();

  // Chunks: header (length and type), data with the CRC check, or skipped.
  void ReadChunkHeader();
  bool TryReadChunkHeader(std::uint32_t& length, std::uint32_t& type);
  void ReadChunkData();
  enum class TChunkRead { crOk, crShort, crBadCRC };
  TChunkRead FetchChunkData(std::uint32_t length, std::uint32_t type, const std::uint8_t*& data,
                            std::vector<std::uint8_t>& buffer);
  void SkipChunkData();

  void LoadPLTE();
  void LoadGAMA();
  void LoadBKGD();
  void LoadTRNS();
  void SetupPixelFormat();
  void LoadIDAT();
  void DecodeRows(std::size_t rowBytes);
  bool DecodeWhole(std::size_t rowBytes);
  void StartDecoder();
  void DecodeInterlaced();
  bool ReadRow(std::uint8_t* row, std::size_t size);
  bool InflateRow(std::uint8_t* row, std::size_t size, std::size_t got);
  bool InflateInto(std::uint8_t* dest, std::size_t size, std::size_t& got, bool& faultAfterBytes);
  void InflateAhead();
  bool NextIDAT();
  void DropFurtherIDATs();
  void FillBackground(int fromRow, int toRow);
  std::uint8_t ScaleSample(unsigned value) const;

  TImageProperties FProperties;
  int FColorType = 0, FInterlaceMethod = 0;
  TColor FBackgroundColor = 0xFFFFFF;
  TColor FTransparentColor = clNone;
  std::vector<TPaletteEntry> FFilePalette;
  std::size_t FPaletteUsed = 0;  // entries of the bitmap's colour table that the file defines
  std::array<std::uint8_t, 256> FTransparency{};
  TColorManager FColorManager;

  // Decoding state, alive during LoadFromStream only.
  TStream* FStream = nullptr;
  std::unique_ptr<TLZ77Decoder> FDecoder;
  std::uint32_t FChunkType = 0, FChunkLength = 0;
  bool FPendingHeader = false;   // a header read ahead while looking for IDAT
  std::vector<std::uint8_t> FChunkData;
  const std::uint8_t* FChunkBytes = nullptr;  // the current chunk's data: FChunkData or in place
  const std::uint8_t* FMemory = nullptr;      // the stream's bytes when it is held in memory
  std::uint32_t FCRC = 0;
  int FSourceBPP = 1;            // bytes per complete pixel, as the filters count them
  bool FPixelFormatReady = false;
  bool FImageDone = false;
  bool FIDATRunEnded = false;
  bool FZStreamEnded = false;
  std::vector<std::uint8_t> FRows[2];
  // Rows inflated ahead in one large piece (zlib is several times faster with room to write
  // than row by row). A fault met ahead is kept and raised at the row that would have met it.
  std::vector<std::uint8_t> FAhead;
  std::size_t FAheadPos = 0, FAheadEnd = 0;
  std::size_t FAheadLeft = 0;           // bytes that may still be inflated ahead
  std::exception_ptr FAheadFault;
  bool FAheadFaultAtEnd = false;        // raised with the last byte inflated, not at the next wanted
  bool FAheadDry = false;               // the image data ended at FAheadEnd
};

}  // namespace evesk
