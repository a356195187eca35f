// Scripting descriptors of the reference host: ordered keys with typed values, their plain-text
// form (one key a line: `KEY TYPE VALUE`, e.g. `Intn UntF #Prc 80`, `stEf enum efTy efT1`,
// `opsO bool 0`), and the read and write procedures that the filter record offers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "PIActions.h"
#include "ParameterSettings.h"

constexpr DescriptorTypeID typeRawData = FourCC("tdta");
constexpr DescriptorTypeID typeLargeInteger = FourCC("comp");

struct DescriptorItem {
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;  // 'long', 'comp', 'doub', 'UntF', 'bool', 'enum', 'tdta'
  uint32_t qualifier = 0;     // the unit of 'UntF', the enumeration type of 'enum'
  double number = 0;          // 'doub' and 'UntF'
  int64_t integer = 0;        // 'long', 'comp', 'bool', and the code of 'enum'
  std::vector<uint8_t> data;  // 'tdta'
};
typedef std::vector<DescriptorItem> Descriptor;

std::string FourCCText(uint32_t code);
bool ParseFourCC(const std::string& text, uint32_t* code);

std::string FormatDescriptor(const Descriptor& descriptor);
// False with *error naming the line for a malformed line or an unknown type.
bool ParseDescriptor(const std::string& text, Descriptor* descriptor, std::string* error);

// Puts an item, replacing one with the same key in place (a descriptor holds a key once).
void PutDescriptorItem(Descriptor* descriptor, const DescriptorItem& item);
const DescriptorItem* FindDescriptorItem(const Descriptor& descriptor, DescriptorKeyID key);

// The descriptor of `--set` values, typed as the filter's terminology types them.
DescriptorItem DescriptorItemOfSetting(const ParameterSetting& setting);

// The host's descriptor handles hold the text form.
Handle NewDescriptorHandle(const Descriptor& descriptor);
bool DescriptorOfHandle(Handle handle, Descriptor* descriptor);

// Whole text files by wide path (recordings, registry entries).
bool ReadTextFile(const std::wstring& path, std::string* text);
bool WriteTextFile(const std::wstring& path, const std::string& text);

ReadDescriptorProcs* HostReadDescriptorProcs();
WriteDescriptorProcs* HostWriteDescriptorProcs();
