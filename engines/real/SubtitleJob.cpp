#include "SubtitleJob.h"

#include "Tracks.h"
#include "common/File.h"
#include "common/Handle.h"
#include "common/Text.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <utility>

namespace {

// A subtitle file; the limit leaves room for the largest we have seen many times over.
std::string ReadBytes(const std::wstring& path) {
    return ReadWholeFile(PathForFFmpeg(path), 64u << 20);
}

} // namespace

namespace {
constexpr const wchar_t* kFolderPrefix = L"qv-subs-";

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(folder + L"\\" + name);
            else
                DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}
} // namespace

// The folders of engines that were ended before they could remove their own (Stop, quitting
// and the preview's time-outs end the engine outright).
static void RemoveFoldersOfGoneEngines(const std::wstring& temp) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((temp + kFolderPrefix + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        const DWORD pid = wcstoul(data.cFileName + wcslen(kFolderPrefix), nullptr, 10);
        const OwnedHandle engine(OpenProcess(SYNCHRONIZE, FALSE, pid));
        const bool running = engine && WaitForSingleObject(engine, 0) == WAIT_TIMEOUT;
        if (!running && pid != GetCurrentProcessId())
            RemoveFolder(temp + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

namespace {

// Runs an ffmpeg that copies a track out, to its end. False when it fails, is cancelled, or
// prints nothing (not even its progress) for the stall limit.
bool RunCopy(const std::wstring& line, const std::wstring& folder,
             const std::atomic<bool>* cancel) {
    Child ffmpeg;
    if (!ffmpeg.Start(line, folder, Child::kPipe, Child::kPipe))
        return false;
    const DWORD stallMs = StallLimitMs();
    ULONGLONG lastMove = GetTickCount64();
    std::string output;
    while (ffmpeg.ReadAvailable(output)) {
        const ULONGLONG now = GetTickCount64();
        if (!output.empty())
            lastMove = now;
        output.clear();
        if ((cancel && *cancel) || now - lastMove >= stallMs) {
            ffmpeg.Terminate();
            return false;
        }
        Sleep(20);
    }
    return ffmpeg.Wait(10000) == 0;
}

} // namespace

SubtitleJob::SubtitleJob(SubtitleJob&& other) noexcept
    : m_folder(std::exchange(other.m_folder, {})), m_burnt(std::exchange(other.m_burnt, {})) {}

SubtitleJob& SubtitleJob::operator=(SubtitleJob&& other) noexcept {
    if (this != &other) {
        Remove();
        m_folder = std::exchange(other.m_folder, {});
        m_burnt = std::exchange(other.m_burnt, {});
    }
    return *this;
}

SubtitleJob::~SubtitleJob() {
    Remove();
}

void SubtitleJob::Remove() {
    if (!m_folder.empty())
        RemoveFolder(m_folder);
    m_folder.clear();
}

bool SubtitleJob::MakeFolder() {
    if (!m_folder.empty())
        return true;
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    RemoveFoldersOfGoneEngines(temp);
    static std::atomic<int> counter = 0;
    // An engine that had our process id before us may have left its folder: the next name.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring folder = std::wstring(temp) + kFolderPrefix +
                                    std::to_wstring(GetCurrentProcessId()) + L"-" +
                                    std::to_wstring(++counter);
        if (CreateDirectoryW(folder.c_str(), nullptr) &&
            CreateDirectoryW((folder + L"\\fonts").c_str(), nullptr)) {
            m_folder = folder;
            return true;
        }
    }
    return false;
}

bool SubtitleJob::Prepare(const std::vector<SubtitleSource>& sources, const SubtitleChoice& choice,
                          const std::wstring& movie, const MediaFacts& facts, SubtitleStyle style,
                          const std::atomic<bool>* cancel) {
    std::wstring font;
    bool fontChosen = false;
    for (const SubtitleSource& source : sources) {
        if (cancel && *cancel)
            break;
        std::string bytes;
        if (!source.file.empty())
            bytes = ReadBytes(source.file);
        else if (!CopyTrack(movie, facts, source.track, cancel, bytes))
            continue;
        if (bytes.empty())
            continue;
        // The font is read once, and only for a file with something in it.
        if (!fontChosen) {
            font = SubtitleFontFile(choice.font);
            if (!font.empty()) {
                FontFace face = ReadFontFace(font);
                style.font = std::move(face.family);
                style.characters = std::move(face.characters);
            }
            fontChosen = true;
        }
        const std::string script = ScriptFor(DecodeText(bytes, CodePageOf(choice.codePage)), style);
        if (script.empty())
            continue;
        if (!WriteScript(script, font))
            break;
        m_burnt = source;
        return true;
    }
    Remove();
    return false;
}

bool SubtitleJob::CopyTrack(const std::wstring& movie, const MediaFacts& facts, int n,
                            const std::atomic<bool>* cancel, std::string& bytes) {
    if (n < 0 || n >= static_cast<int>(facts.subtitles.size()) || !facts.subtitles[n].text ||
        !MakeFolder())
        return false;
    std::wstring file;
    std::vector<std::wstring> args = {L"-hide_banner", L"-nostdin",         L"-loglevel",
                                      L"error",        L"-stats",           L"-y",
                                      L"-i",           PathForFFmpeg(movie)};
    for (std::wstring& arg : TrackCopyArgs(facts.subtitles[n], n, file))
        args.push_back(std::move(arg));
    if (!RunCopy(QuoteArg(FFmpegPath()) + L" " + JoinArgs(args), m_folder, cancel))
        return false;
    bytes = ReadBytes(m_folder + L"\\" + file);
    DeleteFileW((m_folder + L"\\" + file).c_str());
    return true;
}

bool SubtitleJob::WriteScript(const std::string& script, const std::wstring& font) {
    if (!MakeFolder())
        return false;
    if (!font.empty()) {
        // A link where the system allows one: a copy is megabytes each time.
        const std::wstring copy =
            m_folder + L"\\fonts\\" + font.substr(font.find_last_of(L"\\/") + 1);
        if (!CreateHardLinkW(copy.c_str(), font.c_str(), nullptr))
            CopyFileW(font.c_str(), copy.c_str(), FALSE);
    }
    const OwnedHandle file(CreateFileW((m_folder + L"\\subs.ass").c_str(), GENERIC_WRITE, 0,
                                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file, script);
}
