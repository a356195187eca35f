// The filter record, the big-document structure, the about record and the callback tables,
// ABI-exact for 64-bit Windows. FilterRecord and BigDocumentStruct are packed to 4 bytes.
#pragma once
#include "PITypes.h"

struct PIDescriptorParameters;
struct SPBasicSuite;

typedef Boolean (*TestAbortProc)(void);
typedef void (*ProgressProc)(int32 done, int32 total);
typedef void (*HostProc)(int16 selector, intptr_t* data);
typedef void (*ProcessEventProc)(void* event);
typedef OSErr (*AdvanceStateProc)(void);
typedef OSErr (*GetPropertyProc)(PIType signature, PIType key, int32 index, intptr_t* simpleProperty,
                                 Handle* complexProperty);
typedef OSErr (*SetPropertyProc)(PIType signature, PIType key, int32 index, intptr_t simpleProperty,
                                 Handle complexProperty);

struct HandleProcs {
  int16 handleProcsVersion;
  int16 numHandleProcs;
  Handle (*newProc)(int32 size);
  void (*disposeProc)(Handle h);
  int32 (*getSizeProc)(Handle h);
  OSErr (*setSizeProc)(Handle h, int32 newSize);
  Ptr (*lockProc)(Handle h, Boolean moveHigh);
  void (*unlockProc)(Handle h);
  void (*recoverSpaceProc)(int32 size);
  void (*disposeRegularHandleProc)(Handle h);
};
static_assert(sizeof(HandleProcs) == 72 && offsetof(HandleProcs, newProc) == 8);
static_assert(offsetof(HandleProcs, lockProc) == 40 && offsetof(HandleProcs, unlockProc) == 48);

typedef struct BufferStruct* BufferID;
struct BufferProcs {
  int16 bufferProcsVersion;
  int16 numBufferProcs;
  OSErr (*allocateProc)(int32 size, BufferID* bufferID);
  Ptr (*lockProc)(BufferID bufferID, Boolean moveHigh);
  void (*unlockProc)(BufferID bufferID);
  void (*freeProc)(BufferID bufferID);
  int32 (*spaceProc)(void);
  OSErr (*reserveProc)(int32 size);
  OSErr (*allocateProc64)(int64 size, BufferID* bufferID);
  int64 (*spaceProc64)(void);
};
static_assert(sizeof(BufferProcs) == 72);

struct ResourceProcs {
  int16 resourceProcsVersion;
  int16 numResourceProcs;
  int16 (*countProc)(ResType type);
  Handle (*getProc)(ResType type, int16 index);
  void (*deleteProc)(ResType type, int16 index);
  OSErr (*addProc)(ResType type, Handle data);
};
static_assert(sizeof(ResourceProcs) == 40);

struct PropertyProcs {
  int16 propertyProcsVersion;
  int16 numPropertyProcs;
  GetPropertyProc getPropertyProc;
  SetPropertyProc setPropertyProc;
};
static_assert(sizeof(PropertyProcs) == 24 && offsetof(PropertyProcs, setPropertyProc) == 16);

struct PlugInMonitor {
  Fixed gamma, redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY, ambient;
};

struct AboutRecord {
  void* platformData;
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  char reserved[244];
};
static_assert(sizeof(AboutRecord) == 272 && offsetof(AboutRecord, sSPBasic) == 8);

#pragma pack(push, 4)
struct BigDocumentStruct {
  int32 PluginUsing32BitCoordinates;
  VPoint imageSize32;
  VRect filterRect32;
  VRect inRect32;
  VRect outRect32;
  VRect maskRect32;
  VPoint floatCoord32;
  VPoint wholeSize32;
};

struct FilterRecord {
  int32 serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  Handle parameters;
  Point imageSize;
  int16 planes;
  Rect filterRect;
  RGBColor background;
  RGBColor foreground;
  int32 maxSpace;
  int32 bufferSpace;
  Rect inRect;
  int16 inLoPlane;
  int16 inHiPlane;
  Rect outRect;
  int16 outLoPlane;
  int16 outHiPlane;
  void* inData;
  int32 inRowBytes;
  void* outData;
  int32 outRowBytes;
  Boolean isFloating;
  Boolean haveMask;
  Boolean autoMask;
  Rect maskRect;
  void* maskData;
  int32 maskRowBytes;
  FilterColor backColor;
  FilterColor foreColor;
  OSType hostSig;
  HostProc hostProc;
  int16 imageMode;
  Fixed imageHRes;
  Fixed imageVRes;
  Point floatCoord;
  Point wholeSize;
  PlugInMonitor monitor;
  PlatformData* platformData;
  BufferProcs* bufferProcs;
  ResourceProcs* resourceProcs;
  ProcessEventProc processEvent;
  void* displayPixels;
  HandleProcs* handleProcs;
  Boolean supportsDummyChannels;
  Boolean supportsAlternateLayouts;
  int16 wantLayout;
  int16 filterCase;
  int16 dummyPlaneValue;
  void* premiereHook;
  AdvanceStateProc advanceState;
  Boolean supportsAbsolute;
  Boolean wantsAbsolute;
  GetPropertyProc getPropertyObsolete;
  Boolean cannotUndo;
  Boolean supportsPadding;
  int16 inputPadding;
  int16 outputPadding;
  int16 maskPadding;
  char samplingSupport;
  char reservedByte;
  Fixed inputRate;
  Fixed maskRate;
  void* colorServices;
  int16 inLayerPlanes;
  int16 inTransparencyMask;
  int16 inLayerMasks;
  int16 inInvertedLayerMasks;
  int16 inNonLayerPlanes;
  int16 outLayerPlanes;
  int16 outTransparencyMask;
  int16 outLayerMasks;
  int16 outInvertedLayerMasks;
  int16 outNonLayerPlanes;
  int16 absLayerPlanes;
  int16 absTransparencyMask;
  int16 absLayerMasks;
  int16 absInvertedLayerMasks;
  int16 absNonLayerPlanes;
  int16 inPreDummyPlanes;
  int16 inPostDummyPlanes;
  int16 outPreDummyPlanes;
  int16 outPostDummyPlanes;
  int32 inColumnBytes;
  int32 inPlaneBytes;
  int32 outColumnBytes;
  int32 outPlaneBytes;
  void* imageServicesProcs;
  PropertyProcs* propertyProcs;
  int16 inTileHeight;
  int16 inTileWidth;
  Point inTileOrigin;
  int16 absTileHeight;
  int16 absTileWidth;
  Point absTileOrigin;
  int16 outTileHeight;
  int16 outTileWidth;
  Point outTileOrigin;
  int16 maskTileHeight;
  int16 maskTileWidth;
  Point maskTileOrigin;
  PIDescriptorParameters* descriptorParameters;
  Str255* errorString;
  void* channelPortProcs;
  void* documentInfo;
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  int32 depth;
  Handle iCCprofileData;
  int32 iCCprofileSize;
  int32 canUseICCProfiles;
  int32 hasImageScrap;
  BigDocumentStruct* bigDocumentData;
  PIDescriptorParameters* input3DScene;
  PIDescriptorParameters* output3DScene;
  Boolean createNewLayer;
  Handle iCCWorkingProfileData;
  int32 iCCWorkingProfileSize;
  int64 bufferSpace64;  // never read: hosts that declare 556 bytes end before these two
  int64 maxSpace64;
  char reserved[46];
};
#pragma pack(pop)

