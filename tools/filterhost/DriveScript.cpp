// Parses the script of `--drive` into commands: words, numbers, control names, key chords and the
// scripting keys of the parameters a user can set through their controls.
#include "DriveScript.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <algorithm>
#include <sstream>

namespace {

struct VerbRow {
  DriveVerb verb;
  const char* word;
  int minimumWords;  // arguments after the verb
  int maximumWords;  // -1: the rest of the line is one argument
};

// verb              word          min  max
constexpr VerbRow kVerbs[] = {
    {DRIVE_WAIT_IDLE, "wait-idle", 0, 1},
    {DRIVE_PRESS, "press", 1, 1},
    {DRIVE_KEY, "key", 1, 64},
    {DRIVE_HOLD, "hold", 1, 1},
    {DRIVE_RELEASE, "release", 1, 1},
    {DRIVE_CLICK, "click", 2, 6},
    {DRIVE_DBLCLICK, "dblclick", 2, 6},
    {DRIVE_DRAG, "drag", 4, 8},
    {DRIVE_WHEEL, "wheel", 3, 7},
    {DRIVE_SET, "set", 2, 2},
    {DRIVE_SCREENSHOT, "screenshot", 1, -1},
    {DRIVE_EXPECT, "expect", 2, -1},
    {DRIVE_RESIZE, "resize", 2, 2},
    {DRIVE_ZOOM, "zoom", 1, 1},
    {DRIVE_SCROLL, "scroll", 2, 2},
    {DRIVE_SCREENSHOT_PREVIEW, "screenshot-preview", 1, -1},
    {DRIVE_SET_TRACK, "set-track", 2, 2},
    {DRIVE_SELECT_STYLE, "select-style", 1, -1},
    {DRIVE_SETTINGS, "settings", 1, -1},
    {DRIVE_MENU, "menu", 1, -1},
    {DRIVE_FILE, "file", 1, -1},
    {DRIVE_ZOOM_MENU, "zoom-menu", 1, -1},
    {DRIVE_SWEEP, "sweep", 5, 5},
    {DRIVE_TOOL, "tool", 1, 1},
    {DRIVE_OPTIONS, "options", 0, 0},
    {DRIVE_CHOOSE, "choose", 1, 1},
    {DRIVE_FOCUS, "focus", 1, 1},
};

struct NamedTool {
  const char* name;
  int icon;  // the tool strip's control
};
constexpr NamedTool kTools[] = {{"pan", 1043}, {"zoom", 1044}, {"hide", 1123}, {"show", 1184}, {"edit", 1245}};

struct NamedModifier {
  const char* name;
  WORD key;
};
constexpr NamedModifier kModifiers[] = {{"alt", VK_MENU}, {"ctrl", VK_CONTROL}, {"shift", VK_SHIFT}, {"space", VK_SPACE}};
static_assert(std::size(kVerbs) == DRIVE_VERB_COUNT);

struct NamedKey {
  const char* name;
  WORD key;
};

// name        virtual key
constexpr NamedKey kNamedKeys[] = {
    {"esc", VK_ESCAPE},      {"escape", VK_ESCAPE},   {"enter", VK_RETURN},   {"return", VK_RETURN},
    {"tab", VK_TAB},         {"space", VK_SPACE},     {"backspace", VK_BACK}, {"delete", VK_DELETE},
    {"del", VK_DELETE},      {"insert", VK_INSERT},   {"ins", VK_INSERT},     {"home", VK_HOME},
    {"end", VK_END},         {"pgup", VK_PRIOR},      {"pageup", VK_PRIOR},   {"pgdn", VK_NEXT},
    {"pagedown", VK_NEXT},   {"up", VK_UP},           {"down", VK_DOWN},      {"left", VK_LEFT},
    {"right", VK_RIGHT},     {"help", VK_HELP},       {"plus", VK_OEM_PLUS},  {"minus", VK_OEM_MINUS},
    {"num+", VK_ADD},        {"num-", VK_SUBTRACT},   {"num*", VK_MULTIPLY},  {"num/", VK_DIVIDE},
    {"shift", VK_SHIFT},     {"ctrl", VK_CONTROL},    {"control", VK_CONTROL}, {"alt", VK_MENU},
};

// The slider rows a script sets by typing into the value box or moving the track bar.
struct ValueBoxRow {
  const char* key;
  int valueBox;
  int trackBar;
  int decimals;
};

// key     value box  track bar  decimals
constexpr ValueBoxRow kValueBoxes[] = {
    {"qntY", 1025, 1026, 0}, {"Intn", 1005, 1004, 0}, {"Lngt", 1007, 1006, 0}, {"Angl", 1009, 1008, 1},
    {"numP", 1011, 1010, 0}, {"spsH", 1022, 1024, 0}, {"spsP", 1032, 1033, 0}, {"Strt", 1013, 1012, 0},
    {"rbwI", 1015, 1014, 0}, {"rbwF", 1017, 1016, 0}, {"sspI", 1019, 1018, 0}, {"sflB", 1021, 1020, 0},
    // The effect editor's rows, which no action records: named here for scripts only.
    {"edBr", 1250, 1251, 0}, {"edCR", 1255, 1256, 0}, {"edMG", 1260, 1261, 0}, {"edYB", 1265, 1266, 0},
    {"edMH", 1270, 1271, 2}, {"edMV", 1275, 1276, 2},
};
static_assert(std::size(kValueBoxes) == 18);

// The effect list's items by the style codes of the scripting keys.
constexpr const char* kStyleNames[] = {"Standard Star", "Hollywood Star", "Religious Cross", "Hyper Star",
                                       "North Star",    "Vector Star",    "Star Burst"};

std::string Lower(std::string text) {
  for (char& c : text) c = char(tolower(static_cast<unsigned char>(c)));
  return text;
}

bool ParseInteger(const std::string& word, int* value) {
  if (word.empty()) return false;
  char* end = nullptr;
  long parsed = strtol(word.c_str(), &end, 10);
  if (*end != '\0' || parsed < -100000 || parsed > 100000) return false;
  *value = int(parsed);
  return true;
}

bool ParseNumber(const std::string& word, double* value) {
  if (word.empty()) return false;
  char* end = nullptr;
  *value = strtod(word.c_str(), &end);
  return *end == '\0' && std::isfinite(*value);
}

bool IsModifier(WORD key) { return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU; }

void AddModifier(WORD modifier, KeyChord* chord) {
  for (WORD held : chord->modifiers)
    if (held == modifier) return;
  chord->modifiers.push_back(modifier);
}

// Shift, Ctrl, Alt: the order in which a typist presses them, whatever order the script names.
void SortModifiers(KeyChord* chord) {
  std::vector<WORD> sorted;
  for (WORD modifier : {WORD(VK_SHIFT), WORD(VK_CONTROL), WORD(VK_MENU)})
    for (WORD held : chord->modifiers)
      if (held == modifier) sorted.push_back(modifier);
  chord->modifiers = sorted;
}

// One key's name: named keys, F1-F24, num0-num9, letters and digits by their keys, other
// characters through the keyboard layout (so "?" is Shift and the key that types it).
bool ParseKeyName(const std::string& name, KeyChord* chord, std::string* error) {
  std::string lower = Lower(name);
  for (const NamedKey& row : kNamedKeys)
    if (lower == row.name) return chord->key = row.key, true;
  int number = 0;
  if (lower.size() >= 2 && lower[0] == 'f' && ParseInteger(lower.substr(1), &number) && number >= 1 && number <= 24)
    return chord->key = WORD(VK_F1 + number - 1), true;
  if (lower.size() == 4 && lower.rfind("num", 0) == 0 && isdigit(static_cast<unsigned char>(lower[3])))
    return chord->key = WORD(VK_NUMPAD0 + lower[3] - '0'), true;
  if (name.size() == 1 && isalnum(static_cast<unsigned char>(name[0])))
    return chord->key = WORD(toupper(static_cast<unsigned char>(name[0]))), true;
  if (name.size() == 1 && name[0] > ' ' && name[0] < 127) {
    SHORT scan = VkKeyScanW(wchar_t(name[0]));
    if (scan != -1) {
      chord->key = LOBYTE(scan);
      if (HIBYTE(scan) & 1) AddModifier(VK_SHIFT, chord);
      if (HIBYTE(scan) & 2) AddModifier(VK_CONTROL, chord);
      if (HIBYTE(scan) & 4) AddModifier(VK_MENU, chord);
      return true;
    }
  }
  *error = "unknown key '" + name + "'";
  return false;
}

bool ParseWords(const std::vector<std::string>& words, DriveCommand* command, std::string* error);

// The rest of a line after `count` words, with one pair of enclosing double quotes removed.
std::string RestAfterWords(const std::string& line, int count) {
  size_t at = 0;
  for (int i = 0; i < count; ++i) {
    while (at < line.size() && isspace(static_cast<unsigned char>(line[at]))) ++at;
    while (at < line.size() && !isspace(static_cast<unsigned char>(line[at]))) ++at;
  }
  while (at < line.size() && isspace(static_cast<unsigned char>(line[at]))) ++at;
  std::string rest = line.substr(at);
  while (!rest.empty() && isspace(static_cast<unsigned char>(rest.back()))) rest.pop_back();
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
  return rest;
}

std::wstring WideOf(const std::string& text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0);
  std::wstring wide(size_t(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), int(text.size()), wide.data(), length);
  return wide;
}

