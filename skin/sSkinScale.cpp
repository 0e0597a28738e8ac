#include "skin/sSkinScale.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "framework/Dpi.h"
#include "framework/SysUtils.h"
#include "imaging/acPixelOps.h"
#include "skin/sSkinTables.h"

namespace evesk {

namespace {

inline bool IsKey(const std::uint8_t* p) { return p[0] == 0xFF && p[1] == 0x00 && p[2] == 0xFF; }

// Where one target pixel of an axis takes its source pixels from, and with what weights (their
// overlap in units where a run's target pixel is FromLen long; a pixel's weights sum to Total).
struct TTap {
  int Src = 0;
  std::int64_t Weight = 0;
};
struct TTarget {
  int Pos = 0, First = 0, Count = 0;
  std::int64_t Total = 0;
};
struct TTaps {
  std::vector<TTarget> Targets;
  std::vector<TTap> Taps;
  bool Single = true;  // every target pixel has one source pixel: a plain copy
};

bool MakeTaps(const TsScaleAxis& axis, std::int64_t fromExtent, std::int64_t toExtent, TTaps& out) {
  for (const TsScaleRun& r : axis) {
    if (r.FromLen <= 0 || r.ToLen <= 0 || r.From < 0 || r.To < 0 || std::int64_t{r.From} + r.FromLen > fromExtent ||
        std::int64_t{r.To} + r.ToLen > toExtent)
      return false;
    const std::int64_t s = r.FromLen, d = r.ToLen;
    for (std::int64_t i = 0; i < d; ++i) {
      TTarget t{static_cast<int>(r.To + i), static_cast<int>(out.Taps.size()), 0, s};
      const std::int64_t lo = i * s, hi = lo + s;
      for (std::int64_t j = lo / d; j * d < hi; ++j) {
        const std::int64_t w = std::min(hi, (j + 1) * d) - std::max(lo, j * d);
        if (w <= 0) continue;
        out.Taps.push_back(TTap{static_cast<int>(r.From + j), w});
        ++t.Count;
      }
      out.Single = out.Single && t.Count == 1;
      out.Targets.push_back(t);
    }
  }
  return true;
}

std::uint8_t Rounded(std::int64_t sum, std::int64_t total) {
  return static_cast<std::uint8_t>(std::clamp<std::int64_t>((sum + total / 2) / total, 0, 255));
}

// The sums of one target pixel: the picture's visible pixels (colour straight and weighted by
// alpha, so that invisible pixels lend no colour to visible ones), its key coverage, and the
// blocks below it over the same visible weights.
class TPixelSum {
 public:
  TPixelSum(int bpp, int blocks, bool keyed)
      : FBpp(bpp), FKeyed(keyed), FBlocks(static_cast<std::size_t>(blocks - 1) * 4, 0) {}
  void Reset() {
    FVisible = FKey = FAlpha = 0, FBestKey = -1;
    std::fill(std::begin(FColour), std::end(FColour), 0);
    std::fill(std::begin(FStraight), std::end(FStraight), 0);
    std::fill(FBlocks.begin(), FBlocks.end(), 0);
  }
  void Add(const TBitmap& s, int x, int y, int blockStep, std::int64_t w) {
    const std::uint8_t* p = s.ScanLine(y) + static_cast<std::size_t>(x) * FBpp;
    if (FKeyed && IsKey(p)) {
      FKey += w;
      if (w > FBestKey) FBestKey = w, FKeyX = x, FKeyY = y;
      return;
    }
    const std::int64_t aw = (FBpp == 4 ? p[3] : 255) * w;
    FVisible += w, FAlpha += aw;
    for (int c = 0; c < 3; ++c) FColour[c] += p[c] * aw, FStraight[c] += p[c] * w;
    for (std::size_t b = 0; b * 4 < FBlocks.size(); ++b) {
      const std::uint8_t* m = s.ScanLine(y + static_cast<int>(b + 1) * blockStep) + static_cast<std::size_t>(x) * FBpp;
      for (int c = 0; c < FBpp; ++c) FBlocks[b * 4 + c] += m[c] * w;
    }
  }
  // Ties go to the visible pixels, so that a one-pixel line between key pixels survives.
  void Write(const TBitmap& s, TBitmap& t, int x, int y, int blockStep, int targetStep) const {
    std::uint8_t* o = t.ScanLine(y) + static_cast<std::size_t>(x) * FBpp;
    if (FKey > FVisible && FBestKey >= 0) {
      for (std::size_t b = 0; b <= FBlocks.size() / 4; ++b)
        std::memcpy(t.ScanLine(y + static_cast<int>(b) * targetStep) + static_cast<std::size_t>(x) * FBpp,
                    s.ScanLine(FKeyY + static_cast<int>(b) * blockStep) + static_cast<std::size_t>(FKeyX) * FBpp,
                    static_cast<std::size_t>(FBpp));
      return;
    }
    for (int c = 0; c < 3; ++c) o[c] = FAlpha > 0 ? Rounded(FColour[c], FAlpha) : Rounded(FStraight[c], FVisible);
    if (FBpp == 4) o[3] = Rounded(FAlpha, FVisible);
    // A visible average that rounds onto the key colour (of 254, 0, 255 and 255, 0, 254, say)
    // would turn transparent.
    if (FKeyed && IsKey(o)) o[1] = 1;
    for (std::size_t b = 0; b * 4 < FBlocks.size(); ++b) {
      std::uint8_t* m = t.ScanLine(y + static_cast<int>(b + 1) * targetStep) + static_cast<std::size_t>(x) * FBpp;
      for (int c = 0; c < FBpp; ++c) m[c] = Rounded(FBlocks[b * 4 + c], FVisible);
    }
  }

