// The drive script's parser: every command, the arguments each takes, key names and chords, and
// the lines it refuses with the line number and reason.
#include <gtest/gtest.h>

#include "DriveScript.h"

namespace {

DriveCommand ParseOne(const std::string& line) {
  std::vector<DriveCommand> commands;
  std::string error;
  EXPECT_TRUE(ParseDriveScript(line, &commands, &error)) << line << ": " << error;
  EXPECT_EQ(commands.size(), 1u) << line;
  return commands.empty() ? DriveCommand{} : commands[0];
}

std::string RefusalOf(const std::string& script) {
  std::vector<DriveCommand> commands;
  std::string error;
  EXPECT_FALSE(ParseDriveScript(script, &commands, &error)) << script;
  EXPECT_TRUE(commands.empty());
  return error;
}

KeyChord ChordOf(const std::string& text) {
  KeyChord chord;
  std::string error;
  EXPECT_TRUE(ParseKeyChord(text, &chord, &error)) << text << ": " << error;
  return chord;
}

}  // namespace

TEST(DriveScript, ReadsEveryCommandWithItsArguments) {
  std::string script =
      "# a comment line\n"
      "\n"
      "wait-idle\n"
      "   wait-idle 2.5\n"
      "press OK\r\n"
      "press reset\n"
      "press 1191\n"
      "key ctrl+z F1\n"
      "hold alt\n"
      "release alt\n"
      "click 10 20\n"
      "dblclick -3 4\n"
      "drag 1 2 300 400\n"
      "wheel 50 60 -3\n"
      "set Angl 12.5\n"
      "set stEf efT3\n"
      "set opsO 1\n"
      "screenshot out dir/shot one.png\n"
      "expect Cancel Reset\n"
      "expect 1085 \"\"\n"
      "resize 900 700\n";
  std::vector<DriveCommand> c;
  std::string error;
  ASSERT_TRUE(ParseDriveScript(script, &c, &error)) << error;
  ASSERT_EQ(c.size(), 19u);
  EXPECT_EQ(c[0].verb, DRIVE_WAIT_IDLE);
  EXPECT_EQ(c[0].seconds, 30.0);
  EXPECT_EQ(c[0].line, 3);
  EXPECT_EQ(c[1].seconds, 2.5);
  EXPECT_EQ(c[1].text, "wait-idle 2.5");
  EXPECT_EQ(c[2].controlId, IDOK);
  EXPECT_EQ(c[2].text, "press OK");
  EXPECT_EQ(c[3].controlId, kResetButtonId);
  EXPECT_EQ(c[4].controlId, 1191);
  ASSERT_EQ(c[5].chords.size(), 2u);
  EXPECT_EQ(c[5].chords[0].key, 'Z');
  EXPECT_EQ(c[5].chords[0].modifiers, std::vector<WORD>{VK_CONTROL});
  EXPECT_EQ(c[5].chords[1].key, VK_F1);
  EXPECT_EQ(c[6].verb, DRIVE_HOLD);
  EXPECT_EQ(c[6].chords[0].key, VK_MENU);
  EXPECT_EQ(c[7].verb, DRIVE_RELEASE);
  EXPECT_EQ(c[8].verb, DRIVE_CLICK);
  EXPECT_EQ(c[8].numbers[0], 10);
  EXPECT_EQ(c[8].numbers[1], 20);
  EXPECT_EQ(c[9].verb, DRIVE_DBLCLICK);
  EXPECT_EQ(c[9].numbers[0], -3);
  EXPECT_EQ(c[10].verb, DRIVE_DRAG);
  EXPECT_EQ(c[10].numbers[3], 400);
  EXPECT_EQ(c[11].verb, DRIVE_WHEEL);
  EXPECT_EQ(c[11].numbers[2], -3);
  EXPECT_EQ(c[12].key, "Angl");
  EXPECT_EQ(c[12].value, "12.5");
  EXPECT_EQ(c[13].value, "efT3");
  EXPECT_EQ(c[14].key, "opsO");
  EXPECT_EQ(c[15].verb, DRIVE_SCREENSHOT);
  EXPECT_EQ(c[15].file, L"out dir/shot one.png");
  EXPECT_EQ(c[16].controlId, IDCANCEL);
  EXPECT_EQ(c[16].value, "Reset");
  EXPECT_EQ(c[17].controlId, 1085);
  EXPECT_EQ(c[17].value, "");
  EXPECT_EQ(c[18].numbers[0], 900);
  EXPECT_EQ(c[18].numbers[1], 700);
}

