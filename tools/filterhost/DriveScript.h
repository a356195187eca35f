// The script of `--drive`: one command a line that a user would carry out in the plug-in's dialog,
// parsed into records before the dialog opens, so that a typing error costs no run.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

enum DriveVerb {
  DRIVE_WAIT_IDLE,
  DRIVE_PRESS,
  DRIVE_KEY,
  DRIVE_HOLD,
  DRIVE_RELEASE,
  DRIVE_CLICK,
  DRIVE_DBLCLICK,
  DRIVE_DRAG,
  DRIVE_WHEEL,
  DRIVE_SET,
  DRIVE_SCREENSHOT,
  DRIVE_EXPECT,
  DRIVE_RESIZE,
  DRIVE_ZOOM,
  DRIVE_SCROLL,
  DRIVE_SCREENSHOT_PREVIEW,
  DRIVE_SET_TRACK,
  DRIVE_SELECT_STYLE,
  DRIVE_SETTINGS,
  DRIVE_MENU,
  DRIVE_FILE,
  DRIVE_ZOOM_MENU,
  DRIVE_SWEEP,
  DRIVE_TOOL,
  DRIVE_OPTIONS,
  DRIVE_CHOOSE,
  DRIVE_FOCUS,
  DRIVE_VERB_COUNT
};

// One keystroke: the modifiers held (VK_SHIFT, VK_CONTROL, VK_MENU, in that order) around the key.
struct KeyChord {
  std::vector<WORD> modifiers;
  WORD key = 0;
};

// Control ids a script may name by word; Reset is Cancel clicked with Alt held.
constexpr int kResetButtonId = -2;

struct DriveCommand {
  DriveVerb verb = DRIVE_VERB_COUNT;
  int line = 0;
  std::string text;              // the command as written, for the report
  double seconds = 30.0;         // wait-idle's limit
  int controlId = 0;             // press, expect, choose, focus, tool (the tool's icon)
  std::vector<KeyChord> chords;  // key (one or more), hold and release (one, a modifier or key)
  std::vector<WORD> heldKeys;    // click, dblclick, drag, wheel: held down around the pointer's work
                                 // (VK_MENU, VK_CONTROL, VK_SHIFT, VK_SPACE)
  int numbers[4] = {};           // click/dblclick X Y, drag X1 Y1 X2 Y2, wheel X Y N, resize W H, scroll X Y,
                                 // sweep: its steps
  double percent = 0;            // zoom: the level asked for; 0 for "fit"
  double from = 0, to = 0;       // sweep: the slider's values at the start and the end
  double rate = 0;               // sweep: steps a second
  std::string key;               // set, set-track, sweep: the scripting key
  std::string value;             // set: the value as typed; expect: the text; select-style,
                                 // settings, menu: the item's text
  std::wstring file;             // screenshot; file: the path given to the file dialog
};

// The command line's verb word ("wait-idle", "press", ...), for messages.
const char* DriveVerbName(DriveVerb verb);
// One chord such as "ctrl+alt+0", "F1", "esc", "down", "L", "?", "ctrl++"; false with *error.
bool ParseKeyChord(const std::string& text, KeyChord* chord, std::string* error);
// A whole script; on failure *error names the line ("line 3: ...") and nothing is returned.
bool ParseDriveScript(const std::string& text, std::vector<DriveCommand>* commands, std::string* error);
// The value box of a slider's scripting key (Lngt -> 1007); 0 for keys without one.
int ValueBoxOfKey(const std::string& key);
// The track bar of a slider's scripting key (Lngt -> 1006), and the decimals its value box shows.
int TrackBarOfKey(const std::string& key);
int DecimalsOfKey(const std::string& key);
// The item of the effect list that a style code names (efT6 -> "Star Burst"), or null.
const char* StyleNameOfCode(const std::string& code);
