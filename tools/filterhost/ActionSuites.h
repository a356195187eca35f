// The descriptor registry and action descriptor suites of the reference host. Entries registered
// as persistent are kept as text files in the profile folder, one per key, so that they outlive
// the host process as a real host keeps them across sessions.
#pragma once
#include <string>

#include "Descriptors.h"
#include "PISuites.h"

struct ActionSuiteSettings {
  bool offerRegistry = true;
  int actionDescriptorVersions = 3;  // the highest version granted (2 or 3); 0 offers none
  std::wstring profileFolder;        // empty: persistent entries live as long as the process
};

// Loads the persistent entries of the profile folder, forgetting those of a previous session.
void StartActionSuites(const ActionSuiteSettings& settings);
const ActionSuiteSettings& GetActionSuiteSettings();

// The suite for AcquireSuite, or null when this host does not grant it in that version.
const void* AcquireActionSuite(const char* name, int32 version);

// For tests and the console: the registry's entry of a key (null when there is none).
const Descriptor* RegistryEntry(const std::string& key);
