// Scripting descriptors of the filter record: descriptor parameters and the read and write
// procedure tables (natural alignment on 64-bit Windows).
#pragma once
#include "PITypes.h"

typedef struct PIOpaqueReadDescriptor* PIReadDescriptor;
typedef struct PIOpaqueWriteDescriptor* PIWriteDescriptor;

struct PIDescriptorSimpleReference {
  DescriptorTypeID desiredClass;
  DescriptorKeyID keyForm;
  struct {
    Str255 name;
    int32 index;
    DescriptorTypeID type;
    DescriptorEnumID value;
  } keyData;
};

struct ReadDescriptorProcs {
  int16 readDescriptorProcsVersion;
  int16 numReadDescriptorProcs;
  PIReadDescriptor (*openReadDescriptorProc)(Handle descriptor, DescriptorKeyID* keyArray);
  OSErr (*closeReadDescriptorProc)(PIReadDescriptor token);
  Boolean (*getKeyProc)(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32* flags);
  OSErr (*getIntegerProc)(PIReadDescriptor token, int32* value);
  OSErr (*getFloatProc)(PIReadDescriptor token, real64* value);
  OSErr (*getUnitFloatProc)(PIReadDescriptor token, DescriptorUnitID* unit, real64* value);
  OSErr (*getBooleanProc)(PIReadDescriptor token, Boolean* value);
  OSErr (*getTextProc)(PIReadDescriptor token, Handle* value);
  OSErr (*getAliasProc)(PIReadDescriptor token, Handle* value);
  OSErr (*getEnumeratedProc)(PIReadDescriptor token, DescriptorEnumID* value);
  OSErr (*getClassProc)(PIReadDescriptor token, DescriptorTypeID* value);
  OSErr (*getSimpleReferenceProc)(PIReadDescriptor token, PIDescriptorSimpleReference* value);
  OSErr (*getObjectProc)(PIReadDescriptor token, DescriptorTypeID* type, Handle* value);
  OSErr (*getCountProc)(PIReadDescriptor token, uint32* value);
  OSErr (*getStringProc)(PIReadDescriptor token, Str255* value);
  OSErr (*getPinnedIntegerProc)(PIReadDescriptor token, int32 min, int32 max, int32* value);
  OSErr (*getPinnedFloatProc)(PIReadDescriptor token, const real64* min, const real64* max, real64* value);
  OSErr (*getPinnedUnitFloatProc)(PIReadDescriptor token, const real64* min, const real64* max,
                                  DescriptorUnitID* unit, real64* value);
};
static_assert(sizeof(ReadDescriptorProcs) == 152);

struct WriteDescriptorProcs {
  int16 writeDescriptorProcsVersion;
  int16 numWriteDescriptorProcs;
  PIWriteDescriptor (*openWriteDescriptorProc)(void);
  OSErr (*closeWriteDescriptorProc)(PIWriteDescriptor token, Handle* descriptor);
  OSErr (*putIntegerProc)(PIWriteDescriptor token, DescriptorKeyID key, int32 value);
  OSErr (*putFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, const real64* value);
  OSErr (*putUnitFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorUnitID unit, const real64* value);
  OSErr (*putBooleanProc)(PIWriteDescriptor token, DescriptorKeyID key, Boolean value);
  OSErr (*putTextProc)(PIWriteDescriptor token, DescriptorKeyID key, Handle value);
  OSErr (*putAliasProc)(PIWriteDescriptor token, DescriptorKeyID key, Handle value);
  OSErr (*putEnumeratedProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                             DescriptorEnumID value);
  OSErr (*putClassProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID value);
  OSErr (*putSimpleReferenceProc)(PIWriteDescriptor token, DescriptorKeyID key,
                                  const PIDescriptorSimpleReference* value);
  OSErr (*putObjectProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type, Handle value);
  OSErr (*putCountProc)(PIWriteDescriptor token, DescriptorKeyID key, uint32 value);
  OSErr (*putStringProc)(PIWriteDescriptor token, DescriptorKeyID key, ConstStr255Param value);
  OSErr (*putScopedClassProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID value);
  OSErr (*putScopedObjectProc)(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type, Handle value);
};
static_assert(sizeof(WriteDescriptorProcs) == 136);

struct PIDescriptorParameters {
  int16 descriptorParametersVersion;
  int16 playInfo;
  int16 recordInfo;
  Handle descriptor;
  WriteDescriptorProcs* writeDescriptorProcs;
  ReadDescriptorProcs* readDescriptorProcs;
};
static_assert(sizeof(PIDescriptorParameters) == 32 && offsetof(PIDescriptorParameters, descriptor) == 8);
static_assert(offsetof(PIDescriptorParameters, readDescriptorProcs) == 24);

enum : int16 { plugInDialogDontDisplay = 0, plugInDialogDisplay = 1, plugInDialogSilent = 2 };
enum : int16 { plugInDialogOptional = 0, plugInDialogRequired = 1, plugInDialogNone = 2 };

enum : int32 {
  actionSimpleParameter = 0,
  actionEnumeratedParameter = 0x2000,
  actionListParameter = 0x4000,
  actionOptionalParameter = 0x8000,
  actionStringIDParameter = 0x20000000,
  actionScopedParameter = 0x40000000,
  actionObjectParameter = int32(0x80000000),
};

constexpr DescriptorTypeID typeInteger = FourCC("long");
constexpr DescriptorTypeID typeFloat = FourCC("doub");
constexpr DescriptorTypeID typeUnitFloat = FourCC("UntF");
constexpr DescriptorTypeID typeBoolean = FourCC("bool");
constexpr DescriptorTypeID typeText = FourCC("TEXT");
constexpr DescriptorTypeID typeEnumerated = FourCC("enum");
constexpr DescriptorTypeID typeType = FourCC("type");
constexpr DescriptorTypeID typeObject = FourCC("Objc");
constexpr DescriptorTypeID typeNull = FourCC("null");
constexpr DescriptorTypeID typeImageReference = FourCC("#ImR");
constexpr DescriptorUnitID unitPixels = FourCC("#Pxl");
constexpr DescriptorUnitID unitPercent = FourCC("#Prc");
constexpr DescriptorUnitID unitAngle = FourCC("#Ang");
constexpr DescriptorUnitID unitDistance = FourCC("#Rlt");
constexpr DescriptorUnitID unitNone = FourCC("#Nne");
