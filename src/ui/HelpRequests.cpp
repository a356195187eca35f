// Help requests of the dialogs: the table's page for the control in the current control set,
// else the start page of the help file.
#include "support/ErrorReport.h"
#include "support/HelpViewer.h"
#include "ui/ControlSets.h"
#include "ui/HelpTopics.h"

void DisplayHTMLControlHelp(int id) {
  const wchar_t* page = FindHelpPage(id, GetCurrentControlSet());
  if (page == nullptr) {
    ErrorReport(__LINE__, TraceMessage).Report("No help topic for control %d; opening the help file.", id);
    DisplayHelpFile();
    return;
  }
  DisplayHelpPage(page);
}

void OnHelpRequest(const HELPINFO* info) {
  if (info == nullptr) return;
  DisplayHTMLControlHelp(info->iCtrlId);
}
