// Basic types, result codes and image modes of the Photoshop filter plug-in interface,
// declared for 64-bit Windows. Shared by the plug-in and the reference host.
#pragma once
#include <cstddef>
#include <cstdint>

typedef int16_t int16;
typedef uint16_t uint16;
typedef int32_t int32;
typedef uint32_t uint32;
typedef int64_t int64;
typedef double real64;
typedef unsigned char Boolean;
typedef int32 Fixed;  // 16.16
typedef int16 OSErr;
typedef uint32 OSType;
typedef uint32 ResType;
typedef uint32 PIType;
typedef uint32 DescriptorKeyID;
typedef uint32 DescriptorTypeID;
typedef uint32 DescriptorUnitID;
typedef uint32 DescriptorEnumID;
typedef uint32 DescriptorEnumTypeID;
typedef uint32 DescriptorClassID;
typedef char* Ptr;
typedef char** Handle;
typedef unsigned char Str255[256];  // length byte first
typedef const unsigned char* ConstStr255Param;
typedef int32 SPErr;
typedef int32 SPBoolean;
typedef unsigned char FilterColor[4];

struct Point { int16 v, h; };  // vertical first
struct Rect { int16 top, left, bottom, right; };
struct VPoint { int32 v, h; };
struct VRect { int32 top, left, bottom, right; };
struct RGBColor { uint16 red, green, blue; };
struct PlatformData { intptr_t hwnd; };

static_assert(sizeof(Point) == 4 && sizeof(Rect) == 8 && sizeof(VRect) == 16 && sizeof(RGBColor) == 6);
static_assert(sizeof(PlatformData) == 8);

// Four-character codes are 32-bit integers with the first character in the most significant byte.
constexpr uint32 FourCC(const char (&code)[5]) {
  return (uint32(uint8_t(code[0])) << 24) | (uint32(uint8_t(code[1])) << 16) |
         (uint32(uint8_t(code[2])) << 8) | uint32(uint8_t(code[3]));
}

enum : OSErr {
  noErr = 0,
  readErr = -19,
  writErr = -20,
  openErr = -23,
  dskFulErr = -34,
  ioErr = -36,
  eofErr = -39,
  fnfErr = -43,
  paramErr = -50,
  memFullErr = -108,
  nilHandleErr = -109,
  userCanceledErr = -128,
  errMissingParameter = -1715,
  filterBadParameters = -30100,
  filterBadMode = -30101,
  errPlugInHostInsufficient = -30900,
  errPlugInPropertyUndefined = -30901,
  errHostDoesNotSupportColStep = -30902,
  errInvalidSamplePoint = -30903,
  errReportString = -30904,
  errHostVersionIncompatible = -30905,
};

enum ImageMode : int16 {
  plugInModeBitmap = 0,
  plugInModeGrayScale = 1,
  plugInModeIndexedColor = 2,
  plugInModeRGBColor = 3,
  plugInModeCMYKColor = 4,
  plugInModeHSLColor = 5,
  plugInModeHSBColor = 6,
  plugInModeMultichannel = 7,
  plugInModeDuotone = 8,
  plugInModeLabColor = 9,
  plugInModeGray16 = 10,
  plugInModeRGB48 = 11,
  plugInModeLab48 = 12,
  plugInModeCMYK64 = 13,
  plugInModeDeepMultichannel = 14,
  plugInModeDuotone16 = 15,
  plugInModeRGB96 = 16,
  plugInModeGray32 = 17,
};

enum FilterSelector : int16 {
  filterSelectorAbout = 0,
  filterSelectorParameters = 1,
  filterSelectorPrepare = 2,
  filterSelectorStart = 3,
  filterSelectorContinue = 4,
  filterSelectorFinish = 5,
};
