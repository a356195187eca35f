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

// F1 in an open menu can arrive twice: from the menu for its highlighted item, and from the key's
// default handling for the item under the pointer, which names none (-1) when the pointer is
// elsewhere. Only a request that names an item is answered, or the start page would replace the
// item's page at once.
void OnHelpRequest(const HELPINFO* info) {
  if (info == nullptr) return;
  if (info->iContextType == HELPINFO_MENUITEM && info->iCtrlId <= 0) return;
  DisplayHTMLControlHelp(info->iCtrlId);
}
