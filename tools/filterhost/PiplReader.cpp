// Parses the PIPL resource: a 10-byte header, then properties whose lengths are already padded
// to four bytes. A length that runs past the resource is refused rather than followed.
#include "PiplReader.h"

#include <cstring>

#include "PITypes.h"

namespace {

template <typename T>
T ReadAt(const std::vector<uint8_t>& bytes, size_t offset) {
  T value;
  memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

std::string CString(const std::vector<uint8_t>& data) {
  size_t end = 0;
  while (end < data.size() && data[end] != 0) ++end;
  return std::string(reinterpret_cast<const char*>(data.data()), end);
}

}  // namespace

const PiplProperty* PiplRecord::Find(uint32_t key) const {
  for (const PiplProperty& property : properties) {
    if (property.vendor == FourCC("8BIM") && property.key == key) return &property;
  }
  return nullptr;
}

std::string PiplRecord::EntryPoint() const {
  const PiplProperty* entry = Find(FourCC("8664"));
  return entry != nullptr ? CString(entry->data) : std::string();
}

std::string PiplRecord::EnableExpression() const {
  const PiplProperty* enable = Find(FourCC("enbl"));
  return enable != nullptr ? CString(enable->data) : std::string();
}

bool PiplRecord::SupportsModeBit(int mode) const {
  const PiplProperty* modes = Find(FourCC("mode"));
  if (modes == nullptr || mode < 0 || size_t(mode / 8) >= modes->data.size()) return false;
  return (modes->data[size_t(mode / 8)] & (0x80 >> (mode % 8))) != 0;
}

bool PiplRecord::MaximumSize(int32_t* height, int32_t* width) const {
  const PiplProperty* size = Find(FourCC("ms32"));
  if (size == nullptr || size->data.size() < 8) return false;
  *height = ReadAt<int32_t>(size->data, 0);
  *width = ReadAt<int32_t>(size->data, 4);
  return true;
}

int PiplRecord::InputHandling(int filterCase) const {
  const PiplProperty* cases = Find(FourCC("fici"));
  if (cases == nullptr || filterCase < 1 || size_t(filterCase * 4) > cases->data.size()) return -1;
  return cases->data[size_t(filterCase - 1) * 4];
}

std::vector<uint8_t> LoadPiplBytes(HMODULE module, std::string* error) {
  HRSRC resource = nullptr;
  EnumResourceNamesW(
      module, L"PIPL",
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
        *reinterpret_cast<LPCWSTR*>(found) = name;
        return FALSE;
      },
      reinterpret_cast<LONG_PTR>(&resource));
  // The callback stored the name; find the resource by it (ids arrive as integer names).
  LPCWSTR name = reinterpret_cast<LPCWSTR>(resource);
  resource = name != nullptr ? FindResourceW(module, name, L"PIPL") : nullptr;
  if (resource == nullptr) {
    *error = "the module has no PIPL resource";
    return {};
  }
  HGLOBAL loaded = LoadResource(module, resource);
  const auto* bytes = static_cast<const uint8_t*>(loaded != nullptr ? LockResource(loaded) : nullptr);
  DWORD size = SizeofResource(module, resource);
  if (bytes == nullptr || size == 0) {
    *error = "the PIPL resource cannot be loaded";
    return {};
  }
  return std::vector<uint8_t>(bytes, bytes + size);
}

bool ParsePipl(const std::vector<uint8_t>& bytes, PiplRecord* record, std::string* error) {
  record->properties.clear();
  if (bytes.size() < 10 || ReadAt<int16_t>(bytes, 0) != 1 || ReadAt<int32_t>(bytes, 2) != 0) {
    *error = "the PIPL header is not version 0";
    return false;
  }
  int32_t count = ReadAt<int32_t>(bytes, 6);
  size_t offset = 10;
  for (int32_t i = 0; i < count; ++i) {
    if (offset + 16 > bytes.size()) {
      *error = "the PIPL property list ends early";
      return false;
    }
    PiplProperty property;
    property.vendor = ReadAt<uint32_t>(bytes, offset);
    property.key = ReadAt<uint32_t>(bytes, offset + 4);
    property.id = ReadAt<int32_t>(bytes, offset + 8);
    int32_t length = ReadAt<int32_t>(bytes, offset + 12);
    offset += 16;
    if (length < 0 || offset + size_t(length) > bytes.size()) {
      *error = "a PIPL property runs past the end of the resource";
      return false;
    }
    property.data.assign(bytes.begin() + long(offset), bytes.begin() + long(offset) + length);
    offset += size_t(length);
    record->properties.push_back(std::move(property));
  }
  return true;
}