bool ParseControlName(const std::string& word, bool resetAllowed, int* id, std::string* error) {
  std::string lower = Lower(word);
  if (lower == "ok") return *id = IDOK, true;
  if (lower == "cancel") return *id = IDCANCEL, true;
  if (lower == "reset" && resetAllowed) return *id = kResetButtonId, true;
  if (ParseInteger(word, id) && *id > 0 && *id < 65536) return true;
  *error = "'" + word + "' is not a control (OK, Cancel" + (resetAllowed ? ", Reset" : "") + " or an id)";
  return false;
}

bool ParseSetting(const std::string& key, const std::string& value, DriveCommand* command, std::string* error) {
  command->key = key;
  command->value = value;
  double number = 0;
  if (key == "stEf") {
    if (value.size() == 4 && value.rfind("efT", 0) == 0 && value[3] >= '0' && value[3] <= '6') return true;
    *error = "stEf takes efT0 to efT6, not '" + value + "'";
    return false;
  }
  if (key == "opsO") {
    if (value == "0" || value == "1") return true;
    *error = "opsO takes 0 or 1, not '" + value + "'";
    return false;
  }
  if (ValueBoxOfKey(key) == 0) {
    *error = "unknown parameter key '" + key + "'";
    return false;
  }
  if (!ParseNumber(value, &number)) {
    *error = key + " takes a number, not '" + value + "'";
    return false;
  }
  return true;
}

