#include "PreviewPlan.h"

#include "framework/String.h"

#include <algorithm>

namespace preview {

std::wstring PlayCommand(const std::wstring& programFolder, const std::wstring& windowsFolder,
                         const wchar_t* videoOutput, HWND pane, const std::wstring& path,
                         const Subtitle& subtitle, int audioTrack) {
    std::wstring chosen = audioTrack >= 0 ? L"-aid " + std::to_wstring(audioTrack) + L" " : L"";
    if (subtitle.kind == Subtitle::Kind::Track)
        chosen += L"-sid " + std::to_wstring(subtitle.track) + L" ";
    else if (!subtitle.Classic())
        chosen += L"-sub \"" + subtitle.file + L"\" ";
    return FormatString(L"\"%sbin\\mplayer.exe\" -font \"%s\\Fonts\\gulim.ttc\" -vo %s -vf scale "
                        L"-subcp cp949 -osdlevel 0 -wid %d %s\"%s\"",
                        programFolder.c_str(), windowsFolder.c_str(), videoOutput,
                        static_cast<int>(reinterpret_cast<INT_PTR>(pane)), chosen.c_str(),
                        path.c_str());
}

PaneRect FitPicture(int frameWidth, int frameHeight, int pictureWidth, int pictureHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return {0, 0, frameWidth, frameHeight};
    const double scale = std::min(static_cast<double>(frameHeight) / pictureHeight,
                                  static_cast<double>(frameWidth) / pictureWidth);
    const int width = static_cast<int>(pictureWidth * scale);
    const int height = static_cast<int>(pictureHeight * scale);
    return {(frameWidth - width) / 2, (frameHeight - height) / 2, width, height};
}

} // namespace preview
