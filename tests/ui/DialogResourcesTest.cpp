// The main dialog's resources as the system reads them: the template's controls, the accelerator
// tables, the menus and the images. A control missing or of the wrong kind shows here, before any
// dialog is opened.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "resource.h"

namespace {

struct TemplateItem {
  DWORD style = 0;
  int id = 0;
  std::wstring className;  // atoms become their names: Button, Edit, Static, ListBox, ScrollBar, ComboBox
  std::wstring text;
  int iconOrdinal = -1;  // an ordinal in the text field (icon and bitmap statics)
  RECT bounds{};
};

struct DialogTemplate {
  DWORD style = 0;
  int width = 0, height = 0;
  std::wstring caption, font;
  std::vector<TemplateItem> items;
};

const WORD* ReadNameOrOrdinal(const WORD* p, std::wstring* name, int* ordinal) {
  if (*p == 0x0000) return p + 1;
  if (*p == 0xFFFF) {
    if (ordinal != nullptr) *ordinal = p[1];
    return p + 2;
  }
  const wchar_t* text = reinterpret_cast<const wchar_t*>(p);
  if (name != nullptr) *name = text;
  return p + wcslen(text) + 1;
}

std::wstring AtomClassName(int atom) {
  switch (atom) {
    case 0x80: return L"button";
    case 0x81: return L"edit";
    case 0x82: return L"static";
    case 0x83: return L"listbox";
    case 0x84: return L"scrollbar";
    case 0x85: return L"combobox";
    default: return L"?";
  }
}

DialogTemplate ReadDialogTemplate(const wchar_t* name) {
  DialogTemplate dialog;
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceW(module, name, MAKEINTRESOURCEW(5));  // RT_DIALOG
  if (resource == nullptr) return dialog;
  const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(module, resource)));
  EXPECT_EQ(p[0], 1);  // extended template
  EXPECT_EQ(p[1], 0xFFFF);
  const DWORD* header = reinterpret_cast<const DWORD*>(p + 2);
  dialog.style = header[2];
  const WORD* q = reinterpret_cast<const WORD*>(header + 3);
  int count = q[0];
  dialog.width = short(q[3]);
  dialog.height = short(q[4]);
  q = ReadNameOrOrdinal(q + 5, nullptr, nullptr);  // menu
  q = ReadNameOrOrdinal(q, nullptr, nullptr);      // class
  q = ReadNameOrOrdinal(q, &dialog.caption, nullptr);
  if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
    q += 3;  // point size, weight, italic and character set
    q = ReadNameOrOrdinal(q, &dialog.font, nullptr);
  }
  for (int i = 0; i < count; ++i) {
    q = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(q) + 3) & ~uintptr_t(3));
    const DWORD* item = reinterpret_cast<const DWORD*>(q);
    TemplateItem entry;
    entry.style = item[2];
    const short* geometry = reinterpret_cast<const short*>(item + 3);
    entry.bounds = {geometry[0], geometry[1], geometry[0] + geometry[2], geometry[1] + geometry[3]};
    entry.id = int(*reinterpret_cast<const DWORD*>(geometry + 4));
    q = reinterpret_cast<const WORD*>(geometry + 6);
    int atom = -1;
    q = ReadNameOrOrdinal(q, &entry.className, &atom);
    if (atom >= 0) entry.className = AtomClassName(atom);
    // Class names are matched without regard to case, and the resource compiler upper-cases them.
    std::transform(entry.className.begin(), entry.className.end(), entry.className.begin(), towlower);
    q = ReadNameOrOrdinal(q, &entry.text, &entry.iconOrdinal);
    WORD extra = *q++;
    q = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(q) + extra);
    dialog.items.push_back(entry);
  }
  return dialog;
}

const TemplateItem* FindItem(const DialogTemplate& dialog, int id) {
  for (const TemplateItem& item : dialog.items)
    if (item.id == id) return &item;
  return nullptr;
}