TEST(DriveScript, ExpectKeepsTheTextWithItsInnerSpaces) {
  EXPECT_EQ(ParseOne("expect 1002   &Preview  now ").value, "&Preview  now");
  EXPECT_EQ(ParseOne("expect OK \" OK \"").value, " OK ");
}

TEST(DriveScript, RefusesBadLinesNamingTheLine) {
  EXPECT_EQ(RefusalOf("press OK\npres OK\n"), "line 2: unknown command 'pres'");
  EXPECT_EQ(RefusalOf("click 10"), "line 1: click takes 2 to 6 arguments, not 1");
  EXPECT_EQ(RefusalOf("click 10 20 30"), "line 1: '30' is not a key to hold (alt, ctrl, shift or space)");
  EXPECT_EQ(RefusalOf("click 10 20 alt alt"), "line 1: 'alt' is named twice");
  EXPECT_EQ(RefusalOf("click 10 y"), "line 1: 'y' is not a whole number");
  EXPECT_EQ(RefusalOf("click 1.5 2"), "line 1: '1.5' is not a whole number");
  EXPECT_EQ(RefusalOf("wheel 1 2 0"), "line 1: wheel needs a non-zero count");
  EXPECT_EQ(RefusalOf("resize 0 600"), "line 1: resize needs a positive width and height");
  EXPECT_EQ(RefusalOf("wait-idle -1"), "line 1: wait-idle takes a limit in seconds (0 to 3600), not '-1'");
  EXPECT_EQ(RefusalOf("wait-idle soon"), "line 1: wait-idle takes a limit in seconds (0 to 3600), not 'soon'");
  EXPECT_EQ(RefusalOf("wait-idle 1 2"), "line 1: wait-idle takes 0 to 1 arguments, not 2");
  EXPECT_EQ(RefusalOf("press"), "line 1: press takes 1 arguments, not 0");
  EXPECT_EQ(RefusalOf("press Apply"), "line 1: 'Apply' is not a control (OK, Cancel, Reset or an id)");
  EXPECT_EQ(RefusalOf("expect Reset Cancel"), "line 1: 'Reset' is not a control (OK, Cancel or an id)");
  EXPECT_EQ(RefusalOf("expect 1"), "line 1: expect takes 2 or more arguments, not 1");
  EXPECT_EQ(RefusalOf("press 70000"), "line 1: '70000' is not a control (OK, Cancel, Reset or an id)");
  EXPECT_EQ(RefusalOf("set Lngt eighty"), "line 1: Lngt takes a number, not 'eighty'");
  EXPECT_EQ(RefusalOf("set Zzzz 1"), "line 1: unknown parameter key 'Zzzz'");
  EXPECT_EQ(RefusalOf("set stEf efT7"), "line 1: stEf takes efT0 to efT6, not 'efT7'");
  EXPECT_EQ(RefusalOf("set opsO yes"), "line 1: opsO takes 0 or 1, not 'yes'");
  EXPECT_EQ(RefusalOf("key ctrl+foo"), "line 1: unknown key 'foo'");
  EXPECT_EQ(RefusalOf("key z+ctrl"), "line 1: 'z' in 'z+ctrl' is not shift, ctrl or alt");
  EXPECT_EQ(RefusalOf("hold ctrl+z"), "line 1: hold and release take one key, not a combination");
  EXPECT_EQ(RefusalOf("\n\n# fine\nscreenshot"), "line 4: screenshot takes 1 or more arguments, not 0");
}

