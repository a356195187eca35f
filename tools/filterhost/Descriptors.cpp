// Descriptors with the semantics a plug-in relies on: keys are delivered in the order they were
// written, each value is read with the procedure of its type (a mismatch is an error), and the
// write token becomes a new handle only when it is closed.
#include "Descriptors.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "HostHandleSuite.h"

namespace {

constexpr OSErr kWrongType = -1715;  // errMissingParameter: no value of the asked type here

struct ReadToken {
  Descriptor items;
  size_t next = 0;                  // the item that getKey delivers next
  const DescriptorItem* current = nullptr;  // the item that getKey delivered last
  OSErr error = noErr;              // the first failure, reported again by close
};

struct WriteToken {
  Descriptor items;
};

ReadToken* Reader(PIReadDescriptor token) { return reinterpret_cast<ReadToken*>(token); }
WriteToken* Writer(PIWriteDescriptor token) { return reinterpret_cast<WriteToken*>(token); }

// The current item when it has the type asked for; otherwise the failure is noted.
const DescriptorItem* Current(PIReadDescriptor token, DescriptorTypeID type, DescriptorTypeID alternative = 0) {
  ReadToken* reader = Reader(token);
  if (reader == nullptr) return nullptr;
  const DescriptorItem* item = reader->current;
  if (item == nullptr || (item->type != type && item->type != alternative)) {
    if (reader->error == noErr) reader->error = kWrongType;
    return nullptr;
  }
  return item;
}

PIReadDescriptor OpenRead(Handle descriptor, DescriptorKeyID* /*keys*/) {
  auto* reader = new ReadToken;
  if (!DescriptorOfHandle(descriptor, &reader->items)) {
    delete reader;
    return nullptr;
  }
  return reinterpret_cast<PIReadDescriptor>(reader);
}

OSErr CloseRead(PIReadDescriptor token) {
  ReadToken* reader = Reader(token);
  if (reader == nullptr) return paramErr;
  OSErr error = reader->error;
  delete reader;
  return error;
}

Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32* flags) {
  ReadToken* reader = Reader(token);
  if (reader == nullptr || reader->next >= reader->items.size()) return 0;
  const DescriptorItem& item = reader->items[reader->next++];
  reader->current = &item;
  if (key != nullptr) *key = item.key;
  if (type != nullptr) *type = item.type;
  if (flags != nullptr) *flags = item.type == typeEnumerated ? actionEnumeratedParameter : actionSimpleParameter;
  return 1;
}

OSErr GetInteger(PIReadDescriptor token, int32* value) {
  const DescriptorItem* item = Current(token, typeInteger);
  if (item == nullptr) return kWrongType;
  *value = int32(item->integer);
  return noErr;
}

OSErr GetFloat(PIReadDescriptor token, real64* value) {
  const DescriptorItem* item = Current(token, typeFloat);
  if (item == nullptr) return kWrongType;
  *value = item->number;
  return noErr;
}

OSErr GetUnitFloat(PIReadDescriptor token, DescriptorUnitID* unit, real64* value) {
  const DescriptorItem* item = Current(token, typeUnitFloat);
  if (item == nullptr) return kWrongType;
  if (unit != nullptr) *unit = item->qualifier;
  *value = item->number;
  return noErr;
}

OSErr GetBoolean(PIReadDescriptor token, Boolean* value) {
  const DescriptorItem* item = Current(token, typeBoolean);
  if (item == nullptr) return kWrongType;
  *value = item->integer != 0 ? 1 : 0;
  return noErr;
}

OSErr GetEnumerated(PIReadDescriptor token, DescriptorEnumID* value) {
  const DescriptorItem* item = Current(token, typeEnumerated);
  if (item == nullptr) return kWrongType;
  *value = DescriptorEnumID(item->integer);
  return noErr;
}

OSErr GetPinnedInteger(PIReadDescriptor token, int32 minimum, int32 maximum, int32* value) {
  OSErr error = GetInteger(token, value);
  if (error == noErr) *value = *value < minimum ? minimum : *value > maximum ? maximum : *value;
  return error;
}