struct RowControls {
  const wchar_t* label;
  int valueBox, trackBar;
};
const RowControls kRows[SLIDER_ROW_COUNT] = {
    {L"&Quantity", 1025, 1026}, {L"&Intensity", 1005, 1004}, {L"&Length", 1007, 1006},
    {L"&Angle", 1009, 1008}, {L"&Number of Points", 1011, 1010}, {L"&Spike Sharpness", 1022, 1024},
    {L"Spi&ke Spread", 1032, 1033}, {L"&Color Saturation", 1013, 1012}, {L"&Rainbow Intensity", 1015, 1014},
    {L"Rainbow &Frequency", 1017, 1016}, {L"S&econdary Spike Intensity", 1019, 1018},
    {L"Soft Flare Intensit&y", 1021, 1020}, {L"&Brightness", 1250, 1251}, {L"&Cyan / Red", 1255, 1256},
    {L"&Magenta / Green", 1260, 1261}, {L"&Yellow / Blue", 1265, 1266}, {L"Move &Left / Right", 1270, 1271},
    {L"Move &Up / Down", 1275, 1276},
};

TEST(DialogResources, TheTemplateHasTheSizeCaptionFontAndAResizableFrame) {
  DialogTemplate dialog = ReadDialogTemplate(L"HALVORNDIALOG_ADVANCED");
  ASSERT_FALSE(dialog.items.empty()) << "template HALVORNDIALOG_ADVANCED not found";
  EXPECT_EQ(dialog.width, 669);
  EXPECT_EQ(dialog.height, 449);
  EXPECT_EQ(dialog.caption, L"Halvorn Pro 3");
  EXPECT_EQ(dialog.font, L"Tahoma");
  EXPECT_TRUE(dialog.style & WS_THICKFRAME);
  EXPECT_LE(dialog.items.size(), 150u) << "the resize table holds 150 controls";
  std::set<int> ids;
  for (const TemplateItem& item : dialog.items) EXPECT_TRUE(ids.insert(item.id).second) << "id " << item.id << " twice";
}