// The pointer commands' numbers come first; any words after them name keys held meanwhile.
bool ParseNumbers(const std::vector<std::string>& words, DriveCommand* command, std::string* error) {
  size_t numbers = words.size();
  if (command->verb == DRIVE_CLICK || command->verb == DRIVE_DBLCLICK) numbers = std::min<size_t>(numbers, 3);
  if (command->verb == DRIVE_DRAG) numbers = std::min<size_t>(numbers, 5);
  if (command->verb == DRIVE_WHEEL) numbers = std::min<size_t>(numbers, 4);
  for (size_t i = numbers; i < words.size(); ++i) {
    const NamedModifier* found = nullptr;
    for (const NamedModifier& modifier : kModifiers)
      if (Lower(words[i]) == modifier.name) found = &modifier;
    if (found == nullptr) return *error = "'" + words[i] + "' is not a key to hold (alt, ctrl, shift or space)", false;
    if (std::find(command->heldKeys.begin(), command->heldKeys.end(), found->key) != command->heldKeys.end())
      return *error = "'" + words[i] + "' is named twice", false;
    command->heldKeys.push_back(found->key);
  }
  for (size_t i = 1; i < numbers; ++i)
    if (!ParseInteger(words[i], &command->numbers[i - 1])) {
      *error = "'" + words[i] + "' is not a whole number";
      return false;
    }
  if (command->verb == DRIVE_WHEEL && command->numbers[2] == 0) return *error = "wheel needs a non-zero count", false;
  if (command->verb == DRIVE_SCROLL && (command->numbers[0] < 0 || command->numbers[1] < 0))
    return *error = "scroll needs an image point with no negative coordinate", false;
  if (command->verb == DRIVE_RESIZE && (command->numbers[0] <= 0 || command->numbers[1] <= 0))
    return *error = "resize needs a positive width and height", false;
  return true;
}