 private:
  int FBpp;
  bool FKeyed;
  std::int64_t FVisible = 0, FKey = 0, FAlpha = 0, FBestKey = -1;
  int FKeyX = 0, FKeyY = 0;
  std::int64_t FColour[3] = {}, FStraight[3] = {};
  std::vector<std::int64_t> FBlocks;
};

void CopyPixels(const TBitmap& s, TBitmap& t, const TsScalePiece& p, const TTaps& xs, const TTaps& ys, int bpp) {
  for (int b = 0; b < p.Blocks; ++b)
    for (const TTarget& ty : ys.Targets) {
      const std::uint8_t* in = s.ScanLine(p.FromY + b * p.FromBlockHeight + ys.Taps[ty.First].Src);
      std::uint8_t* out = t.ScanLine(p.ToY + b * p.ToBlockHeight + ty.Pos);
      for (const TTarget& tx : xs.Targets)
        std::memcpy(out + static_cast<std::size_t>(p.ToX + tx.Pos) * bpp,
                    in + static_cast<std::size_t>(p.FromX + xs.Taps[tx.First].Src) * bpp, static_cast<std::size_t>(bpp));
    }
}

void AveragePixels(const TBitmap& s, TBitmap& t, const TsScalePiece& p, const TTaps& xs, const TTaps& ys, int bpp) {
  TPixelSum sum(bpp, p.Blocks, p.Keyed);
  for (const TTarget& ty : ys.Targets)
    for (const TTarget& tx : xs.Targets) {
      sum.Reset();
      for (int j = ty.First; j < ty.First + ty.Count; ++j)
        for (int i = tx.First; i < tx.First + tx.Count; ++i)
          sum.Add(s, p.FromX + xs.Taps[i].Src, p.FromY + ys.Taps[j].Src, p.FromBlockHeight,
                  xs.Taps[i].Weight * ys.Taps[j].Weight);
      sum.Write(s, t, p.ToX + tx.Pos, p.ToY + ty.Pos, p.FromBlockHeight, p.ToBlockHeight);
    }
}

bool Native(const TBitmap& b) {
  return b.PixelFormat() == TPixelFormat::pf24bit || b.PixelFormat() == TPixelFormat::pf32bit;
}

// A bitmap filled with the key colour (alpha 0 at 32 bits): what no piece covers is transparent.
std::unique_ptr<TBitmap> NewBitmap(int width, int height, TPixelFormat format) {
  auto b = std::make_unique<TBitmap>();
  if (!b->SetSize(width, height, format)) throw std::bad_alloc();
  const int bpp = format == TPixelFormat::pf32bit ? 4 : 3;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = b->ScanLine(y);
    for (int x = 0; x < width; ++x) row[x * bpp] = 0xFF, row[x * bpp + 2] = 0xFF;
  }
  return b;
}

// A picture length at the new DPI: never less than one pixel.
int ScaleLength(int value, int to, int from) { return std::max(1, ScaleDpi(value, to, from)); }

std::uint16_t ScaleWord(std::uint16_t value, int to, int from) {
  return static_cast<std::uint16_t>(std::clamp(ScaleDpi(value, to, from), 0, 0xFFFF));
}

}  // namespace

