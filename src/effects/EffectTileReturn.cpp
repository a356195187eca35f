// The return of a band's light to the host image. A pixel's light is what a tile image of the
// host's mode in the working profile would give once converted to the host's profile: encoded
// with the working profile's gamma into the host's sample format, converted through the cached
// transform of that key, decoded with the host image's gamma. Only lit pixels are converted, in
// runs of a row; between alike profiles the light passes as it is.
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "color/ColorProfiles.h"
#include "core/FastPower.h"
#include "core/SampleEncoding.h"
#include "effects/EffectTile.h"

namespace {

constexpr uint32_t kLinearFull = 0xFFFFFF;
constexpr int kRun = 256;  // lit pixels converted in one call

uint8_t EncodeEightBit(const EightBitEncoder& encoder, uint32_t linear) {
  if (linear > 0xFFFFFE) return 255;
  uint32_t code = encoder.start[linear >> 8];
  while (linear >= encoder.thresholds[code + 1]) ++code;
  return uint8_t(code);
}

// The table holds (2^o (1 + m / 1024) / 2^24)^(1 / gamma) for octave o and step m; a 24-bit
// value's float bits give both, and the bits below the step the share of the way to the next.
constexpr int kStepsPerOctave = 1024;

std::vector<float> TileEncodingTable(double inverseGamma) {
  std::vector<float> table(24 * kStepsPerOctave + 1);
  for (size_t i = 0; i < table.size(); ++i) {
    double value = std::ldexp(1.0 + double(i % kStepsPerOctave) / kStepsPerOctave, int(i / kStepsPerOctave) - 24);
    table[i] = float(FastPower(std::min(value, 1.0), inverseGamma));
  }
  return table;
}

float EncodeByTable(const float* table, uint32_t linear) {
  if (linear == 0) return 0.0f;
  float value = float(linear);  // exact below 2^24
  uint32_t bits;
  memcpy(&bits, &value, 4);
  uint32_t index = ((bits >> 23) - 127) * kStepsPerOctave + ((bits >> 13) & (kStepsPerOctave - 1));
  float share = float(bits & 0x1FFF) * (1.0f / 8192.0f);
  return table[index] + (table[index + 1] - table[index]) * share;
}

// 8-bit samples exactly as the writers round them; 16-bit and float ones within a
// ten-millionth of full scale of the writers' power, which may move a 16-bit sample by one.
template <typename Sample>
Sample EncodedSample(uint32_t linear, const LinearConversion& conversion) {
  if constexpr (sizeof(Sample) == 1) return EncodeEightBit(conversion.tileEncoder, linear);
  float encoded = linear > 0xFFFFFE ? 1.0f : EncodeByTable(conversion.tileEncoding.data(), linear);
  if constexpr (sizeof(Sample) == 2) return SixteenBitSampleOf(linear, encoded);
  return encoded;
}

template <typename Sample>
constexpr Sample kOpaque = sizeof(Sample) == 1 ? Sample(255) : sizeof(Sample) == 2 ? Sample(65535) : Sample(1);

template <typename Sample>
uint32_t DecodedSample(Sample sample, const ImageRecord& host) {
  if constexpr (sizeof(Sample) == 1) return uint32_t(host.gammaTables.eightToLinear[sample]);
  if constexpr (sizeof(Sample) == 2) return uint32_t(host.gammaTables.sixteenToLinear[sample]);
  return DecodedFloatLight(sample, host.gamma);
}

uint32_t LinearOf(float light) {
  if (!(light > 0.0f)) return 0;
  return light >= 1.0f ? kLinearFull : uint32_t(double(light) * kLinearFull + 0.5);
}

// A run of one row's lit pixels: their columns, their samples as the transform reads and writes
// them (four a pixel, the host's sample type), and the host-linear light they come back as.
struct LitRun {
  int count;
  int32_t column[kRun];
  alignas(16) uint8_t samples[kRun * 4 * sizeof(float)];
  uint32_t light[kRun][3];
};

// Where a colour host keeps red, green and blue among a pixel's four samples; a gray host's
// gray is the first, and the gray tile took its gray from red (as the gray writers do).
struct Layout {
  bool gray;
  int red, blue;
};

Layout LayoutOf(const ImageRecord& host) {
  bool gray = IsGrayImageMode(host.mode);
  bool bgra = !gray && host.pixelFormat == GL_BGRA_FORMAT;
  return Layout{gray, bgra ? 2 : 0, bgra ? 0 : 2};
}

template <typename Sample>
void EncodeInto(LitRun* run, int i, const float* tile, const Layout& layout, const LinearConversion& conversion) {
  Sample* s = reinterpret_cast<Sample*>(run->samples) + 4 * i;
  if (layout.gray) {
    s[0] = s[1] = s[2] = EncodedSample<Sample>(LinearOf(tile[0]), conversion);
  } else {
    s[layout.red] = EncodedSample<Sample>(LinearOf(tile[0]), conversion);
    s[1] = EncodedSample<Sample>(LinearOf(tile[1]), conversion);
    s[layout.blue] = EncodedSample<Sample>(LinearOf(tile[2]), conversion);
  }
  s[3] = kOpaque<Sample>;  // though the transform leaves alpha alone
}

template <typename Sample>
void DecodeRun(LitRun* run, const ImageRecord& host, const Layout& layout) {
  for (int i = 0; i < run->count; ++i) {
    const Sample* s = reinterpret_cast<const Sample*>(run->samples) + 4 * i;
    uint32_t* light = run->light[i];
    if (layout.gray) {
      light[0] = light[1] = light[2] = DecodedSample<Sample>(s[0], host);
    } else {
      light[0] = DecodedSample<Sample>(s[layout.red], host);
      light[1] = DecodedSample<Sample>(s[1], host);
      light[2] = DecodedSample<Sample>(s[layout.blue], host);
    }
  }
}

template <typename Sample>
void ConvertRun(const LinearConversion& conversion, const ImageRecord& host, LitRun* run) {
  if (run->count == 0) return;
  cmsDoTransform(conversion.transform, run->samples, run->samples, cmsUInt32Number(run->count));
  DecodeRun<Sample>(run, host, LayoutOf(host));
}

// Gathers the lit pixels of row y from column *x on, up to a run, and brings their light into
// the host's linear light; *x ends past the last pixel looked at.
template <typename Sample>
void ReturnRun(const EffectTile& tile, const LinearConversion& conversion, const ImageRecord& host, int64_t y, int64_t* x,
               int64_t right, LitRun* run) {
  const Layout layout = LayoutOf(host);
  run->count = 0;
  for (; *x < right && run->count < kRun; ++*x) {
    const float* t = tile.At(*x, y);
    if (t[0] == 0 && t[1] == 0 && t[2] == 0 && !conversion.blackLit) continue;
    if (conversion.identity) {
      uint32_t* light = run->light[run->count];
      light[0] = LinearOf(t[0]);
      light[1] = layout.gray ? light[0] : LinearOf(t[1]);
      light[2] = layout.gray ? light[0] : LinearOf(t[2]);
    } else {
      EncodeInto<Sample>(run, run->count, t, layout, conversion);
    }
    run->column[run->count++] = int32_t(*x);
  }
  if (conversion.identity) return;
  ConvertRun<Sample>(conversion, host, run);
}

void ReturnRunOfHost(const EffectTile& tile, const LinearConversion& conversion, const ImageRecord& host, int64_t y, int64_t* x,
                     int64_t right, LitRun* run) {
  if (host.bytesPerSample == 1) {
    ReturnRun<uint8_t>(tile, conversion, host, y, x, right, run);
  } else if (host.bytesPerSample == 2) {
    ReturnRun<uint16_t>(tile, conversion, host, y, x, right, run);
  } else {
    ReturnRun<float>(tile, conversion, host, y, x, right, run);
  }
}

// Black point compensation keeps black black between the usual profiles; where it does not, a
// black tile pixel lends the host light too and cannot be skipped.
template <typename Sample>
bool BlackLendsLight(const LinearConversion& conversion, const ImageRecord& host) {
  LitRun run;
  const float black[3] = {0, 0, 0};
  EncodeInto<Sample>(&run, 0, black, LayoutOf(host), conversion);
  run.count = 1;
  ConvertRun<Sample>(conversion, host, &run);
  return run.light[0][0] != 0 || run.light[0][1] != 0 || run.light[0][2] != 0;
}

// Rounded by adding a half and truncating: both factors are positive, and the library's rounding
// call costs more than the rest of the pixel.
uint32_t Screen(uint32_t host, uint32_t light) {
  return host + uint32_t(double(light) * double(kLinearFull - host) * (1.0 / kLinearFull) + 0.5);
}

// 8-bit colour hosts: samples read through the image's table and written with the writer's
// rounding, straight into the pixels.
void ScreenEightBitRun(const LitRun& run, const LinearConversion& conversion, ImageRecord* host, int64_t y) {
  const int32_t* decode = host->gammaTables.eightToLinear;
  for (int i = 0; i < run.count; ++i) {
    uint8_t* pixel = host->Pixel(run.column[i], y);  // blue, green, red, alpha
    for (int k = 0; k < 3; ++k) {
      uint8_t& sample = pixel[2 - k];
      uint32_t before = uint32_t(decode[sample]);
      uint32_t after = Screen(before, run.light[i][k]);
      if (after != before) sample = std::max(sample, EncodeEightBit(conversion.hostEncoder, after));
    }
  }
}

void ScreenRun(const LitRun& run, ImageRecord* host, int64_t y) {
  for (int i = 0; i < run.count; ++i) {
    PixelValue h;
    host->readPixel(host, run.column[i], y, &h);
    h.red = Screen(h.red, run.light[i][0]);
    h.green = Screen(h.green, run.light[i][1]);
    h.blue = Screen(h.blue, run.light[i][2]);
    h.alpha = h.mask = kKeepSample;
    host->writePixel(host, run.column[i], y, h);
  }
}

// Each threshold is found by bisection on the writer's own arithmetic, so that the encoder
// writes what the writer would. A 256-wide step may pass several thresholds near black.
void BuildEightBitEncoder(double inverseGamma, EightBitEncoder* encoder) {
  encoder->thresholds[0] = 0;
  for (int k = 1; k < 256; ++k) {
    uint32_t low = 0, high = kLinearFull;  // the writer stores at least k for high
    while (low < high) {
      uint32_t middle = low + (high - low) / 2;
      if (EightBitSampleOf(middle, EncodedLight(middle, inverseGamma)) >= k) high = middle;
      else low = middle + 1;
    }
    encoder->thresholds[k] = low;
  }
  encoder->thresholds[256] = 0xFFFFFFFF;
  encoder->start.assign(65536, 0);
  for (uint32_t step = 0, code = 0; step < 65536; ++step) {
    while (code < 255 && encoder->thresholds[code + 1] <= step << 8) ++code;
    encoder->start[step] = uint8_t(code);
  }
}

bool IsEightBitColour(const ImageRecord& host) {
  return host.mode == plugInModeRGBColor && host.pixelType == GL_UNSIGNED_BYTE_TYPE;
}

}  // namespace