bool ParseWords(const std::vector<std::string>& words, DriveCommand* command, std::string* error) {
  switch (command->verb) {
    case DRIVE_WAIT_IDLE:
      if (words.size() == 1) return true;
      if (ParseNumber(words[1], &command->seconds) && command->seconds > 0 && command->seconds <= 3600) return true;
      return *error = "wait-idle takes a limit in seconds (0 to 3600), not '" + words[1] + "'", false;
    case DRIVE_PRESS: return ParseControlName(words[1], true, &command->controlId, error);
    case DRIVE_OPTIONS: return true;
    case DRIVE_CHOOSE:
    case DRIVE_FOCUS: return ParseControlName(words[1], false, &command->controlId, error);
    case DRIVE_EXPECT:
      if (!ParseControlName(words[1], false, &command->controlId, error)) return false;
      command->value = RestAfterWords(command->text, 2);
      return true;
    case DRIVE_KEY:
    case DRIVE_HOLD:
    case DRIVE_RELEASE:
      for (size_t i = 1; i < words.size(); ++i) {
        KeyChord chord;
        if (!ParseKeyChord(words[i], &chord, error)) return false;
        command->chords.push_back(chord);
      }
      if (command->verb != DRIVE_KEY && !command->chords[0].modifiers.empty())
        return *error = "hold and release take one key, not a combination", false;
      return true;
    case DRIVE_SET: return ParseSetting(words[1], words[2], command, error);
    case DRIVE_SCREENSHOT: case DRIVE_SCREENSHOT_PREVIEW: command->file = WideOf(RestAfterWords(command->text, 1)); return true;
    case DRIVE_ZOOM:
      if (Lower(words[1]) == "fit") return true;
      if (ParseNumber(words[1], &command->percent) && command->percent > 0) return true;
      return *error = "zoom takes a percentage or 'fit', not '" + words[1] + "'", false;
    case DRIVE_SET_TRACK:
      if (TrackBarOfKey(words[1]) == 0) return *error = "set-track takes a slider key, not '" + words[1] + "'", false;
      return ParseSetting(words[1], words[2], command, error);
    case DRIVE_TOOL:
      for (const NamedTool& tool : kTools)
        if (Lower(words[1]) == tool.name) return command->controlId = tool.icon, true;
      return *error = "tool takes pan, zoom, hide, show or edit, not '" + words[1] + "'", false;
    case DRIVE_SWEEP:
      if (TrackBarOfKey(words[1]) == 0) return *error = "sweep takes a slider key, not '" + words[1] + "'", false;
      command->key = words[1];
      if (!ParseNumber(words[2], &command->from) || !ParseNumber(words[3], &command->to))
        return *error = "sweep takes the values it starts and ends at, not '" + words[2] + "' and '" + words[3] + "'", false;
      if (!ParseInteger(words[4], &command->numbers[0]) || command->numbers[0] < 1)
        return *error = "sweep takes a positive number of steps, not '" + words[4] + "'", false;
      if (!ParseNumber(words[5], &command->rate) || command->rate <= 0 || command->rate > 1000)
        return *error = "sweep takes a rate of 1 to 1000 steps a second, not '" + words[5] + "'", false;
      return true;
    case DRIVE_SELECT_STYLE:
    case DRIVE_SETTINGS:
    case DRIVE_MENU:
    case DRIVE_ZOOM_MENU: command->value = RestAfterWords(command->text, 1); return true;
    case DRIVE_FILE: command->file = WideOf(RestAfterWords(command->text, 1)); return true;
    default: return ParseNumbers(words, command, error);
  }
}