namespace {

std::unique_ptr<TBitmap> To24BitCopy(const TBitmap& source) {
  auto out = std::make_unique<TBitmap>();
  if (!out->SetSize(source.Width(), source.Height(), TPixelFormat::pf24bit)) return nullptr;
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x) {
      const TPaletteEntry e = PixelAt(source, x, y);
      std::uint8_t* o = out->ScanLine(y) + x * 3;
      o[0] = e.Blue, o[1] = e.Green, o[2] = e.Red;
    }
  out->Transparent = source.Transparent;
  out->TransparentColor = source.TransparentColor;
  return out;
}

}  // namespace

TsScaleAxis FrameAxis(int from, int to, int lead, int trail, int leadTo, int trailTo) {
  const int src[3] = {lead, from - lead - trail, trail};
  const int dst[3] = {leadTo, to - leadTo - trailTo, trailTo};
  bool split = lead > 0 || trail > 0;
  for (int i = 0; i < 3; ++i) split = split && src[i] >= 0 && dst[i] >= 0 && (src[i] > 0) == (dst[i] > 0);
  if (!split) return {TsScaleRun{0, from, 0, to}};
  TsScaleAxis axis;
  for (int i = 0, s = 0, d = 0; i < 3; s += src[i], d += dst[i], ++i)
    if (src[i] > 0) axis.push_back(TsScaleRun{s, src[i], d, dst[i]});
  return axis;
}

bool ScalePiece(const TBitmap& source, TBitmap& target, const TsScalePiece& p) {
  const TPixelFormat f = source.PixelFormat();
  if ((f != TPixelFormat::pf24bit && f != TPixelFormat::pf32bit) || target.PixelFormat() != f) return false;
  if (p.Blocks < 1 || p.FromX < 0 || p.FromY < 0 || p.ToX < 0 || p.ToY < 0) return false;
  if (p.Blocks > 1 && (p.FromBlockHeight < 0 || p.ToBlockHeight < 0)) return false;
  const std::int64_t below = p.Blocks - 1;
  TTaps xs, ys;
  if (!MakeTaps(p.Columns, std::int64_t{source.Width()} - p.FromX, std::int64_t{target.Width()} - p.ToX, xs) ||
      !MakeTaps(p.Rows, std::int64_t{source.Height()} - p.FromY - below * p.FromBlockHeight,
                std::int64_t{target.Height()} - p.ToY - below * p.ToBlockHeight, ys))
    return false;
  const int bpp = f == TPixelFormat::pf32bit ? 4 : 3;
  if (xs.Single && ys.Single)
    CopyPixels(source, target, p, xs, ys, bpp);
  else
    AveragePixels(source, target, p, xs, ys, bpp);
  return true;
}

std::unique_ptr<TBitmap> ScaleBitmap(const TBitmap& source, int width, int height, bool keyed) {
  if (width <= 0 || height <= 0 || source.Empty()) return nullptr;
  const TBitmap* from = &source;
  std::unique_ptr<TBitmap> converted;
  if (!Native(source)) {
    converted = To24BitCopy(source);
    if (!converted) return nullptr;
    from = converted.get();
  }
  auto out = std::make_unique<TBitmap>();
  if (!out->SetSize(width, height, from->PixelFormat())) return nullptr;
  out->Transparent = source.Transparent;
  out->TransparentColor = source.TransparentColor;
  TsScalePiece p;
  p.Columns = {TsScaleRun{0, from->Width(), 0, width}};
  p.Rows = {TsScaleRun{0, from->Height(), 0, height}};
  p.Keyed = keyed;
  if (!ScalePiece(*from, *out, p)) return nullptr;
  return out;
}