// The transform is the one the cache keeps for converting a tile image of the host's mode, with
// the cache's intent and flags, so that the host sees what that conversion would have given.
bool MakeLinearConversion(const ImageRecord& host, LinearConversion* conversion) {
  conversion->tileInverseGamma = 1.0 / QuantisedProfileGamma(WorkingProfile());
  conversion->blackLit = false;
  if (host.bytesPerSample == 1) {
    BuildEightBitEncoder(conversion->tileInverseGamma, &conversion->tileEncoder);
    BuildEightBitEncoder(host.inverseGamma, &conversion->hostEncoder);
  } else {
    conversion->tileEncoding = TileEncodingTable(conversion->tileInverseGamma);
  }
  // Between alike profiles the transform changes nothing but for rounding, and most hosts that
  // give no profile get the working profile's twin: their light is taken as it is.
  conversion->identity = AreProfilesAlike(WorkingProfile(), host.profile);
  conversion->transform = nullptr;
  if (conversion->identity) return true;
  uint32_t format = GetImageColorTransform(host);
  conversion->transform = GetColorTransform(WorkingProfile(), format, host.profile, format);
  if (conversion->transform == nullptr) return false;
  conversion->blackLit = host.bytesPerSample == 1   ? BlackLendsLight<uint8_t>(*conversion, host)
                         : host.bytesPerSample == 2 ? BlackLendsLight<uint16_t>(*conversion, host)
                                                    : BlackLendsLight<float>(*conversion, host);
  return true;
}

void ScreenTileOntoImage(const EffectTile& tile, const LinearConversion& conversion, ImageRecord* host,
                         const volatile bool* abort) {
  ImageRect area = WindowWithin(tile, host->rectangle);
  bool eightBitColour = IsEightBitColour(*host);
  LitRun run;
  for (int64_t y = area.top; y < area.bottom && !*abort; ++y) {
    for (int64_t x = area.left; x < area.right;) {
      ReturnRunOfHost(tile, conversion, *host, y, &x, area.right, &run);
      if (eightBitColour) {
        ScreenEightBitRun(run, conversion, host, y);
      } else {
        ScreenRun(run, host, y);
      }
    }
  }
}