bool ParseLine(const std::string& line, DriveCommand* command, std::string* error) {
  std::istringstream stream(line);
  std::vector<std::string> words;
  for (std::string word; stream >> word;) words.push_back(word);
  const VerbRow* row = nullptr;
  for (const VerbRow& candidate : kVerbs)
    if (Lower(words[0]) == candidate.word) row = &candidate;
  if (row == nullptr) return *error = "unknown command '" + words[0] + "'", false;
  command->verb = row->verb;
  int count = int(words.size()) - 1;
  if (count < row->minimumWords || (row->maximumWords >= 0 && count > row->maximumWords)) {
    *error = std::string(row->word) + " takes " +
             (row->minimumWords == row->maximumWords ? std::to_string(row->minimumWords)
              : row->maximumWords < 0                 ? std::to_string(row->minimumWords) + " or more"
                                                      : std::to_string(row->minimumWords) + " to " +
                                                            std::to_string(row->maximumWords)) +
             " arguments, not " + std::to_string(count);
    return false;
  }
  return ParseWords(words, command, error);
}

}  // namespace

const char* DriveVerbName(DriveVerb verb) { return verb < DRIVE_VERB_COUNT ? kVerbs[verb].word : "?"; }

int ValueBoxOfKey(const std::string& key) {
  for (const ValueBoxRow& row : kValueBoxes)
    if (key == row.key) return row.valueBox;
  return 0;
}

int TrackBarOfKey(const std::string& key) {
  for (const ValueBoxRow& row : kValueBoxes)
    if (key == row.key) return row.trackBar;
  return 0;
}

int DecimalsOfKey(const std::string& key) {
  for (const ValueBoxRow& row : kValueBoxes)
    if (key == row.key) return row.decimals;
  return 0;
}

const char* StyleNameOfCode(const std::string& code) {
  if (code.size() != 4 || code.rfind("efT", 0) != 0 || code[3] < '0' || code[3] > '6') return nullptr;
  return kStyleNames[code[3] - '0'];
}

bool ParseKeyChord(const std::string& text, KeyChord* chord, std::string* error) {
  *chord = KeyChord{};
  std::vector<std::string> parts;
  // A "+" that ends the chord belongs to the key: "+" itself ("ctrl++") or the keypad's ("ctrl+num+").
  std::string body = text, lastKey;
  for (const char* plusKey : {"num+", "+"}) {
    size_t length = strlen(plusKey);
    bool endsWithKey = body.size() >= length && Lower(body.substr(body.size() - length)) == plusKey;
    if (endsWithKey && (body.size() == length || body[body.size() - length - 1] == '+')) {
      lastKey = body.substr(body.size() - length);
      body = body.size() == length ? "" : body.substr(0, body.size() - length - 1);
      break;
    }
  }
  for (size_t start = 0; !body.empty();) {
    size_t plus = body.find('+', start);
    parts.push_back(body.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
    if (plus == std::string::npos) break;
    start = plus + 1;
  }
  if (!lastKey.empty()) parts.push_back(lastKey);
  if (parts.empty()) return *error = "empty key", false;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    KeyChord modifier;
    if (!ParseKeyName(parts[i], &modifier, error)) return false;
    if (!IsModifier(modifier.key) || !modifier.modifiers.empty())
      return *error = "'" + parts[i] + "' in '" + text + "' is not shift, ctrl or alt", false;
    AddModifier(modifier.key, chord);
  }
  if (!ParseKeyName(parts.back(), chord, error)) return false;
  SortModifiers(chord);
  return true;
}

bool ParseDriveScript(const std::string& text, std::vector<DriveCommand>* commands, std::string* error) {
  std::vector<DriveCommand> parsed;
  std::istringstream stream(text);
  int number = 0;
  for (std::string line; std::getline(stream, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    DriveCommand command;
    command.line = number;
    command.text = line.substr(first, line.find_last_not_of(" \t") + 1 - first);
    std::string reason;
    if (!ParseLine(command.text, &command, &reason)) {
      *error = "line " + std::to_string(number) + ": " + reason;
      return false;
    }
    parsed.push_back(command);
  }
  *commands = std::move(parsed);
  return true;
}