TEST(DialogResources, EveryControlExistsWithItsKindTextAndState) {
  DialogTemplate dialog = ReadDialogTemplate(L"HALVORNDIALOG_ADVANCED");
  struct Expected {
    int id;
    const wchar_t* className;
    const wchar_t* text;  // null: not checked
    int icon;             // -1: none
    bool visible, enabled;
  };
  const Expected kControls[] = {
      {IDOK, L"button", L"OK", -1, true, true},
      {IDCANCEL, L"button", L"Cancel", -1, true, true},
      {1084, L"static", nullptr, IDB_LOGO, true, true},
      {1192, L"static", nullptr, IDI_HELP, true, true},
      {1046, L"button", L"Se&ttings:", -1, true, true},
      {1023, L"combobox", nullptr, -1, true, true},
      {1050, L"static", nullptr, IDI_SETTINGS_MENU, true, true},
      {1079, L"button", L"Main Diffraction Spikes", -1, true, true},
      {1183, L"static", L"Effect&:", -1, true, true},
      {1182, L"combobox", nullptr, -1, true, true},
      {1080, L"button", L"Effects Color", -1, true, true},
      {1081, L"button", L"Secondary Effects", -1, true, true},
      {1277, L"button", L"Edit Individual Effect", -1, false, true},
      {1122, L"button", L"Effects &Only", -1, true, true},
      {1002, L"button", L"&Preview", -1, true, true},
      {1191, L"button", L"Configure", -1, true, true},
      {1000, L"button", L"Help and Support", -1, true, true},
      {1043, L"static", nullptr, IDI_PAN_TOOL, true, true},
      {1169, L"static", L"Pan", -1, true, true},
      {1044, L"static", nullptr, IDI_ZOOM_TOOL, true, true},
      {1170, L"static", L"Zoom", -1, true, true},
      {1123, L"static", nullptr, IDI_HIDE_TOOL, true, false},
      {1171, L"static", L"Hide", -1, true, true},
      {1184, L"static", nullptr, IDI_SHOW_TOOL, true, false},
      {1185, L"static", L"Show", -1, true, true},
      {1245, L"static", nullptr, IDI_EDIT_TOOL, true, false},
      {1246, L"static", L"Edit", -1, true, true},
      {1049, L"button", nullptr, -1, true, true},
      {1040, L"proxydisplay", nullptr, -1, true, true},
      {1042, L"static", nullptr, -1, true, true},
      {1045, L"static", nullptr, -1, true, true},
      {1031, L"msctls_progress32", nullptr, -1, true, true},
      {1030, L"scrollbar", nullptr, -1, true, false},
      {1028, L"scrollbar", nullptr, -1, true, false},
      {1087, L"static", nullptr, -1, true, true},
      {1085, L"static", nullptr, -1, true, true},
      {1082, L"static", nullptr, -1, true, true},
      {1083, L"static", nullptr, IDI_SIZE_GRIP, true, true},
  };
  for (const Expected& expected : kControls) {
    const TemplateItem* item = FindItem(dialog, expected.id);
    ASSERT_NE(item, nullptr) << "control " << expected.id;
    EXPECT_EQ(item->className, expected.className) << "control " << expected.id;
    if (expected.text != nullptr) {
      EXPECT_EQ(item->text, expected.text) << "control " << expected.id;
    }
    if (expected.icon >= 0) {
      EXPECT_EQ(item->iconOrdinal, expected.icon) << "control " << expected.id;
      // The resource compiler's ICON statement drops the size, and a static sized by its
      // control then shows nothing.
      EXPECT_FALSE(IsRectEmpty(&item->bounds)) << "control " << expected.id;
      // Without its type the static shows the ordinal as an empty text, not the image.
      DWORD type = expected.id == IDC_LOGO ? SS_BITMAP : SS_ICON;
      EXPECT_EQ(item->style & SS_TYPEMASK, type) << "control " << expected.id;
    }
    EXPECT_EQ((item->style & WS_VISIBLE) != 0, expected.visible) << "control " << expected.id;
    EXPECT_EQ((item->style & WS_DISABLED) == 0, expected.enabled) << "control " << expected.id;
  }
  const TemplateItem* ok = FindItem(dialog, IDOK);
  EXPECT_EQ(ok->style & 0x0F, DWORD(BS_DEFPUSHBUTTON));
  for (int id : {1046, 1049, 1079, 1080, 1081, 1277}) EXPECT_EQ(FindItem(dialog, id)->style & 0x0F, DWORD(BS_GROUPBOX)) << id;
  for (int id : {1002, 1122}) EXPECT_EQ(FindItem(dialog, id)->style & 0x0F, DWORD(BS_AUTOCHECKBOX)) << id;
  for (int id : {1023, 1182}) EXPECT_EQ(FindItem(dialog, id)->style & 0x03, DWORD(CBS_DROPDOWNLIST)) << id;
}

TEST(DialogResources, EachSliderRowHasItsLabelValueBoxTrackBarAndIcons) {
  DialogTemplate dialog = ReadDialogTemplate(L"HALVORNDIALOG_ADVANCED");
  for (int row = 0; row < SLIDER_ROW_COUNT; ++row) {
    SCOPED_TRACE(row);
    bool editorRow = row >= 12;
    const TemplateItem* label = FindItem(dialog, IDC_ROW_LABEL + row);
    const TemplateItem* valueBox = FindItem(dialog, kRows[row].valueBox);
    const TemplateItem* trackBar = FindItem(dialog, kRows[row].trackBar);
    const TemplateItem* leftIcon = FindItem(dialog, IDC_ROW_LEFT_ICON + row);
    const TemplateItem* rightIcon = FindItem(dialog, IDC_ROW_RIGHT_ICON + row);
    ASSERT_TRUE(label && valueBox && trackBar && leftIcon && rightIcon);
    EXPECT_EQ(label->text, kRows[row].label);
    EXPECT_EQ(valueBox->className, L"richedit20a");
    EXPECT_EQ(trackBar->className, L"msctls_trackbar32");
    EXPECT_EQ(leftIcon->iconOrdinal, IDI_ROW_LEFT + row);
    EXPECT_EQ(rightIcon->iconOrdinal, IDI_ROW_RIGHT + row);
    EXPECT_FALSE(IsRectEmpty(&leftIcon->bounds));
    EXPECT_FALSE(IsRectEmpty(&rightIcon->bounds));
    EXPECT_EQ(leftIcon->style & SS_TYPEMASK, DWORD(SS_ICON));
    EXPECT_EQ(rightIcon->style & SS_TYPEMASK, DWORD(SS_ICON));
    for (const TemplateItem* item : {label, valueBox, trackBar, leftIcon, rightIcon})
      EXPECT_EQ((item->style & WS_VISIBLE) == 0, editorRow) << "control " << item->id;
    // The row reads left to right: icon, track bar, icon; the value box above the right end.
    EXPECT_LT(leftIcon->bounds.right, trackBar->bounds.left + 1);
    EXPECT_LT(trackBar->bounds.right, rightIcon->bounds.left + 1);
    EXPECT_LE(valueBox->bounds.bottom, trackBar->bounds.top + 1);
  }
}

