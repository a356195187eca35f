// The last parameters in the host's descriptor registry, under the filter's scope identifier:
// persistent across host sessions, read at every start and written at every finish.
#pragma once
#include <cstdint>

constexpr char kRegistryKey[] = "734294A4-1CE5-49C7-A3A4-39D01A5DBEF2";
constexpr int16_t kRegistryVersionIncompatible = -30905;

// 0 when a record was restored, -30900 when there is none to read, -30905 when the stored
// version can be neither used nor converted.
int16_t ReadRegistryParameters();
// 0, or -30900 when the host offers no registry or the entry could not be registered.
int16_t WriteRegistryParameters();
