// The HTML Help viewer, started as a separate process on a page of the help file in the common
// data folder. Only the viewer started last stays alive: a new request ends the previous one.
#pragma once
#include <windows.h>

constexpr wchar_t kHelpFileTitle[] = L"Halvorn Pro 3";

// Builds the paths of the help file and of the viewer; true when both were built.
bool InitializeHelpViewer();
// Starts the viewer on a document: the help file, or the help file and a page joined by "::/".
bool DisplayHelpInViewer(const wchar_t* document);
// The help file at its start page.
bool DisplayHelpFile();
// The help file and one of its pages; an empty page opens the start page.
bool DisplayHelpPage(const wchar_t* page);
// Ends the viewer started last, if any (the next request and the end of a load do this).
void QuitHelpViewer();

const wchar_t* GetHelpFilePath();
const wchar_t* GetHelpViewerPath();
// The process of the viewer started last, or null; tests watch it end.
HANDLE GetHelpViewerProcess();
// Tests start a stand-in viewer that records its command line (null restores the Windows viewer).
void SetHelpViewerPathForTests(const wchar_t* path);