TEST(DialogResources, VisibleControlsOfThePanelDoNotOverlap) {
  DialogTemplate dialog = ReadDialogTemplate(L"HALVORNDIALOG_ADVANCED");
  std::vector<const TemplateItem*> solid;
  for (const TemplateItem& item : dialog.items) {
    bool groupBox = item.className == L"button" && (item.style & 0x0F) == BS_GROUPBOX;
    if ((item.style & WS_VISIBLE) && !groupBox) solid.push_back(&item);
  }
  for (size_t i = 0; i < solid.size(); ++i) {
    for (size_t j = i + 1; j < solid.size(); ++j) {
      const RECT& a = solid[i]->bounds;
      RECT b = solid[j]->bounds;
      // A drop-down list's template height includes its list, which opens over the controls below.
      if (solid[i]->className == L"combobox" || solid[j]->className == L"combobox") continue;
      RECT overlap;
      EXPECT_FALSE(IntersectRect(&overlap, &a, &b)) << solid[i]->id << " overlaps " << solid[j]->id;
    }
  }
  for (const TemplateItem* item : solid) {
    EXPECT_GE(item->bounds.left, 0);
    EXPECT_LE(item->bounds.right, dialog.width) << item->id;
    EXPECT_LE(item->bounds.bottom, dialog.height) << item->id;
  }
}

std::vector<ACCEL> AcceleratorEntries(int id) {
  HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
  if (table == nullptr) return {};
  std::vector<ACCEL> entries(CopyAcceleratorTableW(table, nullptr, 0));
  CopyAcceleratorTableW(table, entries.data(), int(entries.size()));
  DestroyAcceleratorTable(table);
  return entries;
}

bool HasEntry(const std::vector<ACCEL>& entries, BYTE modifiers, WORD key, WORD command) {
  for (const ACCEL& entry : entries)
    if ((entry.fVirt & ~FNOINVERT) == modifiers && entry.key == key && entry.cmd == command) return true;
  return false;
}

bool HasKey(const std::vector<ACCEL>& entries, BYTE modifiers, WORD key) {
  for (const ACCEL& entry : entries)
    if ((entry.fVirt & ~FNOINVERT) == modifiers && entry.key == key) return true;
  return false;
}

struct KeyCommand {
  BYTE modifiers;
  WORD key;
  WORD command;
};

// Keys both tables share: the preview, tools, zoom, options and help.
const KeyCommand kSharedKeys[] = {
    {FVIRTKEY, 'P', 40055}, {FVIRTKEY, 'O', 40079}, {FVIRTKEY, 'D', 40066}, {FVIRTKEY, 'H', 40050},
    {FVIRTKEY, 'Z', 40053}, {FVIRTKEY, 'X', 40081}, {0, '+', 40092}, {0, '*', 40113}, {FVIRTKEY, 'V', 40064},
    {FVIRTKEY | FCONTROL, '0', 40070}, {FVIRTKEY | FCONTROL, '1', 40128}, {FVIRTKEY | FCONTROL | FALT, '0', 40128},
    {FVIRTKEY | FCONTROL, 'O', 40072}, {FVIRTKEY | FCONTROL, VK_ADD, 40062}, {FVIRTKEY | FCONTROL, VK_OEM_PLUS, 40062},
    {FVIRTKEY | FCONTROL, VK_SUBTRACT, 40063}, {FVIRTKEY | FCONTROL, VK_OEM_MINUS, 40063},
    {FVIRTKEY, VK_F10, 40093}, {0, '?', 40099}, {FVIRTKEY, VK_HELP, 40085},
};

