// Keeps the user's stored colour scheme across a test that changes it.
#pragma once
#include <windows.h>

#include "ui/ColorScheme.h"

// Saves the user's stored scheme and puts it back, so that a test leaves the registry as found.
class StoredSchemeGuard {
 public:
  StoredSchemeGuard() {
    HKEY key = nullptr;
    m_KeyExisted = RegOpenKeyExW(HKEY_CURRENT_USER, kUIOptionsKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key != nullptr) RegCloseKey(key);
    DWORD size = sizeof m_Value;
    m_Had = RegGetValueW(HKEY_CURRENT_USER, kUIOptionsKey, kColorSchemeValue, RRF_RT_REG_DWORD, nullptr, &m_Value, &size) ==
            ERROR_SUCCESS;
  }
  ~StoredSchemeGuard() {
    if (m_Had) {
      SaveColorScheme(m_Value);
    } else if (!m_KeyExisted) {
      RegDeleteKeyW(HKEY_CURRENT_USER, kUIOptionsKey);
    } else {
      HKEY key = nullptr;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, kUIOptionsKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, kColorSchemeValue);
        RegCloseKey(key);
      }
    }
    ApplyColorScheme(COLORSCHEME_DARK);
  }

 private:
  DWORD m_Value = 0;
  bool m_Had = false;
  bool m_KeyExisted = false;
};
