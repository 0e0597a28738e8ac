// Decoding speed of the PNG decoder against the reference PNG library on the same large RGBA
// and RGB files (and a 16 × 16 icon), both writing BGR(A) rows into a fresh bitmap. Prints
// our time / reference time per image at the end; 1.0 or less means no slower.
#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "framework/Stream.h"
#include "imaging/acPNG.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

// A photograph-like picture: smooth colour fields, fine noise and, for RGBA, a soft-edged
// opaque disc on a half-transparent ground.
Bytes MakeFile(int w, int h, bool alpha) {
  const int channels = alpha ? 4 : 3;
  std::mt19937 rng(5);
  Bytes pixels(static_cast<std::size_t>(w) * h * channels);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * w + x) * channels];
      const double fx = x / 97.0, fy = y / 71.0;
      p[0] = static_cast<std::uint8_t>(std::clamp(128 + 90 * std::sin(fx) * std::cos(fy) + static_cast<int>(rng() % 9) - 4.0, 0.0, 255.0));
      p[1] = static_cast<std::uint8_t>(std::clamp(128 + 80 * std::sin(fx * 0.7 + fy) + static_cast<int>(rng() % 9) - 4.0, 0.0, 255.0));
      p[2] = static_cast<std::uint8_t>(std::clamp(100 + 60 * std::cos(fx * 0.3 - fy * 0.5) + static_cast<int>(rng() % 9) - 4.0, 0.0, 255.0));
      if (alpha) {
        const double d = std::hypot(x - w / 2.0, y - h / 2.0) / (h / 2.5);
        p[3] = static_cast<std::uint8_t>(d < 0.9 ? 255 : d > 1.0 ? 128 : 128 + 127 * (1.0 - d) * 10);
      }
    }
  Bytes out;
  png_structp wr = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(wr);
  std::vector<png_bytep> rows(h);
  for (int y = 0; y < h; ++y) rows[y] = &pixels[static_cast<std::size_t>(y) * w * channels];
  if (setjmp(png_jmpbuf(wr))) {
    png_destroy_write_struct(&wr, &info);
    return {};
  }
  png_set_write_fn(
      wr, &out, [](png_structp p, png_bytep d, png_size_t n) { static_cast<Bytes*>(png_get_io_ptr(p))->insert(static_cast<Bytes*>(png_get_io_ptr(p))->end(), d, d + n); },
      nullptr);
  png_set_IHDR(wr, info, w, h, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(wr, info);
  png_write_image(wr, rows.data());
  png_write_end(wr, info);
  png_destroy_write_struct(&wr, &info);
  return out;
}

void DecodeOurs(benchmark::State& state, const Bytes* file) {
  evesk::TMemoryStream stream(*file);
  for (auto _ : state) {
    stream.SetPosition(0);
    evesk::TPNGGraphic png;
    png.LoadFromStream(stream);
    benchmark::DoNotOptimize(png.ScanLine(0));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file->size()));
}

// The same work with the reference library: into a fresh bitmap, BGR(A) order.
void DecodeReference(benchmark::State& state, const Bytes* file) {
  struct Source { const Bytes* data; std::size_t pos; };
  for (auto _ : state) {
    Source src{file, 0};
    png_structp r = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(r);
    evesk::TBitmap bitmap;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(r))) {
      png_destroy_read_struct(&r, &info, nullptr);
      state.SkipWithError("reference decoder failed");
      break;
    }
    png_set_read_fn(r, &src, [](png_structp p, png_bytep d, png_size_t n) {
      auto* s = static_cast<Source*>(png_get_io_ptr(p));
      if (s->pos + n > s->data->size()) png_error(p, "short");
      std::memcpy(d, s->data->data() + s->pos, n);
      s->pos += n;
    });
    png_read_info(r, info);
    png_set_bgr(r);
    png_read_update_info(r, info);
    const int w = static_cast<int>(png_get_image_width(r, info)), h = static_cast<int>(png_get_image_height(r, info));
    const bool alpha = png_get_color_type(r, info) & PNG_COLOR_MASK_ALPHA;
    bitmap.SetSize(w, h, alpha ? evesk::TPixelFormat::pf32bit : evesk::TPixelFormat::pf24bit);
    for (int y = 0; y < h; ++y) rows.push_back(bitmap.ScanLine(y));
    png_read_image(r, rows.data());
    png_read_end(r, nullptr);
    png_destroy_read_struct(&r, &info, nullptr);
    benchmark::DoNotOptimize(bitmap.ScanLine(0));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file->size()));
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const double t = run.GetAdjustedRealTime();
      if (run.aggregate_name.empty()) {
        double& best = Times[run.run_name.str()];
        if (best == 0 || t < best) best = t;  // fastest of the repetitions
      } else if (run.aggregate_name == "median") {
        Medians[run.run_name.str()] = t;  // all there is with --benchmark_report_aggregates_only
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // The fastest repetition of each benchmark, or its median when only aggregates were reported.
  double Time(const std::string& name) const {
    if (auto it = Times.find(name); it != Times.end()) return it->second;
    auto it = Medians.find(name);
    return it == Medians.end() ? 0 : it->second;
  }
  bool OnlyMedians() const { return Times.empty() && !Medians.empty(); }

 private:
  std::map<std::string, double> Times, Medians;
};

}  // namespace

int main(int argc, char** argv) {
  static const Bytes rgba = MakeFile(1920, 1080, true), rgb = MakeFile(1920, 1080, false);
  static Bytes icon;
  try {
    icon = evesk::ReadFileBytes(EVESK_ASSETS "/star_gold.png");
  } catch (const evesk::Exception&) {
  }
  std::printf("RGBA file %zu bytes, RGB file %zu bytes, icon %zu bytes\n", rgba.size(), rgb.size(), icon.size());
  const std::pair<const char*, const Bytes*> images[] = {{"rgba_1920x1080", &rgba}, {"rgb_1920x1080", &rgb}, {"icon_16x16", &icon}};
  for (auto [name, file] : images) {
    if (file->empty()) continue;
    benchmark::RegisterBenchmark((std::string("ours/") + name).c_str(), DecodeOurs, file)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("reference/") + name).c_str(), DecodeReference, file)->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nour time / reference time, %s (1.0 or less: no slower)\n",
              reporter.OnlyMedians() ? "medians" : "fastest repetitions");
  for (auto [name, file] : images) {
    const double ours = reporter.Time(std::string("ours/") + name), ref = reporter.Time(std::string("reference/") + name);
    if (ours > 0 && ref > 0) std::printf("  %-16s %.3f\n", name, ours / ref);
  }
  benchmark::Shutdown();
  return 0;
}
