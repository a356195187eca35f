// Reads a plug-in's registration record (the PIPL resource) the way hosts do.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct PiplProperty {
  uint32_t vendor;
  uint32_t key;
  int32_t id;
  std::vector<uint8_t> data;  // padded as stored
};

struct PiplRecord {
  std::vector<PiplProperty> properties;
  const PiplProperty* Find(uint32_t key) const;
  std::string EntryPoint() const;      // the '8664' string; empty if absent
  std::string EnableExpression() const;
  bool SupportsModeBit(int mode) const;  // the 'mode' flag set
  bool MaximumSize(int32_t* height, int32_t* width) const;
  // Input handling of a filter case (1..7); -1 without a 'fici' property.
  int InputHandling(int filterCase) const;
};

std::vector<uint8_t> LoadPiplBytes(HMODULE module, std::string* error);
bool ParsePipl(const std::vector<uint8_t>& bytes, PiplRecord* record, std::string* error);
