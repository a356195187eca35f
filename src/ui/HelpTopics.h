// Context help: which page of the help file explains a control or menu command in the control
// set that is current, and the requests of F1, the help icons, "?" and the Help key.
#pragma once
#include <windows.h>

#include <cstdint>

// The control sets an entry applies in, as bits; HELPSET_NONE covers dialogs opened outside the
// main dialog (no control set current).
enum HelpSetBits : uint32_t {
  HELPSET_NONE = 1u << 0,
  HELPSET_MAIN = 1u << 1,
  HELPSET_EDIT_COLOR = 1u << 2,
  HELPSET_EDIT_GRAY = 1u << 3,
  HELPSET_EDITOR = HELPSET_EDIT_COLOR | HELPSET_EDIT_GRAY,
  HELPSET_EVERY = HELPSET_NONE | HELPSET_MAIN | HELPSET_EDITOR,
};

struct HelpTopicRow {
  int firstId;  // a control or menu command, or the first of a run of commands
  int lastId;
  uint32_t sets;
  const wchar_t* page;
};

// The page for a control in a control set (CTLSET_*), or null when the table has none.
const wchar_t* FindHelpPage(int id, int controlSet);
// Every page the table names, each once, for the help file's build check and its tests.
int HelpTopicPageCount();
const wchar_t* HelpTopicPage(int index);

// Help for a control or menu command in the current control set; the start page for anything
// the table does not name.
void DisplayHTMLControlHelp(int id);
// WM_HELP of any dialog: the control or menu item the user asked about.
void OnHelpRequest(const HELPINFO* info);