OSErr GetPinnedFloat(PIReadDescriptor token, const real64* minimum, const real64* maximum, real64* value) {
  OSErr error = GetFloat(token, value);
  if (error == noErr) *value = std::fmin(std::fmax(*value, *minimum), *maximum);
  return error;
}

OSErr GetPinnedUnitFloat(PIReadDescriptor token, const real64* minimum, const real64* maximum, DescriptorUnitID* unit, real64* value) {
  OSErr error = GetUnitFloat(token, unit, value);
  if (error == noErr) *value = std::fmin(std::fmax(*value, *minimum), *maximum);
  return error;
}

// Types this host does not carry in its descriptors: the read fails as a type mismatch.
OSErr Unsupported(PIReadDescriptor token) {
  Current(token, 0);
  return kWrongType;
}
OSErr GetUnsupportedHandle(PIReadDescriptor token, Handle*) { return Unsupported(token); }
OSErr GetUnsupportedType(PIReadDescriptor token, DescriptorTypeID*) { return Unsupported(token); }
OSErr GetUnsupportedReference(PIReadDescriptor token, PIDescriptorSimpleReference*) { return Unsupported(token); }
OSErr GetUnsupportedObject(PIReadDescriptor token, DescriptorTypeID*, Handle*) { return Unsupported(token); }
OSErr GetUnsupportedCount(PIReadDescriptor token, uint32*) { return Unsupported(token); }
OSErr GetUnsupportedString(PIReadDescriptor token, Str255*) { return Unsupported(token); }

PIWriteDescriptor OpenWrite() { return reinterpret_cast<PIWriteDescriptor>(new WriteToken); }

OSErr CloseWrite(PIWriteDescriptor token, Handle* descriptor) {
  WriteToken* writer = Writer(token);
  if (writer == nullptr || descriptor == nullptr) return paramErr;
  *descriptor = NewDescriptorHandle(writer->items);
  delete writer;
  return *descriptor != nullptr ? noErr : memFullErr;
}

OSErr Put(PIWriteDescriptor token, DescriptorItem item) {
  WriteToken* writer = Writer(token);
  if (writer == nullptr) return paramErr;
  PutDescriptorItem(&writer->items, item);
  return noErr;
}

OSErr PutInteger(PIWriteDescriptor token, DescriptorKeyID key, int32 value) {
  DescriptorItem item;
  item.key = key, item.type = typeInteger, item.integer = value;
  return Put(token, item);
}

OSErr PutFloat(PIWriteDescriptor token, DescriptorKeyID key, const real64* value) {
  DescriptorItem item;
  item.key = key, item.type = typeFloat, item.number = *value;
  return Put(token, item);
}

OSErr PutUnitFloat(PIWriteDescriptor token, DescriptorKeyID key, DescriptorUnitID unit, const real64* value) {
  DescriptorItem item;
  item.key = key, item.type = typeUnitFloat, item.qualifier = unit, item.number = *value;
  return Put(token, item);
}

OSErr PutBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean value) {
  DescriptorItem item;
  item.key = key, item.type = typeBoolean, item.integer = value != 0 ? 1 : 0;
  return Put(token, item);
}

OSErr PutEnumerated(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type, DescriptorEnumID value) {
  DescriptorItem item;
  item.key = key, item.type = typeEnumerated, item.qualifier = type, item.integer = value;
  return Put(token, item);
}

OSErr PutUnsupportedHandle(PIWriteDescriptor, DescriptorKeyID, Handle) { return errPlugInHostInsufficient; }
OSErr PutUnsupportedType(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID) { return errPlugInHostInsufficient; }
OSErr PutUnsupportedReference(PIWriteDescriptor, DescriptorKeyID, const PIDescriptorSimpleReference*) { return errPlugInHostInsufficient; }
OSErr PutUnsupportedObject(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID, Handle) { return errPlugInHostInsufficient; }
OSErr PutUnsupportedCount(PIWriteDescriptor, DescriptorKeyID, uint32) { return errPlugInHostInsufficient; }
OSErr PutUnsupportedString(PIWriteDescriptor, DescriptorKeyID, ConstStr255Param) { return errPlugInHostInsufficient; }

