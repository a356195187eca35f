// A cache of GDI brushes keyed by their colour, so that painting in a scheme never creates a brush
// per message; every brush lives until the cache is destroyed or emptied.
#pragma once
#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

class CObjectCache {
 public:
  CObjectCache() = default;
  ~CObjectCache() { DeleteObjects(); }
  CObjectCache(const CObjectCache&) = delete;
  CObjectCache& operator=(const CObjectCache&) = delete;

  // Makes the object with this id current, creating it when it is not cached; null on failure.
  HGDIOBJ GetNewObject(uint32_t id);
  HGDIOBJ CurrentObject() const { return m_Current; }
  uint32_t CurrentId() const { return m_CurrentId; }
  size_t Count() const { return m_Objects.size(); }
  void DeleteObjects();

 private:
  std::vector<std::pair<HGDIOBJ, uint32_t>> m_Objects;
  HGDIOBJ m_Current = nullptr;
  uint32_t m_CurrentId = 0;
};
