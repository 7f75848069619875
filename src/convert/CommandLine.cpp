#include "CommandLine.h"

#include "framework/String.h"

namespace convert {

namespace {

const wchar_t* const kVideoOptions[] = {
    L"-ovc xvid -xvidencopts max_key_interval=120:bitrate=1200:threads=2 -ffourcc XVID",
    L"-ovc xvid -xvidencopts max_key_interval=120:bitrate=1000:threads=2 -ffourcc XVID",
    L"-ovc xvid -xvidencopts max_key_interval=120:bitrate=800:threads=2 -ffourcc XVID",
};
constexpr const wchar_t* kFrameRateOption = L"-ofps";
constexpr const wchar_t* kScaleOption = L"-vf scale -zoom -xy";
constexpr const wchar_t* kScaleWidth = L" 720";
constexpr int kMaxWidth = 720;
constexpr const wchar_t* kAudioOptions = L"-mc 0 -audio-preload 0.0 -noodml -oac mp3lame "
                                         L"-lameopts vbr=0 -lameopts br=128 -af volnorm ";

// MP4: H.264 at a constant quality by level (High, Normal, Low), a key frame every 10 s, AAC,
// the picture at most Full HD wide and 60 frames a second.
constexpr int kMp4Quality[] = {20, 23, 26};
constexpr int kMp4MaxWidth = 1920;
constexpr double kMp4MaxRate = 60.0;
constexpr double kKeySeconds = 10.0;
constexpr const wchar_t* kMp4Audio =
    L"-oac faac -faacopts br=160:mpeg=4:object=2 -af volnorm -of lavf -lavfopts format=mp4";
// Korean subtitles, drawn with the Windows Korean font.
constexpr const wchar_t* kSubtitleOptions =
    L"-font \"%s\\Fonts\\gulim.ttc\" -subcp cp949 -subfont-text-scale 4 -subfont-blur 2 "
    L"-subfont-outline 2 ";

// The SAMI file of the movie's name whether or not there is one, as ever; another file by its
// name; a track inside the movie by its number.
std::wstring SubtitleSource(const Subtitle& subtitle, const std::wstring& source) {
    if (subtitle.Classic())
        return L"-sub " + QuotedSubtitlePathFor(source);
    if (subtitle.kind == Subtitle::Kind::File)
        return L"-sub \"" + subtitle.file + L"\"";
    return L"-sid " + std::to_wstring(subtitle.track);
}

// The sound track chosen among several; nothing when there was no choice.
std::wstring AudioTrackOption(int track) {
    return track >= 0 ? L" -aid " + std::to_wstring(track) : std::wstring();
}

} // namespace

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring OutputPathFor(const std::wstring& source, OutputFormat format) {
    return FormatString(L"%s\\QV_%s.%s", FolderOf(source).c_str(), NameOf(source).c_str(),
                        format == OutputFormat::Mp4 ? L"mp4" : L"avi");
}

std::wstring QuotedSubtitlePathFor(const std::wstring& source) {
    // The last full stop anywhere: a name without extension is cut in its folder's name, and
    // a path without any leaves only the extension.
    const size_t stop = source.rfind(L'.');
    const std::wstring stem = stop == std::wstring::npos ? std::wstring() : source.substr(0, stop);
    return FormatString(L"\"%s.smi\"", stem.c_str());
}

double EncoderFrameRate(double fps, OutputFormat format) {
    if (format == OutputFormat::Mp4)
        return fps > kMp4MaxRate ? kMp4MaxRate : fps;
    return fps > 30.0 ? 29.97 : fps;
}

bool CanConvert(int width, int length, double fps) {
    return width != 0 && length != 0 && EncoderFrameRate(fps) != 0.0;
}

std::wstring EncoderCommand(const EncodeSettings& settings, const std::wstring& source) {
    const int quality = settings.quality >= 0 && settings.quality <= 2 ? settings.quality : 0;
    if (settings.format == OutputFormat::Mp4) {
        const double rate = EncoderFrameRate(settings.fps, OutputFormat::Mp4);
        const std::wstring scale = settings.width > kMp4MaxWidth
                                       ? FormatString(L"%s %d ", kScaleOption, kMp4MaxWidth)
                                       : std::wstring();
        return FormatString(
            L"\"%sbin\\mencoder.exe\" \"%s\" -o \"%s\" %s %8.3f -ovc x264 -x264encopts "
            L"crf=%d:preset=medium:keyint=%d:threads=auto %s%s %s%s%s",
            settings.programFolder.c_str(), source.c_str(),
            OutputPathFor(source, OutputFormat::Mp4).c_str(), kFrameRateOption, rate,
            kMp4Quality[quality], static_cast<int>(rate * kKeySeconds + 0.5), scale.c_str(),
            kMp4Audio, FormatString(kSubtitleOptions, settings.windowsFolder.c_str()).c_str(),
            SubtitleSource(settings.subtitle, source).c_str(),
            AudioTrackOption(settings.audioTrack).c_str());
    }
    const std::wstring scale =
        settings.width > kMaxWidth ? std::wstring(kScaleOption) + kScaleWidth : std::wstring();
    const std::wstring subtitles = FormatString(kSubtitleOptions, settings.windowsFolder.c_str()) +
                                   SubtitleSource(settings.subtitle, source);
    return FormatString(
        L"\"%sbin\\mencoder.exe\" \"%s\" -o \"%s\" %s %8.3f %s %s %s %s%s",
        settings.programFolder.c_str(), source.c_str(), OutputPathFor(source).c_str(),
        kFrameRateOption, EncoderFrameRate(settings.fps), kVideoOptions[quality], scale.c_str(),
        kAudioOptions, subtitles.c_str(), AudioTrackOption(settings.audioTrack).c_str());
}

} // namespace convert