ReadDescriptorProcs gReadProcs = {0,
                                  18,
                                  OpenRead,
                                  CloseRead,
                                  GetKey,
                                  GetInteger,
                                  GetFloat,
                                  GetUnitFloat,
                                  GetBoolean,
                                  GetUnsupportedHandle,
                                  GetUnsupportedHandle,
                                  GetEnumerated,
                                  GetUnsupportedType,
                                  GetUnsupportedReference,
                                  GetUnsupportedObject,
                                  GetUnsupportedCount,
                                  GetUnsupportedString,
                                  GetPinnedInteger,
                                  GetPinnedFloat,
                                  GetPinnedUnitFloat};

WriteDescriptorProcs gWriteProcs = {0,
                                    16,
                                    OpenWrite,
                                    CloseWrite,
                                    PutInteger,
                                    PutFloat,
                                    PutUnitFloat,
                                    PutBoolean,
                                    PutUnsupportedHandle,
                                    PutUnsupportedHandle,
                                    PutEnumerated,
                                    PutUnsupportedType,
                                    PutUnsupportedReference,
                                    PutUnsupportedObject,
                                    PutUnsupportedCount,
                                    PutUnsupportedString,
                                    PutUnsupportedType,
                                    PutUnsupportedObject};

std::string Hex(const std::vector<uint8_t>& data) {
  std::string text;
  char pair[3];
  for (uint8_t byte : data) {
    snprintf(pair, sizeof pair, "%02x", byte);
    text += pair;
  }
  return text;
}

bool Unhex(const std::string& text, std::vector<uint8_t>* data) {
  if (text.size() % 2 != 0) return false;
  data->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    char* end = nullptr;
    std::string pair = text.substr(i, 2);
    long value = strtol(pair.c_str(), &end, 16);
    if (end != pair.c_str() + 2) return false;
    data->push_back(uint8_t(value));
  }
  return true;
}

// Whole numbers as integers, others as the shortest text that reads back as the same double.
std::string Number(double value) {
  char text[40];
  if (value == std::trunc(value) && std::fabs(value) < 1e15) {
    snprintf(text, sizeof text, "%.0f", value);
    return text;
  }
  for (int digits = 1; digits <= 17; ++digits) {
    snprintf(text, sizeof text, "%.*g", digits, value);
    if (strtod(text, nullptr) == value) break;
  }
  return text;
}

}  // namespace

std::string FourCCText(uint32_t code) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[size_t(i)] = char(code >> (24 - 8 * i));
  return text;
}

bool ParseFourCC(const std::string& text, uint32_t* code) {
  if (text.size() != 4) return false;
  *code = 0;
  for (char c : text) *code = *code << 8 | uint8_t(c);
  return true;
}

std::string FormatDescriptor(const Descriptor& descriptor) {
  std::string text;
  for (const DescriptorItem& item : descriptor) {
    text += FourCCText(item.key) + " " + FourCCText(item.type) + " ";
    switch (item.type) {
      case typeUnitFloat: text += FourCCText(item.qualifier) + " " + Number(item.number); break;
      case typeFloat: text += Number(item.number); break;
      case typeEnumerated: text += FourCCText(item.qualifier) + " " + FourCCText(uint32_t(item.integer)); break;
      case typeRawData: text += Hex(item.data); break;
      default: text += std::to_string(item.integer); break;
    }
    text += "\n";
  }
  return text;
}