// ---- A whole table set ----

namespace {

// How one mask is laid out at the new DPI: its frames, each frame's runs, and where it goes.
struct TMaskPlan {
  bool Paintable = false;
  int Count = 1, Rows = 1, W = 0, H = 0, W2 = 0, H2 = 0;
  // Wide enough for any DPI a caller may pass: the budget is checked on these before use.
  std::int64_t X = 0, Y = 0;  // in the new master; 0, 0 in an own bitmap
  int SameAs = -1;            // an earlier mask of the master with the same piece, drawn once
  std::int64_t Width() const { return std::int64_t{Count} * W2; }
  std::int64_t Height() const { return std::int64_t{Rows} * H2; }
};

// A mask only counts as a picture when painting would find a whole frame in its source.
TMaskPlan PlanMask(const TsMaskData& m, const TBitmap* master, int to, int from) {
  TMaskPlan plan;
  const TBitmap* source = m.Bmp ? m.Bmp.get() : master;
  plan.Count = std::max<int>(1, m.ImageCount);
  plan.Rows = m.MaskType + 1;
  plan.W = m.R.Width() / plan.Count;
  plan.H = m.R.Height() / plan.Rows;
  plan.Paintable = source && !source->Empty() && m.R.Left >= 0 && m.R.Top >= 0 && m.R.Right <= source->Width() &&
                   m.R.Bottom <= source->Height() && plan.W > 0 && plan.H > 0;
  if (!plan.Paintable) return plan;
  plan.W2 = ScaleLength(plan.W, to, from);
  plan.H2 = ScaleLength(plan.H, to, from);
  return plan;
}

TsScalePiece PieceOf(const TsMaskData& m, const TMaskPlan& plan, int to, int from) {
  TsScalePiece p;
  p.FromX = m.R.Left, p.FromY = m.R.Top, p.ToX = static_cast<int>(plan.X), p.ToY = static_cast<int>(plan.Y);
  const TsScaleAxis frame = FrameAxis(plan.W, plan.W2, m.WL, m.WR, ScaleDpi(m.WL, to, from), ScaleDpi(m.WR, to, from));
  for (int k = 0; k < plan.Count; ++k)
    for (TsScaleRun r : frame) {
      r.From += k * plan.W, r.To += k * plan.W2;
      p.Columns.push_back(r);
    }
  p.Rows = FrameAxis(plan.H, plan.H2, m.WT, m.WB, ScaleDpi(m.WT, to, from), ScaleDpi(m.WB, to, from));
  p.FromBlockHeight = plan.H, p.ToBlockHeight = plan.H2;
  p.Blocks = plan.Rows;
  return p;
}

[[noreturn]] void TooLarge(int to) {
  throw ESkinTooLarge("Obrázky vzhledu by při " + std::to_string(to) + " dpi potřebovaly víc než " +
                      CzechCount(TsSkinTables::MaxTotalPixels) + " bodů.");
}

// Room in the budget for a picture of width × height, counted into used; refuses beyond it.
void Reserve(std::int64_t& used, std::int64_t width, std::int64_t height, int to) {
  constexpr std::int64_t budget = TsSkinTables::MaxTotalPixels;
  // The sides are checked before their product, which a DPI no display has would overflow.
  if (width > budget || height > budget || width * height > budget - used) TooLarge(to);
  used += width * height;
}

// The pieces of the master the masks use, each scaled and laid out in rows of a new master:
// scaling the old master whole would mix neighbouring pieces and put frames off their grid.
// Masks naming the same piece share it. Returns the new master's size.
std::pair<std::int64_t, std::int64_t> LayOutMaster(const std::vector<TsMaskData>& masks, std::vector<TMaskPlan>& plans,
                                                   std::int64_t width) {
  std::map<std::tuple<int, int, int, int, int, int, int, int, int, int>, int> seen;
  for (std::size_t i = 0; i < plans.size(); ++i)
    if (plans[i].Paintable && !masks[i].Bmp) width = std::max(width, plans[i].Width());
  std::int64_t x = 0, y = 0, rowHeight = 0;
  for (std::size_t i = 0; i < plans.size(); ++i) {
    TMaskPlan& plan = plans[i];
    const TsMaskData& m = masks[i];
    if (!plan.Paintable || m.Bmp) continue;
    if (y > TsSkinTables::MaxTotalPixels) break;  // refused by its size anyway; no sum may overflow
    const auto key = std::make_tuple(m.R.Left, m.R.Top, m.R.Right, m.R.Bottom, plan.Count, plan.Rows, m.WL, m.WT, m.WR, m.WB);
    if (const auto it = seen.find(key); it != seen.end()) {
      plan.SameAs = it->second;
      plan.X = plans[static_cast<std::size_t>(it->second)].X, plan.Y = plans[static_cast<std::size_t>(it->second)].Y;
      continue;
    }
    seen.emplace(key, static_cast<int>(i));
    if (x + plan.Width() > width) x = 0, y += rowHeight, rowHeight = 0;
    plan.X = x, plan.Y = y;
    x += plan.Width();
    rowHeight = std::max(rowHeight, plan.Height());
  }
  return {width, std::max<std::int64_t>(1, y + rowHeight)};
}

// One scale of a table set: planned and counted before a pixel is allocated, then built aside,
// so that a refused or failed scale leaves the skin as it was.
class TScaleJob {
 public:
  TScaleJob(int to, int from) : FTo(to), FFrom(from) {}

