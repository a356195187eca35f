// Action descriptors are heap Descriptors; the registry hands out copies, which the plug-in frees.
#include "ActionSuites.h"

#include <windows.h>
#undef GetObject

#include <cstdio>
#include <cstring>
#include <map>

namespace {

ActionSuiteSettings gSettings;
std::map<std::string, Descriptor> gRegistry;

Descriptor* Of(PIActionDescriptor d) { return reinterpret_cast<Descriptor*>(d); }
PIActionDescriptor Handed(Descriptor* d) { return reinterpret_cast<PIActionDescriptor>(d); }

std::wstring EntryPath(const std::string& key) {
  return gSettings.profileFolder + L"\\" + std::wstring(key.begin(), key.end()) + L".descriptor";
}

void LoadProfile() {
  gRegistry.clear();
  if (gSettings.profileFolder.empty()) return;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((gSettings.profileFolder + L"\\*.descriptor").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = found.cFileName;
    std::string key(name.begin(), name.end() - 11);
    std::string text, error;
    Descriptor descriptor;
    if (ReadTextFile(gSettings.profileFolder + L"\\" + name, &text) && ParseDescriptor(text, &descriptor, &error)) gRegistry[key] = descriptor;
    else fprintf(stderr, "filterhost: the registry entry '%s' of the profile is damaged: %s\n", key.c_str(), error.c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

bool SaveEntry(const std::string& key, const Descriptor& descriptor) {
  if (gSettings.profileFolder.empty()) return true;
  CreateDirectoryW(gSettings.profileFolder.c_str(), nullptr);
  return WriteTextFile(EntryPath(key), FormatDescriptor(descriptor));
}

// Descriptor registry, version 1.
SPErr Register(const char* key, PIActionDescriptor descriptor, Boolean persistent) {
  if (key == nullptr || descriptor == nullptr) return kSPBadParameterError;
  gRegistry[key] = *Of(descriptor);
  return persistent && !SaveEntry(key, *Of(descriptor)) ? SPErr(-36) : kSPNoError;
}

SPErr Erase(const char* key) {
  if (key == nullptr) return kSPBadParameterError;
  gRegistry.erase(key);
  if (!gSettings.profileFolder.empty()) DeleteFileW(EntryPath(key).c_str());
  return kSPNoError;
}

SPErr GetEntry(const char* key, PIActionDescriptor* descriptor) {
  if (key == nullptr || descriptor == nullptr) return kSPBadParameterError;
  auto entry = gRegistry.find(key);
  *descriptor = entry == gRegistry.end() ? nullptr : Handed(new Descriptor(entry->second));
  return kSPNoError;
}

PSDescriptorRegistryProcs gRegistryProcs = {Register, Erase, GetEntry};

// Action descriptor suite: what plug-ins use to fill and read registry entries.
constexpr SPErr kNoKey = -1715;

const DescriptorItem* Item(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID type) {
  if (d == nullptr) return nullptr;
  const DescriptorItem* item = FindDescriptorItem(*Of(d), key);
  return item != nullptr && item->type == type ? item : nullptr;
}

SPErr Put(PIActionDescriptor d, DescriptorItem item) {
  if (d == nullptr) return kSPBadParameterError;
  PutDescriptorItem(Of(d), item);
  return kSPNoError;
}

SPErr Make(PIActionDescriptor* d) {
  if (d == nullptr) return kSPBadParameterError;
  *d = Handed(new Descriptor);
  return kSPNoError;
}
SPErr Free(PIActionDescriptor d) {
  delete Of(d);
  return kSPNoError;
}
SPErr GetType(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID* type) {
  const DescriptorItem* item = d != nullptr ? FindDescriptorItem(*Of(d), key) : nullptr;
  if (item == nullptr) return kNoKey;
  *type = item->type;
  return kSPNoError;
}
SPErr GetKey(PIActionDescriptor d, uint32 index, DescriptorKeyID* key) {
  if (d == nullptr || index >= Of(d)->size()) return kSPBadParameterError;
  *key = (*Of(d))[index].key;
  return kSPNoError;
}
SPErr HasKey(PIActionDescriptor d, DescriptorKeyID key, Boolean* has) {
  *has = d != nullptr && FindDescriptorItem(*Of(d), key) != nullptr;
  return kSPNoError;
}
SPErr GetCount(PIActionDescriptor d, uint32* count) {
  *count = d != nullptr ? uint32(Of(d)->size()) : 0;
  return kSPNoError;
}
SPErr EraseKey(PIActionDescriptor d, DescriptorKeyID key) {
  if (d == nullptr) return kSPBadParameterError;
  Descriptor& items = *Of(d);
  for (auto i = items.begin(); i != items.end(); ++i) {
    if (i->key == key) {
      items.erase(i);
      return kSPNoError;
    }
  }
  return kNoKey;
}
SPErr Clear(PIActionDescriptor d) {
  if (d == nullptr) return kSPBadParameterError;
  Of(d)->clear();
  return kSPNoError;
}
DescriptorItem ItemOf(DescriptorKeyID key, DescriptorTypeID type, uint32_t qualifier = 0) {
  DescriptorItem item;
  item.key = key, item.type = type, item.qualifier = qualifier;
  return item;
}

SPErr PutInteger(PIActionDescriptor d, DescriptorKeyID key, int32 value) {
  DescriptorItem item = ItemOf(key, typeInteger);
  item.integer = value;
  return Put(d, item);
}
SPErr PutFloat(PIActionDescriptor d, DescriptorKeyID key, real64 value) {
  DescriptorItem item = ItemOf(key, typeFloat);
  item.number = value;
  return Put(d, item);
}
SPErr PutUnitFloat(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID unit, real64 value) {
  DescriptorItem item = ItemOf(key, typeUnitFloat, unit);
  item.number = value;
  return Put(d, item);
}
SPErr PutBoolean(PIActionDescriptor d, DescriptorKeyID key, Boolean value) {
  DescriptorItem item = ItemOf(key, typeBoolean);
  item.integer = value != 0;
  return Put(d, item);
}
SPErr PutEnumerated(PIActionDescriptor d, DescriptorKeyID key, DescriptorEnumTypeID type, DescriptorEnumID value) {
  DescriptorItem item = ItemOf(key, typeEnumerated, type);
  item.integer = value;
  return Put(d, item);
}
SPErr PutData(PIActionDescriptor d, DescriptorKeyID key, int32 length, void* value) {
  if (length < 0 || (length > 0 && value == nullptr)) return kSPBadParameterError;
  DescriptorItem item = ItemOf(key, typeRawData);
  item.data.assign(static_cast<uint8_t*>(value), static_cast<uint8_t*>(value) + length);
  return Put(d, item);
}
SPErr PutInteger64(PIActionDescriptor d, DescriptorKeyID key, int64 value) {
  DescriptorItem item = ItemOf(key, typeLargeInteger);
  item.integer = value;
  return Put(d, item);
}

// Hands the item of the key to the reader when it has the type asked for.
template <typename Reader>
SPErr Get(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID type, Reader read) {
  const DescriptorItem* item = Item(d, key, type);
  if (item == nullptr) return kNoKey;
  read(*item);
  return kSPNoError;
}

SPErr GetInteger(PIActionDescriptor d, DescriptorKeyID key, int32* value) {
  return Get(d, key, typeInteger, [value](const DescriptorItem& item) { *value = int32(item.integer); });
}
SPErr GetFloat(PIActionDescriptor d, DescriptorKeyID key, real64* value) {
  return Get(d, key, typeFloat, [value](const DescriptorItem& item) { *value = item.number; });
}
SPErr GetUnitFloat(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID* unit, real64* value) {
  return Get(d, key, typeUnitFloat, [unit, value](const DescriptorItem& item) { *unit = item.qualifier, *value = item.number; });
}
SPErr GetBoolean(PIActionDescriptor d, DescriptorKeyID key, Boolean* value) {
  return Get(d, key, typeBoolean, [value](const DescriptorItem& item) { *value = item.integer != 0; });
}
SPErr GetEnumerated(PIActionDescriptor d, DescriptorKeyID key, DescriptorEnumTypeID* type, DescriptorEnumID* value) {
  return Get(d, key, typeEnumerated,
             [type, value](const DescriptorItem& item) { *type = item.qualifier, *value = DescriptorEnumID(item.integer); });
}
SPErr GetDataLength(PIActionDescriptor d, DescriptorKeyID key, int32* length) {
  return Get(d, key, typeRawData, [length](const DescriptorItem& item) { *length = int32(item.data.size()); });
}
SPErr GetData(PIActionDescriptor d, DescriptorKeyID key, void* value) {
  return Get(d, key, typeRawData, [value](const DescriptorItem& item) {
    if (!item.data.empty()) memcpy(value, item.data.data(), item.data.size());
  });
}
SPErr GetInteger64(PIActionDescriptor d, DescriptorKeyID key, int64* value) {
  return Get(d, key, typeLargeInteger, [value](const DescriptorItem& item) { *value = item.integer; });
}

// Procedures for values this host does not keep in descriptors.
template <typename... Args>
SPErr Unimplemented(Args...) {
  return kSPUnimplementedError;
}

PSActionDescriptorProcs MakeActionDescriptorProcs() {
  PSActionDescriptorProcs p{};
  p.Make = Make, p.Free = Free, p.GetType = GetType, p.GetKey = GetKey, p.HasKey = HasKey, p.GetCount = GetCount;
  p.IsEqual = Unimplemented, p.Erase = EraseKey, p.Clear = Clear;
  p.PutInteger = PutInteger, p.PutFloat = PutFloat, p.PutUnitFloat = PutUnitFloat, p.PutString = Unimplemented;
  p.PutBoolean = PutBoolean, p.PutList = Unimplemented, p.PutObject = Unimplemented, p.PutGlobalObject = Unimplemented;
  p.PutEnumerated = PutEnumerated, p.PutReference = Unimplemented, p.PutClass = Unimplemented;
  p.PutGlobalClass = Unimplemented, p.PutAlias = Unimplemented;
  p.GetInteger = GetInteger, p.GetFloat = GetFloat, p.GetUnitFloat = GetUnitFloat, p.GetStringLength = Unimplemented;
  p.GetString = Unimplemented, p.GetBoolean = GetBoolean, p.GetList = Unimplemented, p.GetObject = Unimplemented;
  p.GetGlobalObject = Unimplemented, p.GetEnumerated = GetEnumerated, p.GetReference = Unimplemented;
  p.GetClass = Unimplemented, p.GetGlobalClass = Unimplemented, p.GetAlias = Unimplemented, p.HasKeys = Unimplemented;
  p.PutIntegers = Unimplemented, p.GetIntegers = Unimplemented, p.AsHandle = Unimplemented;
  p.HandleToDescriptor = Unimplemented, p.PutZString = Unimplemented, p.GetZString = Unimplemented;
  p.PutData = PutData, p.GetDataLength = GetDataLength, p.GetData = GetData;
  p.PutInteger64 = PutInteger64, p.GetInteger64 = GetInteger64;
  return p;
}

PSActionDescriptorProcs gActionDescriptorProcs = MakeActionDescriptorProcs();

}  // namespace

void StartActionSuites(const ActionSuiteSettings& settings) {
  gSettings = settings;
  LoadProfile();
}

const ActionSuiteSettings& GetActionSuiteSettings() { return gSettings; }

const void* AcquireActionSuite(const char* name, int32 version) {
  if (strcmp(name, kPSDescriptorRegistrySuite) == 0) return gSettings.offerRegistry && version == 1 ? &gRegistryProcs : nullptr;
  if (strcmp(name, kPSActionDescriptorSuite) == 0) {
    // Version 2 is version 3 without its last two procedures.
    bool granted = (version == 2 || version == 3) && version <= gSettings.actionDescriptorVersions;
    return granted ? &gActionDescriptorProcs : nullptr;
  }
  return nullptr;
}

const Descriptor* RegistryEntry(const std::string& key) {
  auto entry = gRegistry.find(key);
  return entry == gRegistry.end() ? nullptr : &entry->second;
}