TEST(DriveScript, NamesKeysAsTheKeyboardHasThem) {
  struct Case {
    const char* text;
    WORD key;
    std::vector<WORD> modifiers;
  };
  const Case cases[] = {
      {"alt", VK_MENU, {}},
      {"ctrl", VK_CONTROL, {}},
      {"Shift", VK_SHIFT, {}},
      {"L", 'L', {}},
      {"l", 'L', {}},
      {"0", '0', {}},
      {"F1", VK_F1, {}},
      {"f10", VK_F10, {}},
      {"F24", VK_F24, {}},
      {"esc", VK_ESCAPE, {}},
      {"Escape", VK_ESCAPE, {}},
      {"enter", VK_RETURN, {}},
      {"tab", VK_TAB, {}},
      {"down", VK_DOWN, {}},
      {"pgdn", VK_NEXT, {}},
      {"help", VK_HELP, {}},
      {"num+", VK_ADD, {}},
      {"num7", VK_NUMPAD7, {}},
      {"ctrl+z", 'Z', {VK_CONTROL}},
      {"ctrl+alt+0", '0', {VK_CONTROL, VK_MENU}},
      {"alt+ctrl+0", '0', {VK_CONTROL, VK_MENU}},
      {"alt+shift+ctrl+x", 'X', {VK_SHIFT, VK_CONTROL, VK_MENU}},
      {"ctrl+ctrl+a", 'A', {VK_CONTROL}},
      {"ctrl+plus", VK_OEM_PLUS, {VK_CONTROL}},
      {"ctrl+minus", VK_OEM_MINUS, {VK_CONTROL}},
      {"ctrl+num-", VK_SUBTRACT, {VK_CONTROL}},
      {"ctrl+num+", VK_ADD, {VK_CONTROL}},
      // Characters are typed with the keys of the layout in use (Wine's default, US English).
      {"?", VK_OEM_2, {VK_SHIFT}},
      {"+", VK_OEM_PLUS, {VK_SHIFT}},
      {"ctrl++", VK_OEM_PLUS, {VK_SHIFT, VK_CONTROL}},
      {"*", '8', {VK_SHIFT}},
      {":", VK_OEM_1, {VK_SHIFT}},
      {".", VK_OEM_PERIOD, {}},
      {"-", VK_OEM_MINUS, {}},
  };
  for (const Case& c : cases) {
    KeyChord chord = ChordOf(c.text);
    EXPECT_EQ(chord.key, c.key) << c.text;
    EXPECT_EQ(chord.modifiers, c.modifiers) << c.text;
  }
}