  void Plan(const std::vector<TsMaskData>& masks, const TBitmap* master, const std::vector<TsPatternData>& patterns) {
    FPlans.reserve(masks.size());
    for (const TsMaskData& m : masks) FPlans.push_back(PlanMask(m, master, FTo, FFrom));
    if (master) {
      FMasterSize = LayOutMaster(masks, FPlans, ScaleLength(master->Width(), FTo, FFrom));
      Reserve(Used, FMasterSize.first, FMasterSize.second, FTo);
    }
    for (std::size_t i = 0; i < masks.size(); ++i) {
      const TBitmap* own = masks[i].Bmp.get();
      if (!own) continue;
      if (FPlans[i].Paintable) Reserve(Used, FPlans[i].Width(), FPlans[i].Height(), FTo);
      else Reserve(Used, own->Width(), own->Height(), FTo);  // kept as it is
    }
    for (const TsPatternData& p : patterns)
      if (p.Img) Reserve(Used, Length(p.Img->Width()), Length(p.Img->Height()), FTo);
  }

  void Build(const std::vector<TsMaskData>& masks, const TBitmap* master, const std::vector<TsPatternData>& patterns) {
    // The tables hold 24 and 32 bits; a picture in any other format is drawn as 24.
    std::unique_ptr<TBitmap> masterCopy;
    if (master) {
      if (!Native(*master)) master = (masterCopy = Converted(*master)).get();
      Master = NewBitmap(static_cast<int>(FMasterSize.first), static_cast<int>(FMasterSize.second), master->PixelFormat());
    }
    FOwn.resize(masks.size());
    for (std::size_t i = 0; i < masks.size(); ++i)
      if (FPlans[i].Paintable && FPlans[i].SameAs < 0) BuildMask(masks[i], FPlans[i], master, FOwn[i]);
    FPatterns.resize(patterns.size());
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      const TBitmap* img = patterns[i].Img.get();
      if (!img) continue;
      FPatterns[i] = ScaleBitmap(*img, Length(img->Width()), Length(img->Height()), false);
      if (!FPatterns[i]) throw std::bad_alloc();
    }
  }