const KeyCommand kMainOnlyKeys[] = {
    {FVIRTKEY, 'Q', 40088}, {FVIRTKEY, 'I', 40051}, {FVIRTKEY, 'L', 40052}, {FVIRTKEY, 'A', 40048},
    {FVIRTKEY, 'N', 40054}, {FVIRTKEY, 'S', 40077}, {FVIRTKEY, 'K', 40078}, {FVIRTKEY, 'C', 40049},
    {FVIRTKEY, 'R', 40057}, {FVIRTKEY, 'F', 40056}, {FVIRTKEY, 'E', 40059}, {FVIRTKEY, 'Y', 40061},
    {FVIRTKEY, 'T', 40060}, {0, ':', 40090}, {FVIRTKEY, 'M', 40083},
};

const KeyCommand kEditorOnlyKeys[] = {
    {0, 'b', 40114}, {0, 'c', 40115}, {0, 'm', 40116}, {0, 'y', 40117}, {0, 'l', 40118}, {0, 'u', 40119},
};

TEST(DialogResources, TheMainAcceleratorTableHoldsTheKeysOfTheParameterPanel) {
  std::vector<ACCEL> main = AcceleratorEntries(IDA_MAIN_ACCELERATORS);
  ASSERT_FALSE(main.empty());
  for (const KeyCommand& key : kSharedKeys) EXPECT_TRUE(HasEntry(main, key.modifiers, key.key, key.command)) << key.command;
  for (const KeyCommand& key : kMainOnlyKeys) EXPECT_TRUE(HasEntry(main, key.modifiers, key.key, key.command)) << key.command;
  for (const KeyCommand& key : kEditorOnlyKeys) EXPECT_FALSE(HasKey(main, key.modifiers, key.key)) << key.command;
  EXPECT_EQ(main.size(), std::size(kSharedKeys) + std::size(kMainOnlyKeys));
}

TEST(DialogResources, TheEditorTableDropsTheSliderLettersAndAddsItsOwnRows) {
  std::vector<ACCEL> editor = AcceleratorEntries(IDA_EDITOR_ACCELERATORS);
  ASSERT_FALSE(editor.empty());
  for (const KeyCommand& key : kSharedKeys) EXPECT_TRUE(HasEntry(editor, key.modifiers, key.key, key.command)) << key.command;
  for (const KeyCommand& key : kEditorOnlyKeys) EXPECT_TRUE(HasEntry(editor, key.modifiers, key.key, key.command)) << key.command;
  for (const KeyCommand& key : kMainOnlyKeys) EXPECT_FALSE(HasKey(editor, key.modifiers, key.key)) << key.command;
  EXPECT_EQ(editor.size(), std::size(kSharedKeys) + std::size(kEditorOnlyKeys));
}

std::vector<std::pair<UINT, std::wstring>> MenuItems(HMENU menu) {
  std::vector<std::pair<UINT, std::wstring>> items;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 64;
    GetMenuItemInfoW(menu, i, TRUE, &info);
    items.emplace_back((info.fType & MFT_SEPARATOR) ? 0 : info.wID, (info.fType & MFT_SEPARATOR) ? L"-" : text);
  }
  return items;
}

TEST(DialogResources, TheZoomMenuListsTheLevelsFromSmallToLargeThenTheFits) {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_ZOOM_MENU));
  ASSERT_NE(menu, nullptr);
  wchar_t title[16] = {};
  GetMenuStringW(menu, 0, title, 16, MF_BYPOSITION);
  EXPECT_STREQ(title, L"Zoom");
  auto items = MenuItems(GetSubMenu(menu, 0));
  const std::vector<std::pair<UINT, std::wstring>> kExpected = {
      {40017, L"6%"}, {40016, L"12%"}, {40015, L"25%"}, {40014, L"33%"}, {40013, L"50%"}, {40012, L"66%"},
      {0, L"-"}, {40011, L"100%"}, {0, L"-"}, {40010, L"200%"}, {40009, L"300%"}, {40008, L"400%"},
      {40007, L"600%"}, {40006, L"800%"}, {40005, L"1000%"}, {40004, L"1200%"}, {40003, L"1600%"},
      {40002, L"3200%"}, {40001, L"6400%"}, {0, L"-"}, {40018, L"Actual Pixels"}, {40019, L"Fit in View"},
      {40020, L"Fit on Screen"}};
  EXPECT_EQ(items, kExpected);
  DestroyMenu(menu);
}

