// A small recursive-descent evaluator for enable expressions: integers, the PSHOP_ variables,
// the image mode names, in(), min(), max(), comparisons, !, && and ||.
#include "EnableExpression.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace {

struct NamedValue {
  const char* name;
  int32_t value;
};

// clang-format off
constexpr NamedValue kModeNames[] = {
  {"BitmapMode", 0}, {"GrayScaleMode", 1}, {"IndexedColorMode", 2}, {"RGBMode", 3}, {"CMYKMode", 4},
  {"HSLMode", 5}, {"HSBMode", 6}, {"MultichannelMode", 7}, {"DuotoneMode", 8}, {"LabMode", 9},
  {"Gray16Mode", 10}, {"RGB48Mode", 11}, {"Lab48Mode", 12}, {"CMYK64Mode", 13}, {"DeepMultichannelMode", 14},
  {"Duotone16Mode", 15}, {"RGB96Mode", 16}, {"Gray32Mode", 17}, {"true", 1}, {"false", 0},
};
// clang-format on

class Parser {
 public:
  Parser(const std::string& text, const EnableContext& context) : m_Text(text), m_Context(context) {}

  bool Evaluate(int64_t* value, std::string* error) {
    *value = Or();
    SkipSpace();
    if (m_Error.empty() && m_Position != m_Text.size()) Fail("unexpected text");
    *error = m_Error;
    return m_Error.empty();
  }

 private:
  void SkipSpace() {
    while (m_Position < m_Text.size() && isspace(uint8_t(m_Text[m_Position]))) ++m_Position;
  }
  bool Accept(const char* token) {
    SkipSpace();
    size_t length = strlen(token);
    if (m_Text.compare(m_Position, length, token) != 0) return false;
    m_Position += length;
    return true;
  }
  void Fail(const std::string& what) {
    if (m_Error.empty()) m_Error = what + " at offset " + std::to_string(m_Position);
  }
  int64_t Or() {
    int64_t value = And();
    while (m_Error.empty() && Accept("||")) value = (And() != 0) || value != 0;
    return value;
  }
  int64_t And() {
    int64_t value = Comparison();
    while (m_Error.empty() && Accept("&&")) value = (Comparison() != 0) && value != 0;
    return value;
  }
  int64_t Comparison() {
    int64_t left = Unary();
    if (Accept("==")) return left == Unary();
    if (Accept("!=")) return left != Unary();
    if (Accept("<=")) return left <= Unary();
    if (Accept(">=")) return left >= Unary();
    if (Accept("<")) return left < Unary();
    if (Accept(">")) return left > Unary();
    return left;
  }
  int64_t Unary() {
    if (Accept("!")) return Unary() == 0;
    if (Accept("-")) return -Unary();
    return Primary();
  }
  std::vector<int64_t> Arguments() {
    std::vector<int64_t> values;
    if (!Accept("(")) {
      Fail("expected '('");
      return values;
    }
    do values.push_back(Or());
    while (m_Error.empty() && Accept(","));
    if (!Accept(")")) Fail("expected ')'");
    return values;
  }
  int64_t Primary() {
    SkipSpace();
    if (Accept("(")) {
      int64_t value = Or();
      if (!Accept(")")) Fail("expected ')'");
      return value;
    }
    if (m_Position < m_Text.size() && isdigit(uint8_t(m_Text[m_Position]))) {
      int64_t value = 0;
      while (m_Position < m_Text.size() && isdigit(uint8_t(m_Text[m_Position]))) value = value * 10 + (m_Text[m_Position++] - '0');
      return value;
    }
    size_t start = m_Position;
    while (m_Position < m_Text.size() && (isalnum(uint8_t(m_Text[m_Position])) || m_Text[m_Position] == '_')) ++m_Position;
    std::string name = m_Text.substr(start, m_Position - start);
    if (name.empty()) {
      Fail("expected a value");
      return 0;
    }
    return NameValue(name);
  }
  int64_t NameValue(const std::string& name) {
    if (name == "in") {
      std::vector<int64_t> values = Arguments();
      return values.size() > 1 && std::find(values.begin() + 1, values.end(), values[0]) != values.end();
    }
    if (name == "min" || name == "max") {
      std::vector<int64_t> values = Arguments();
      if (values.empty()) return 0;
      return name == "min" ? *std::min_element(values.begin(), values.end()) : *std::max_element(values.begin(), values.end());
    }
    if (name == "PSHOP_ImageMode") return m_Context.imageMode;
    if (name == "PSHOP_ImageDepth") return m_Context.imageDepth;
    if (name == "PSHOP_ImageWidth") return m_Context.imageWidth;
    if (name == "PSHOP_ImageHeight") return m_Context.imageHeight;
    if (name == "PSHOP_HasSelectionMask") return m_Context.hasSelectionMask;
    if (name == "PSHOP_HasTransparencyMask") return m_Context.hasTransparencyMask;
    if (name == "PSHOP_NumTargetChannels") return m_Context.numTargetChannels;
    for (const NamedValue& mode : kModeNames) {
      if (name == mode.name) return mode.value;
    }
    Fail("unknown name '" + name + "'");
    return 0;
  }

  const std::string& m_Text;
  const EnableContext& m_Context;
  size_t m_Position = 0;
  std::string m_Error;
};

}  // namespace

bool EvaluateEnableExpression(const std::string& expression, const EnableContext& context, std::string* error) {
  int64_t value = 0;
  Parser parser(expression, context);
  if (!parser.Evaluate(&value, error)) return false;
  return value != 0;
}