bool ParseDescriptor(const std::string& text, Descriptor* descriptor, std::string* error) {
  descriptor->clear();
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
    std::istringstream words(line);
    std::string key, type, first, second;
    words >> key >> type >> first >> second;
    DescriptorItem item;
    bool valid = ParseFourCC(key, &item.key) && ParseFourCC(type, &item.type) && !first.empty();
    char* end = nullptr;
    if (valid) {
      switch (item.type) {
        case typeUnitFloat:
          valid = ParseFourCC(first, &item.qualifier) && !second.empty();
          item.number = valid ? strtod(second.c_str(), &end) : 0;
          valid = valid && *end == '\0' && std::isfinite(item.number);
          break;
        case typeFloat:
          item.number = strtod(first.c_str(), &end);
          valid = *end == '\0' && std::isfinite(item.number);
          break;
        case typeEnumerated: {
          uint32_t code = 0;
          valid = ParseFourCC(first, &item.qualifier) && ParseFourCC(second, &code);
          item.integer = code;
          break;
        }
        case typeRawData:
          valid = Unhex(first, &item.data);
          break;
        case typeInteger:
        case typeLargeInteger:
        case typeBoolean:
          item.integer = strtoll(first.c_str(), &end, 10);
          valid = *end == '\0' && (item.type != typeBoolean || item.integer == 0 || item.integer == 1);
          break;
        default:
          valid = false;
          break;
      }
    }
    if (!valid) {
      *error = "line " + std::to_string(number) + " is not `KEY TYPE VALUE` of a known type: " + line;
      return false;
    }
    PutDescriptorItem(descriptor, item);
  }
  return true;
}

void PutDescriptorItem(Descriptor* descriptor, const DescriptorItem& item) {
  for (DescriptorItem& existing : *descriptor) {
    if (existing.key == item.key) {
      existing = item;
      return;
    }
  }
  descriptor->push_back(item);
}

const DescriptorItem* FindDescriptorItem(const Descriptor& descriptor, DescriptorKeyID key) {
  for (const DescriptorItem& item : descriptor) {
    if (item.key == key) return &item;
  }
  return nullptr;
}

DescriptorItem DescriptorItemOfSetting(const ParameterSetting& setting) {
  DescriptorItem item;
  item.key = setting.key;
  switch (setting.kind) {
    case VALUE_BOOLEAN: item.type = typeBoolean, item.integer = setting.value != 0 ? 1 : 0; break;
    case VALUE_EFFECT: item.type = typeEnumerated, item.qualifier = FourCC("efTy"), item.integer = int64_t(uint32_t(setting.value)); break;
    case VALUE_LONG: item.type = typeInteger, item.integer = int64_t(std::trunc(setting.value)); break;
    default: item.type = typeUnitFloat, item.qualifier = setting.kind == VALUE_DEGREES ? unitAngle : unitPercent, item.number = setting.value; break;
  }
  return item;
}

Handle NewDescriptorHandle(const Descriptor& descriptor) {
  std::string text = FormatDescriptor(descriptor);
  HandleProcs* procs = GetHostHandleProcs();
  Handle handle = procs->newProc(int32(text.size()));
  if (handle != nullptr && !text.empty()) memcpy(*handle, text.data(), text.size());
  return handle;
}

bool DescriptorOfHandle(Handle handle, Descriptor* descriptor) {
  if (handle == nullptr || !IsLiveHandle(handle)) return false;
  std::string text(*handle, size_t(SizeOfHandle(handle)));
  std::string error;
  return ParseDescriptor(text, descriptor, &error);
}

bool ReadTextFile(const std::wstring& path, std::string* text) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return false;
  text->clear();
  char buffer[4096];
  size_t read;
  while ((read = fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, read);
  bool ok = ferror(file) == 0;
  fclose(file);
  return ok;
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  bool ok = fwrite(text.data(), 1, text.size(), file) == text.size();
  return fclose(file) == 0 && ok;
}

ReadDescriptorProcs* HostReadDescriptorProcs() { return &gReadProcs; }
WriteDescriptorProcs* HostWriteDescriptorProcs() { return &gWriteProcs; }
