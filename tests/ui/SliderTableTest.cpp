// The slider table against the rest of the plug-in: the parameter ranges and defaults it edits,
// the dialog's controls and icons, the control sets and the editor's values.
#include <gtest/gtest.h>

#include <set>

#include "params/ParameterBlock.h"
#include "support/ModuleInstance.h"
#include "ui/ControlSets.h"
#include "ui/EditorSliderValues.h"
#include "ui/SliderTable.h"

TEST(SliderTable, ParameterRowsAgreeWithTheParameterTable) {
  std::set<int32_t> bound;
  for (int n = 0; n < kFirstEditorRow; ++n) {
    const SliderRow& row = kSliderRows[n];
    ASSERT_EQ(row.binding, BIND_PARAMETER) << row.name;
    const ParameterRow* parameter = FindParameterRow(row.boundIndex);
    ASSERT_NE(parameter, nullptr) << row.name;
    EXPECT_EQ(row.minimum, parameter->minimum) << row.name;
    EXPECT_EQ(row.maximum, parameter->maximum) << row.name;
    EXPECT_EQ(row.defaultValue, parameter->defaultValue) << row.name;
    EXPECT_TRUE(bound.insert(row.boundIndex).second) << row.name << " edits a value another row edits";
  }
}

TEST(SliderTable, EditorRowsEditTheSixEditorValuesInOrder) {
  for (int n = kFirstEditorRow; n < kSliderRowCount; ++n) {
    EXPECT_EQ(kSliderRows[n].binding, BIND_EDITOR);
    EXPECT_EQ(kSliderRows[n].boundIndex, n - kFirstEditorRow);
  }
  EXPECT_EQ(kSliderRowCount - kFirstEditorRow, kEditorSliderCount);
}

TEST(SliderTable, EveryRowIsConsistent) {
  std::set<int> controls;
  for (int n = 0; n < kSliderRowCount; ++n) {
    const SliderRow& row = kSliderRows[n];
    SCOPED_TRACE(row.name);
    EXPECT_LT(row.minimum, row.maximum);
    EXPECT_GE(row.defaultValue, row.minimum);
    EXPECT_LE(row.defaultValue, row.maximum);
    EXPECT_GT(row.lineStep, 0);
    EXPECT_GE(row.pageStep, row.lineStep);
    EXPECT_GE(row.ctrlStep, row.lineStep);
    EXPECT_GT(row.textLimit, 0);
    for (int id : {int(row.valueBox), int(row.trackBar), row.leftIcon, row.rightIcon, row.label}) {
      EXPECT_TRUE(controls.insert(id).second) << "control " << id << " belongs to two rows";
    }
    EXPECT_EQ(row.leftIcon, IDC_ROW_LEFT_ICON + n);
    EXPECT_EQ(row.label, IDC_ROW_LABEL + n);
    EXPECT_EQ(FindSliderRowByValueBox(row.valueBox), n);
    EXPECT_EQ(FindSliderRowByTrackBar(row.trackBar), n);
    EXPECT_NE(row.textTip, nullptr);
    EXPECT_NE(row.trackTip, nullptr);
  }
  EXPECT_EQ(FindSliderRowByValueBox(IDOK), -1);
}

TEST(SliderTable, ParameterRowsShowInTheMainSetAndEditorRowsInTheEditor) {
  for (int n = 0; n < kSliderRowCount; ++n) {
    const SliderRow& row = kSliderRows[n];
    bool editor = n >= kFirstEditorRow;
    EXPECT_EQ(SliderRowInSet(row, CTLSET_MAIN), !editor) << row.name;
    EXPECT_EQ(SliderRowInSet(row, CTLSET_EDIT_COLOR), editor) << row.name;
    EXPECT_FALSE(SliderRowInSet(row, CTLSET_NONE)) << row.name;
  }
  // A grayscale image has brightness and position to edit, but no colour balance.
  for (int n : {12, 16, 17}) EXPECT_TRUE(SliderRowInSet(kSliderRows[n], CTLSET_EDIT_GRAY));
  for (int n : {13, 14, 15}) EXPECT_FALSE(SliderRowInSet(kSliderRows[n], CTLSET_EDIT_GRAY));
}

TEST(SliderTable, EveryRowHasAnIconForEveryColourSchemeInTheModule) {
  for (const SliderRow& row : kSliderRows) {
    for (int scheme = 0; scheme < kSchemeCount; ++scheme) {
      for (int image : {row.leftImages[scheme], row.rightImages[scheme]}) {
        HICON icon = static_cast<HICON>(LoadImageW(GetPluginInstance(), MAKEINTRESOURCEW(image), IMAGE_ICON, 16, 16, 0));
        EXPECT_NE(icon, nullptr) << row.name << " scheme " << scheme << " icon " << image;
        if (icon != nullptr) DestroyIcon(icon);
      }
    }
    // The dark schemes (1-3) and the light ones (0, 4, 5) get different drawings.
    EXPECT_NE(row.leftImages[3], row.leftImages[4]) << row.name;
    EXPECT_EQ(row.leftImages[0], row.leftImages[5]) << row.name;
    EXPECT_EQ(row.rightImages[1], row.rightImages[2]) << row.name;
  }
}