TEST(DialogResources, TheSettingsMenuOffersLoadSaveAndDelete) {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_SETTINGS_MENU));
  ASSERT_NE(menu, nullptr);
  auto items = MenuItems(GetSubMenu(menu, 0));
  const std::vector<std::pair<UINT, std::wstring>> kExpected = {
      {40096, L"Load Settings..."}, {40097, L"Save Settings..."}, {40098, L"Delete Settings"}};
  EXPECT_EQ(items, kExpected);
  DestroyMenu(menu);
}

// The images are drawn, not blank: each has opaque pixels and transparent ones (icons, cursors)
// or more than one colour (bitmaps).
int DistinctColours(HBITMAP bitmap, int* opaque, int* clear) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = info.bmWidth;
  header.bmiHeader.biHeight = -info.bmHeight;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  header.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels(size_t(info.bmWidth) * info.bmHeight);
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, info.bmHeight, pixels.data(), &header, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  std::set<DWORD> colours;
  for (DWORD pixel : pixels) {
    colours.insert(pixel & 0xFFFFFF);
    if (opaque && (pixel >> 24) >= 0x80) ++*opaque;
    if (clear && (pixel >> 24) == 0) ++*clear;
  }
  return int(colours.size());
}

TEST(DialogResources, IconsAndCursorsAreDrawnWithTransparency) {
  HMODULE module = GetModuleHandleW(nullptr);
  std::vector<std::pair<int, UINT>> images;
  for (int id : {IDI_PAN_TOOL, IDI_ZOOM_TOOL, IDI_HIDE_TOOL, IDI_SHOW_TOOL, IDI_EDIT_TOOL, IDI_HELP, IDI_SETTINGS_MENU,
                 IDI_SIZE_GRIP})
    images.emplace_back(id, IMAGE_ICON);
  for (int row = 0; row < SLIDER_ROW_COUNT; ++row) {
    images.emplace_back(IDI_ROW_LEFT + row, IMAGE_ICON);
    images.emplace_back(IDI_ROW_RIGHT + row, IMAGE_ICON);
  }
  for (int id = IDC_CURSOR_PAN; id <= IDC_CURSOR_ADD; ++id) images.emplace_back(id, IMAGE_CURSOR);
  for (auto [id, type] : images) {
    SCOPED_TRACE(id);
    HANDLE image = LoadImageW(module, MAKEINTRESOURCEW(id), type, 0, 0, LR_DEFAULTSIZE);
    ASSERT_NE(image, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(static_cast<HICON>(image), &info));
    int opaque = 0, clear = 0;
    DistinctColours(info.hbmColor, &opaque, &clear);
    EXPECT_GT(opaque, 0);
    EXPECT_GT(clear, 0);
    if (type == IMAGE_CURSOR) {
      EXPECT_GT(info.xHotspot, 0u);
      EXPECT_GT(info.yHotspot, 0u);
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    type == IMAGE_CURSOR ? DestroyCursor(static_cast<HCURSOR>(image)) : DestroyIcon(static_cast<HICON>(image));
  }
}

TEST(DialogResources, TheLogoAndSplashAreDibSectionsWithAPicture) {
  for (int id : {IDB_LOGO, IDB_SPLASH}) {
    SCOPED_TRACE(id);
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof section, &section), int(sizeof section));
    EXPECT_EQ(section.dsBmih.biBitCount, 24);
    EXPECT_EQ(section.dsBmih.biCompression, DWORD(BI_RGB));
    EXPECT_GT(DistinctColours(bitmap, nullptr, nullptr), 16);
    DeleteObject(bitmap);
  }
}

TEST(DialogResources, TheModuleCarriesTheCommonControlsManifest) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDR_MANIFEST_V6), MAKEINTRESOURCEW(24));
  ASSERT_NE(resource, nullptr);
  std::string text(static_cast<const char*>(LockResource(LoadResource(module, resource))), SizeofResource(module, resource));
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
}

}  // namespace