static_assert(sizeof(BigDocumentStruct) == 92 && offsetof(BigDocumentStruct, filterRect32) == 12);
static_assert(offsetof(BigDocumentStruct, maskRect32) == 60 && offsetof(BigDocumentStruct, wholeSize32) == 84);
static_assert(sizeof(FilterRecord) == 608);
static_assert(offsetof(FilterRecord, abortProc) == 4 && offsetof(FilterRecord, progressProc) == 12);
static_assert(offsetof(FilterRecord, parameters) == 20 && offsetof(FilterRecord, imageSize) == 28);
static_assert(offsetof(FilterRecord, planes) == 32 && offsetof(FilterRecord, filterRect) == 34);
static_assert(offsetof(FilterRecord, maxSpace) == 56 && offsetof(FilterRecord, bufferSpace) == 60);
static_assert(offsetof(FilterRecord, inRect) == 64 && offsetof(FilterRecord, outRect) == 76);
static_assert(offsetof(FilterRecord, inData) == 88 && offsetof(FilterRecord, outData) == 100);
static_assert(offsetof(FilterRecord, haveMask) == 113 && offsetof(FilterRecord, maskRect) == 116);
static_assert(offsetof(FilterRecord, maskData) == 124 && offsetof(FilterRecord, maskRowBytes) == 132);
static_assert(offsetof(FilterRecord, hostSig) == 144 && offsetof(FilterRecord, imageMode) == 156);
static_assert(offsetof(FilterRecord, monitor) == 176 && offsetof(FilterRecord, platformData) == 216);
static_assert(offsetof(FilterRecord, handleProcs) == 256 && offsetof(FilterRecord, filterCase) == 268);
static_assert(offsetof(FilterRecord, advanceState) == 280 && offsetof(FilterRecord, getPropertyObsolete) == 292);
static_assert(offsetof(FilterRecord, supportsPadding) == 301 && offsetof(FilterRecord, inputPadding) == 302);
static_assert(offsetof(FilterRecord, maskPadding) == 306 && offsetof(FilterRecord, samplingSupport) == 308);
static_assert(offsetof(FilterRecord, inputRate) == 312 && offsetof(FilterRecord, colorServices) == 320);
static_assert(offsetof(FilterRecord, inLayerPlanes) == 328 && offsetof(FilterRecord, inNonLayerPlanes) == 336);
static_assert(offsetof(FilterRecord, inColumnBytes) == 368 && offsetof(FilterRecord, propertyProcs) == 392);
static_assert(offsetof(FilterRecord, inTileHeight) == 400 && offsetof(FilterRecord, maskTileOrigin) == 428);
static_assert(offsetof(FilterRecord, descriptorParameters) == 432 && offsetof(FilterRecord, errorString) == 440);
static_assert(offsetof(FilterRecord, documentInfo) == 456 && offsetof(FilterRecord, sSPBasic) == 464);
static_assert(offsetof(FilterRecord, depth) == 480 && offsetof(FilterRecord, iCCprofileData) == 484);
static_assert(offsetof(FilterRecord, iCCprofileSize) == 492 && offsetof(FilterRecord, canUseICCProfiles) == 496);
static_assert(offsetof(FilterRecord, bigDocumentData) == 504 && offsetof(FilterRecord, createNewLayer) == 528);
static_assert(offsetof(FilterRecord, iCCWorkingProfileData) == 532 && offsetof(FilterRecord, bufferSpace64) == 544);
static_assert(offsetof(FilterRecord, maxSpace64) == 552 && offsetof(FilterRecord, reserved) == 560);

// Hosts that predate the big-document fields (and the .NET hosts) declare only this much.
constexpr size_t kShortFilterRecordSize = 556;

typedef void (*PluginEntryProc)(int16 selector, void* record, intptr_t* data, int16* result);
