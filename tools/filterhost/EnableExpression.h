// Evaluates a plug-in's 'enbl' expression against a document, as hosts that honour it do.
#pragma once
#include <cstdint>
#include <string>

struct EnableContext {
  int32_t imageMode = 0;
  int32_t imageDepth = 8;
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  bool hasSelectionMask = false;
  bool hasTransparencyMask = false;
  int32_t numTargetChannels = 0;
};

// True when the expression enables the filter; an expression that cannot be parsed disables it
// and says why in *error.
bool EvaluateEnableExpression(const std::string& expression, const EnableContext& context, std::string* error);
