// PICA suites that a host may offer through SPBasic: the basic suite itself, the property and
// error suites, the descriptor registry and the action descriptor suite (natural alignment).
#pragma once
#include "PIFilter.h"

struct SPBasicSuite {
  SPErr (*AcquireSuite)(const char* name, int32 version, const void** suite);
  SPErr (*ReleaseSuite)(const char* name, int32 version);
  SPBoolean (*IsEqual)(const char* token1, const char* token2);
  SPErr (*AllocateBlock)(size_t size, void** block);
  SPErr (*FreeBlock)(void* block);
  SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
  SPErr (*Undefined)(void);
};
static_assert(sizeof(SPBasicSuite) == 56);

constexpr SPErr kSPNoError = 0;
constexpr SPErr kSPSuiteNotFoundError = 0x53214664;  // 'S!Fd'
constexpr SPErr kSPBadParameterError = 0x5061726d;   // 'Parm'
constexpr SPErr kSPUnimplementedError = 0x21494d50;  // '!IMP'
constexpr SPErr kSPOutOfMemoryError = -108;

constexpr const char kPIPropertySuite[] = "Photoshop Property Suite for Plug-ins";
constexpr int32 kPIPropertySuiteVersion1 = 1;
constexpr const char kPSErrorSuite[] = "Photoshop Error Suite for Plug-ins";
constexpr int32 kPSErrorSuiteVersion1 = 1;
constexpr const char kPSDescriptorRegistrySuite[] = "61e608b0-40fd-11d1-8da3-00c04fd5f7ee";
constexpr const char kPSActionDescriptorSuite[] = "df135115-c769-11d0-8079-00c04fd7ec47";

typedef struct ASZByteRun* ASZString;

struct PSErrorSuite1 {
  SPErr (*SetErrorFromPString)(const unsigned char* errorString);
  SPErr (*SetErrorFromCString)(const char* errorString);
  SPErr (*SetErrorFromZString)(ASZString errorString);
};
static_assert(sizeof(PSErrorSuite1) == 24);

constexpr PIType kPhotoshopSignature = FourCC("8BIM");
constexpr PIType propWatchSuspension = FourCC("wtch");

typedef struct ActionDescriptor* PIActionDescriptor;
typedef struct ActionList* PIActionList;
typedef struct ActionReference* PIActionReference;

struct PSDescriptorRegistryProcs {
  SPErr (*Register)(const char* key, PIActionDescriptor descriptor, Boolean isPersistent);
  SPErr (*Erase)(const char* key);
  SPErr (*Get)(const char* key, PIActionDescriptor* descriptor);
};
static_assert(sizeof(PSDescriptorRegistryProcs) == 24);

struct PSActionDescriptorProcs {
  SPErr (*Make)(PIActionDescriptor* descriptor);
  SPErr (*Free)(PIActionDescriptor descriptor);
  SPErr (*GetType)(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID* type);
  SPErr (*GetKey)(PIActionDescriptor d, uint32 index, DescriptorKeyID* key);
  SPErr (*HasKey)(PIActionDescriptor d, DescriptorKeyID key, Boolean* hasKey);
  SPErr (*GetCount)(PIActionDescriptor d, uint32* count);
  SPErr (*IsEqual)(PIActionDescriptor d, PIActionDescriptor other, Boolean* isEqual);
  SPErr (*Erase)(PIActionDescriptor d, DescriptorKeyID key);
  SPErr (*Clear)(PIActionDescriptor d);
  SPErr (*PutInteger)(PIActionDescriptor d, DescriptorKeyID key, int32 value);
  SPErr (*PutFloat)(PIActionDescriptor d, DescriptorKeyID key, real64 value);
  SPErr (*PutUnitFloat)(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID unit, real64 value);
  SPErr (*PutString)(PIActionDescriptor d, DescriptorKeyID key, const char* value);
  SPErr (*PutBoolean)(PIActionDescriptor d, DescriptorKeyID key, Boolean value);
  SPErr (*PutList)(PIActionDescriptor d, DescriptorKeyID key, PIActionList value);
  SPErr (*PutObject)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID type, PIActionDescriptor value);
  SPErr (*PutGlobalObject)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID type,
                           PIActionDescriptor value);
  SPErr (*PutEnumerated)(PIActionDescriptor d, DescriptorKeyID key, DescriptorEnumTypeID type,
                         DescriptorEnumID value);
  SPErr (*PutReference)(PIActionDescriptor d, DescriptorKeyID key, PIActionReference value);
  SPErr (*PutClass)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID value);
  SPErr (*PutGlobalClass)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID value);
  SPErr (*PutAlias)(PIActionDescriptor d, DescriptorKeyID key, Handle value);
  SPErr (*GetInteger)(PIActionDescriptor d, DescriptorKeyID key, int32* value);
  SPErr (*GetFloat)(PIActionDescriptor d, DescriptorKeyID key, real64* value);
  SPErr (*GetUnitFloat)(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID* unit, real64* value);
  SPErr (*GetStringLength)(PIActionDescriptor d, DescriptorKeyID key, uint32* length);
  SPErr (*GetString)(PIActionDescriptor d, DescriptorKeyID key, char* value, uint32 maxLength);
  SPErr (*GetBoolean)(PIActionDescriptor d, DescriptorKeyID key, Boolean* value);
  SPErr (*GetList)(PIActionDescriptor d, DescriptorKeyID key, PIActionList* value);
  SPErr (*GetObject)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* type, PIActionDescriptor* value);
  SPErr (*GetGlobalObject)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* type,
                           PIActionDescriptor* value);
  SPErr (*GetEnumerated)(PIActionDescriptor d, DescriptorKeyID key, DescriptorEnumTypeID* type,
                         DescriptorEnumID* value);
  SPErr (*GetReference)(PIActionDescriptor d, DescriptorKeyID key, PIActionReference* value);
  SPErr (*GetClass)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* value);
  SPErr (*GetGlobalClass)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* value);
  SPErr (*GetAlias)(PIActionDescriptor d, DescriptorKeyID key, Handle* value);
  SPErr (*HasKeys)(PIActionDescriptor d, DescriptorKeyID* keys, Boolean* hasKeys);
  SPErr (*PutIntegers)(PIActionDescriptor d, DescriptorKeyID key, uint32 count, const int32* values);
  SPErr (*GetIntegers)(PIActionDescriptor d, DescriptorKeyID key, uint32 count, int32* values);
  SPErr (*AsHandle)(PIActionDescriptor d, Handle* value);
  SPErr (*HandleToDescriptor)(Handle value, PIActionDescriptor* d);
  SPErr (*PutZString)(PIActionDescriptor d, DescriptorKeyID key, ASZString value);
  SPErr (*GetZString)(PIActionDescriptor d, DescriptorKeyID key, ASZString* value);
  SPErr (*PutData)(PIActionDescriptor d, DescriptorKeyID key, int32 length, void* value);
  SPErr (*GetDataLength)(PIActionDescriptor d, DescriptorKeyID key, int32* length);
  SPErr (*GetData)(PIActionDescriptor d, DescriptorKeyID key, void* value);
  // Version 3 only.
  SPErr (*PutInteger64)(PIActionDescriptor d, DescriptorKeyID key, int64 value);
  SPErr (*GetInteger64)(PIActionDescriptor d, DescriptorKeyID key, int64* value);
};
static_assert(offsetof(PSActionDescriptorProcs, PutData) == 344 && offsetof(PSActionDescriptorProcs, GetData) == 360);
static_assert(sizeof(PSActionDescriptorProcs) == 48 * 8);
constexpr size_t kActionDescriptorSuiteV2Size = 46 * 8;
