// Brushes created on first use and found again by colour.
#include "ui/ObjectCache.h"

#include "support/ErrorReport.h"

HGDIOBJ CObjectCache::GetNewObject(uint32_t id) {
  for (const auto& entry : m_Objects) {
    if (entry.second == id) {
      m_Current = entry.first;
      m_CurrentId = id;
      return m_Current;
    }
  }
  HGDIOBJ created = CreateSolidBrush(COLORREF(id));
  if (created == nullptr) {
    ErrorReport(__LINE__, SystemError, GetLastError())
        .Report(kStyleError, kTitleUnexpectedError,
                "Failed to find in cache or create an object for object ID %X in CObjectCache::GetNewObject : ", id);
    return nullptr;
  }
  m_Objects.emplace_back(created, id);
  m_Current = created;
  m_CurrentId = id;
  return created;
}

void CObjectCache::DeleteObjects() {
  for (const auto& entry : m_Objects) DeleteObject(entry.first);
  m_Objects.clear();
  m_Current = nullptr;
  m_CurrentId = 0;
}
