// Where the picture goes in the frame, and the player's command line.
#include "preview/PreviewPlan.h"

#include <gtest/gtest.h>

using preview::FitPicture;

namespace {
void ExpectRect(const preview::PaneRect& r, int x, int y, int width, int height) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, width);
    EXPECT_EQ(r.height, height);
}
} // namespace

TEST(FitPicture, FillsOneDimensionAndCentresTheOther) {
    ExpectRect(FitPicture(300, 200, 400, 400), 50, 0, 200, 200);
    ExpectRect(FitPicture(300, 200, 1280, 544), 0, 36, 300, 127);
    ExpectRect(FitPicture(300, 200, 150, 100), 0, 0, 300, 200);
}

TEST(FitPicture, UnknownSizeFillsTheFrame) {
    ExpectRect(FitPicture(300, 200, 0, 0), 0, 0, 300, 200);
    ExpectRect(FitPicture(300, 200, 640, 0), 0, 0, 300, 200);
    ExpectRect(FitPicture(300, 200, 0, 352), 0, 0, 300, 200);
}

TEST(PlayCommand, PaneAsSignedDecimalAndPathInQuotes) {
    EXPECT_EQ(preview::PlayCommand(L"C:\\Q\\", L"C:\\WINDOWS", L"gl",
                                   reinterpret_cast<HWND>(static_cast<INT_PTR>(0x2004C)),
                                   L"D:\\My Movies\\a b.avi"),
              L"\"C:\\Q\\bin\\mplayer.exe\" -font \"C:\\WINDOWS\\Fonts\\gulim.ttc\" -vo gl -vf "
              L"scale -subcp cp949 -osdlevel 0 -wid 131148 \"D:\\My Movies\\a b.avi\"");
    const std::wstring high =
        preview::PlayCommand(L"C:\\Q\\", L"C:\\W", L"gl",
                             reinterpret_cast<HWND>(static_cast<INT_PTR>(0xFFFFFFF0u)), L"a.avi");
    EXPECT_NE(high.find(L"-wid -16 "), std::wstring::npos) << high;
}
