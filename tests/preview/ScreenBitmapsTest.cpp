// The preview's DIB sections: their header, remaking them without losing the old one on failure,
// and selecting the background bitmap into a DC and out again.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "preview/ScreenBitmaps.h"

namespace {

class ScreenBitmapsTest : public ::testing::Test {
 protected:
  void SetUp() override { m_Context = CreateCompatibleDC(nullptr); }
  void TearDown() override {
    if (gSavedDCState != 0) DetachBackgroundBitmap(m_Context);
    FreeContextBitmap(&gBackgroundBitmap);
    DeleteDC(m_Context);
  }
  HDC m_Context = nullptr;
};

}  // namespace

TEST_F(ScreenBitmapsTest, BitmapHasThirtyTwoBitWindowsColourSpaceHeader) {
  ContextBitmap bitmap;
  ASSERT_TRUE(MakeContextBitmap(&bitmap, m_Context, 40, 30));
  EXPECT_EQ(bitmap.header.bV5Size, sizeof(BITMAPV5HEADER));
  EXPECT_EQ(bitmap.header.bV5Width, 40);
  EXPECT_EQ(bitmap.header.bV5Height, 30);
  EXPECT_EQ(bitmap.header.bV5Planes, 1);
  EXPECT_EQ(bitmap.header.bV5BitCount, 32);
  EXPECT_EQ(bitmap.header.bV5Compression, DWORD(BI_RGB));
  EXPECT_EQ(bitmap.header.bV5CSType, kWindowsColorSpace);
  EXPECT_EQ(bitmap.header.bV5Intent, DWORD(LCS_GM_IMAGES));
  EXPECT_EQ(bitmap.width, 40);
  EXPECT_EQ(bitmap.height, 30);
  EXPECT_EQ(bitmap.rect.right, 40);
  EXPECT_EQ(bitmap.rect.bottom, 30);
  DIBSECTION section{};
  ASSERT_EQ(GetObjectW(bitmap.bitmap, sizeof section, &section), int(sizeof section));
  EXPECT_EQ(section.dsBm.bmBits, bitmap.pixels);
  EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
  static_cast<uint32_t*>(bitmap.pixels)[40 * 30 - 1] = 0x00ABCDEF;  // the whole block is writable
  FreeContextBitmap(&bitmap);
}

TEST_F(ScreenBitmapsTest, RemakingReplacesAndFailingKeepsTheOld) {
  ContextBitmap bitmap;
  ASSERT_TRUE(MakeContextBitmap(&bitmap, m_Context, 8, 8));
  HBITMAP first = bitmap.bitmap;
  ASSERT_TRUE(MakeContextBitmap(&bitmap, m_Context, 16, 12));
  EXPECT_NE(bitmap.bitmap, first);
  EXPECT_EQ(GetObjectType(first), 0u) << "old bitmap leaked";
  EXPECT_EQ(bitmap.width, 16);
  HBITMAP second = bitmap.bitmap;
  EXPECT_FALSE(MakeContextBitmap(&bitmap, m_Context, 0, 12));
  EXPECT_FALSE(MakeContextBitmap(&bitmap, m_Context, 16, -3));
  EXPECT_EQ(bitmap.bitmap, second);
  EXPECT_EQ(GetObjectType(second), DWORD(OBJ_BITMAP));
  EXPECT_EQ(bitmap.width, 16);
  FreeContextBitmap(&bitmap);
  EXPECT_EQ(GetObjectType(second), 0u);
  EXPECT_EQ(bitmap.bitmap, nullptr);
  EXPECT_EQ(bitmap.pixels, nullptr);
  EXPECT_EQ(bitmap.width, 0);
}

TEST_F(ScreenBitmapsTest, AttachSelectsAndDetachRestores) {
  ASSERT_TRUE(MakeContextBitmap(&gBackgroundBitmap, m_Context, 10, 10));
  HGDIOBJ original = GetCurrentObject(m_Context, OBJ_BITMAP);
  ReportCapture capture;
  ASSERT_TRUE(AttachBackgroundBitmap(m_Context));
  EXPECT_NE(gSavedDCState, 0);
  EXPECT_EQ(BackgroundBitmapDC(), m_Context);
  EXPECT_EQ(GetCurrentObject(m_Context, OBJ_BITMAP), gBackgroundBitmap.bitmap);
  EXPECT_EQ(SetPixel(m_Context, 3, 0, RGB(0x12, 0x34, 0x56)), RGB(0x12, 0x34, 0x56));
  GdiFlush();
  // Bottom-up: the DC's top row is the last row of the pixel block.
  EXPECT_EQ(static_cast<const uint32_t*>(gBackgroundBitmap.pixels)[9 * 10 + 3] & 0xFFFFFFu, 0x123456u);

  EXPECT_FALSE(AttachBackgroundBitmap(m_Context));
  EXPECT_TRUE(capture.HasReport("AttachBackgroundBitmap() - Tried to overwrite a previously saved DC context."));
  ASSERT_TRUE(DetachBackgroundBitmap(m_Context));
  EXPECT_EQ(gSavedDCState, 0);
  EXPECT_EQ(BackgroundBitmapDC(), nullptr);
  EXPECT_EQ(GetCurrentObject(m_Context, OBJ_BITMAP), original);
  EXPECT_FALSE(DetachBackgroundBitmap(m_Context));
  EXPECT_TRUE(capture.HasReport("DetachBackgroundBitmap() - The saved context is invalid."));
}

TEST_F(ScreenBitmapsTest, InvalidDeviceContextsAndMissingBitmapAreRefused) {
  ReportCapture capture;
  EXPECT_FALSE(AttachBackgroundBitmap(nullptr));
  EXPECT_TRUE(capture.HasReport("AttachBackgroundBitmap() - The Device Context specified is invalid."));
  EXPECT_FALSE(DetachBackgroundBitmap(nullptr));
  EXPECT_TRUE(capture.HasReport("DetachBackgroundBitmap() - The Device Context specified is invalid."));
  EXPECT_FALSE(AttachBackgroundBitmap(m_Context));  // no background bitmap made yet
  EXPECT_TRUE(capture.HasReport("AttachBackgroundBitmap() - Could not attach background bitmap to the device context."));
  EXPECT_EQ(gSavedDCState, 0);
}