TEST(DriveScript, RefusesKeysThatDoNotExist) {
  KeyChord chord;
  std::string error;
  for (const char* text : {"", "f0", "F25", "num10", "ctrl+", "alt+shift+", "\xC3\xA9", "nope"}) {
    error.clear();
    EXPECT_FALSE(ParseKeyChord(text, &chord, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(DriveScript, ValueBoxesFollowTheRowTable) {
  const std::pair<const char*, int> rows[] = {{"qntY", 1025}, {"Intn", 1005}, {"Lngt", 1007}, {"Angl", 1009},
                                              {"numP", 1011}, {"spsH", 1022}, {"spsP", 1032}, {"Strt", 1013},
                                              {"rbwI", 1015}, {"rbwF", 1017}, {"sspI", 1019}, {"sflB", 1021},
                                              {"edBr", 1250}, {"edCR", 1255}, {"edMG", 1260}, {"edYB", 1265},
                                              {"edMH", 1270}, {"edMV", 1275}};
  for (const auto& [key, box] : rows) EXPECT_EQ(ValueBoxOfKey(key), box) << key;
  EXPECT_EQ(DecimalsOfKey("edMH"), 2) << "the moves show hundredths of a pixel";
  EXPECT_EQ(ValueBoxOfKey("stEf"), 0);
  EXPECT_EQ(ValueBoxOfKey("lngt"), 0);
}

TEST(DriveScript, AnEmptyScriptIsNoCommands) {
  std::vector<DriveCommand> commands(1);
  std::string error;
  EXPECT_TRUE(ParseDriveScript("# nothing\n\n   \n", &commands, &error));
  EXPECT_TRUE(commands.empty());
}

TEST(DriveScript, ZoomAndScrollTakeTheViewTheUserAsksFor) {
  EXPECT_EQ(ParseOne("zoom 100").percent, 100.0);
  EXPECT_EQ(ParseOne("zoom 33.3").percent, 33.3);
  DriveCommand fit = ParseOne("zoom fit");
  EXPECT_EQ(fit.verb, DRIVE_ZOOM);
  EXPECT_EQ(fit.percent, 0.0);
  DriveCommand scroll = ParseOne("scroll 120 40");
  EXPECT_EQ(scroll.verb, DRIVE_SCROLL);
  EXPECT_EQ(scroll.numbers[0], 120);
  EXPECT_EQ(scroll.numbers[1], 40);
  EXPECT_EQ(ParseOne("screenshot-preview out dir/p.png").file, L"out dir/p.png");
  DriveCommand menu = ParseOne("zoom-menu Fit in View");
  EXPECT_EQ(menu.verb, DRIVE_ZOOM_MENU);
  EXPECT_EQ(menu.value, "Fit in View");
  EXPECT_NE(RefusalOf("zoom big").find("line 1: zoom takes a percentage"), std::string::npos);
  EXPECT_NE(RefusalOf("zoom -5").find("percentage"), std::string::npos);
  EXPECT_NE(RefusalOf("scroll -1 0").find("no negative"), std::string::npos);
  EXPECT_NE(RefusalOf("scroll 5").find("scroll takes 2 arguments"), std::string::npos);
}

TEST(DriveScript, ReadsThePanelsCommandsWithTheirNamesWhole) {
  std::string script =
      "set-track Angl -12.5\n"
      "select-style Star Burst\n"
      "settings Default Settings\n"
      "menu Save Settings...\n"
      "file C:\\some folder\\stars.sss\n";
  std::vector<DriveCommand> c;
  std::string error;
  ASSERT_TRUE(ParseDriveScript(script, &c, &error)) << error;
  ASSERT_EQ(c.size(), 5u);
  EXPECT_EQ(c[0].verb, DRIVE_SET_TRACK);
  EXPECT_EQ(c[0].key, "Angl");
  EXPECT_EQ(c[0].value, "-12.5");
  EXPECT_EQ(c[1].verb, DRIVE_SELECT_STYLE);
  EXPECT_EQ(c[1].value, "Star Burst");
  EXPECT_EQ(c[2].verb, DRIVE_SETTINGS);
  EXPECT_EQ(c[2].value, "Default Settings");
  EXPECT_EQ(c[3].verb, DRIVE_MENU);
  EXPECT_EQ(c[3].value, "Save Settings...");
  EXPECT_EQ(c[4].verb, DRIVE_FILE);
  EXPECT_EQ(c[4].file, L"C:\\some folder\\stars.sss");
}

TEST(DriveScript, SetTrackTakesOnlySliderKeysAndNumbers) {
  std::vector<DriveCommand> c;
  std::string error;
  EXPECT_FALSE(ParseDriveScript("set-track stEf efT1\n", &c, &error));
  EXPECT_EQ(error, "line 1: set-track takes a slider key, not 'stEf'");
  EXPECT_FALSE(ParseDriveScript("set-track Lngt far\n", &c, &error));
  EXPECT_EQ(error, "line 1: Lngt takes a number, not 'far'");
  EXPECT_FALSE(ParseDriveScript("menu\n", &c, &error));
  EXPECT_EQ(error, "line 1: menu takes 1 or more arguments, not 0");
}

TEST(DriveScript, PointerCommandsHoldTheKeysNamedAfterTheirNumbers) {
  DriveCommand drag = ParseOne("drag 1 2 3 4 ctrl alt");
  EXPECT_EQ(drag.numbers[3], 4);
  EXPECT_EQ(drag.heldKeys, (std::vector<WORD>{VK_CONTROL, VK_MENU}));
  EXPECT_EQ(ParseOne("click 5 6 Space").heldKeys, (std::vector<WORD>{VK_SPACE}));
  EXPECT_EQ(ParseOne("wheel 5 6 -2 shift").heldKeys, (std::vector<WORD>{VK_SHIFT}));
  EXPECT_TRUE(ParseOne("dblclick 5 6").heldKeys.empty());
  EXPECT_EQ(ParseOne("tool Hide").controlId, 1123);
  EXPECT_EQ(ParseOne("tool edit").controlId, 1245);
  EXPECT_EQ(RefusalOf("tool lasso"), "line 1: tool takes pan, zoom, hide, show or edit, not 'lasso'");
}

TEST(DriveScript, SweepTakesASliderItsEndsStepsAndRate) {
  std::vector<DriveCommand> c;
  std::string error;
  ASSERT_TRUE(ParseDriveScript("sweep Angl -180 180 120 60\n", &c, &error)) << error;
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].verb, DRIVE_SWEEP);
  EXPECT_EQ(c[0].key, "Angl");
  EXPECT_EQ(c[0].from, -180.0);
  EXPECT_EQ(c[0].to, 180.0);
  EXPECT_EQ(c[0].numbers[0], 120);
  EXPECT_EQ(c[0].rate, 60.0);
  EXPECT_NE(RefusalOf("sweep stEf 0 1 10 60").find("sweep takes a slider key"), std::string::npos);
  EXPECT_NE(RefusalOf("sweep Lngt 0 high 10 60").find("the values it starts and ends at"), std::string::npos);
  EXPECT_NE(RefusalOf("sweep Lngt 0 100 0 60").find("positive number of steps"), std::string::npos);
  EXPECT_NE(RefusalOf("sweep Lngt 0 100 10 0").find("1 to 1000 steps a second"), std::string::npos);
  EXPECT_NE(RefusalOf("sweep Lngt 0 100 10").find("sweep takes 5 arguments"), std::string::npos);
}

TEST(DriveScript, TrackBarsDecimalsAndStylesFollowTheirTables) {
  EXPECT_EQ(TrackBarOfKey("qntY"), 1026);
  EXPECT_EQ(TrackBarOfKey("spsH"), 1024);
  EXPECT_EQ(TrackBarOfKey("stEf"), 0);
  EXPECT_EQ(DecimalsOfKey("Angl"), 1);
  EXPECT_EQ(DecimalsOfKey("Lngt"), 0);
  EXPECT_STREQ(StyleNameOfCode("efT0"), "Standard Star");
  EXPECT_STREQ(StyleNameOfCode("efT6"), "Star Burst");
  EXPECT_EQ(StyleNameOfCode("efT7"), nullptr);
}

TEST(DriveScript, OptionsAndChooseDriveTheOptionsDialog) {
  EXPECT_EQ(ParseOne("options").verb, DRIVE_OPTIONS);
  DriveCommand choose = ParseOne("choose 1189");
  EXPECT_EQ(choose.verb, DRIVE_CHOOSE);
  EXPECT_EQ(choose.controlId, 1189);
  EXPECT_EQ(ParseOne("choose cancel").controlId, IDCANCEL);
  EXPECT_NE(RefusalOf("options now").find("options takes 0 arguments"), std::string::npos) << RefusalOf("options now");
  EXPECT_NE(RefusalOf("choose").find("choose takes 1 arguments, not 0"), std::string::npos) << RefusalOf("choose");
  EXPECT_NE(RefusalOf("choose reset").find("is not a control"), std::string::npos) << "Reset is only a pressed Cancel";
}

TEST(DriveScript, FocusNamesOneControlOfTheDialog) {
  DriveCommand focus = ParseOne("focus 1182");
  EXPECT_EQ(focus.verb, DRIVE_FOCUS);
  EXPECT_EQ(focus.controlId, 1182);
  EXPECT_EQ(ParseOne("  focus OK").controlId, IDOK);
  EXPECT_STREQ(DriveVerbName(DRIVE_FOCUS), "focus");
  EXPECT_NE(RefusalOf("focus").find("focus takes 1 arguments, not 0"), std::string::npos) << RefusalOf("focus");
  EXPECT_NE(RefusalOf("focus 1122 1002").find("line 1: focus takes 1 arguments, not 2"), std::string::npos);
  EXPECT_NE(RefusalOf("wait-idle\nfocus preview").find("line 2: 'preview' is not a control"), std::string::npos)
      << RefusalOf("wait-idle\nfocus preview");
  EXPECT_NE(RefusalOf("focus reset").find("is not a control"), std::string::npos) << "Reset is only a pressed Cancel";
}