  // Puts what Build made into the tables; nothing here can fail.
  void Apply(std::vector<TsMaskData>& masks, std::vector<TsPatternData>& patterns) noexcept {
    for (std::size_t i = 0; i < masks.size(); ++i) {
      TsMaskData& m = masks[i];
      const TMaskPlan& plan = FPlans[i];
      if (plan.Paintable) {
        if (m.Bmp) m.Bmp = std::move(FOwn[i]);
        m.R = TRect{static_cast<int>(plan.X), static_cast<int>(plan.Y), static_cast<int>(plan.X + plan.Width()),
                    static_cast<int>(plan.Y + plan.Height())};
      } else if (!m.Bmp) {
        m.R = TRect{};  // it lay outside the old master; it must not land on a piece of the new one
      }
      for (std::uint16_t* v : {&m.WL, &m.WT, &m.WR, &m.WB, &m.BorderWidth}) *v = ScaleWord(*v, FTo, FFrom);
    }
    for (std::size_t i = 0; i < patterns.size(); ++i)
      if (FPatterns[i]) patterns[i].Img = std::move(FPatterns[i]);
  }

  std::unique_ptr<TBitmap> Master;
  std::int64_t Used = 0;  // pixels of every picture after the scale

 private:
  int Length(int v) const { return ScaleLength(v, FTo, FFrom); }
  static std::unique_ptr<TBitmap> Converted(const TBitmap& b) {
    std::unique_ptr<TBitmap> copy = To24BitCopy(b);
    if (!copy) throw std::bad_alloc();
    return copy;
  }
  // A mask into its own new bitmap, or into its place in the new master.
  void BuildMask(const TsMaskData& m, const TMaskPlan& plan, const TBitmap* master, std::unique_ptr<TBitmap>& own) {
    const TBitmap* source = m.Bmp ? m.Bmp.get() : master;
    std::unique_ptr<TBitmap> copy;
    if (!Native(*source)) source = (copy = Converted(*source)).get();
    TBitmap* target = Master.get();
    if (m.Bmp) {
      own = NewBitmap(static_cast<int>(plan.Width()), static_cast<int>(plan.Height()), source->PixelFormat());
      own->Transparent = m.Bmp->Transparent;
      own->TransparentColor = m.Bmp->TransparentColor;
      target = own.get();
    }
    // Planned inside both bitmaps and in one format, the piece always fits.
    ScalePiece(*source, *target, PieceOf(m, plan, FTo, FFrom));
  }

  int FTo, FFrom;
  std::vector<TMaskPlan> FPlans;
  std::pair<std::int64_t, std::int64_t> FMasterSize{0, 0};
  std::vector<std::unique_ptr<TBitmap>> FOwn, FPatterns;
};

void ScaleMeasures(std::vector<TsGeneralData>& sections, TsSkinGlobals& g, int to, int from) {
  for (TsGeneralData& s : sections) s.GlowMargin = ScaleDpi(s.GlowMargin, to, from);
  for (int* v : {&g.Shadow1Offset, &g.BISpace, &g.BIRight, &g.BILeft, &g.BICloseGlowMargin, &g.BIMaxGlowMargin,
                 &g.BIMinGlowMargin})
    *v = ScaleDpi(*v, to, from);
  if (g.Shadow1Blur > 0) g.Shadow1Blur = ScaleDpi(g.Shadow1Blur, to, from);  // -1: no blur
}

}  // namespace

void TsSkinTables::Rescale(int to, int from) {
  if (to <= 0 || from <= 0) throw EConvertError("Neplatné rozlišení obrazovky: " + std::to_string(to) + " dpi.");
  if (to == from) return;
  TScaleJob job(to, from);
  job.Plan(FMasks, FMaster.get(), FPatterns);
  job.Build(FMasks, FMaster.get(), FPatterns);
  if (job.Master) {
    job.Master->Transparent = FMaster->Transparent;
    job.Master->TransparentColor = FMaster->TransparentColor;
    FMaster = std::move(job.Master);
  }
  job.Apply(FMasks, FPatterns);
  ScaleMeasures(FSections, FGlobals, to, from);
  FPixels = job.Used;
}

}  // namespace evesk
