#include "Player.h"

#include "Colour.h"
#include "Encoder.h"
#include "Options.h"
#include "Restarter.h"
#include "SubtitleJob.h"
#include "common/AwakeClock.h"
#include "common/Handle.h"
#include "common/PictureWindows.h"
#include "common/Print.h"
#include "common/Text.h"
#include "common/VideoDriver.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

std::string AudioTrackLines(const std::vector<AudioTrack>& tracks) {
    std::string out;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const std::string n = std::to_string(i), key = "ID_AID_" + n + "_";
        out += "ID_AUDIO_ID=" + n + "\r\n";
        if (!tracks[i].language.empty())
            out += key + "LANG=" + OneLine(tracks[i].language) + "\r\n";
        if (!tracks[i].title.empty())
            out += key + "NAME=" + ToAnsi(FromUtf8(tracks[i].title)) + "\r\n";
        if (tracks[i].isDefault)
            out += key + "DEFAULT=1\r\n";
    }
    return out;
}

std::string IdentifyLines(const std::wstring& path, const MediaFacts& facts) {
    if (!facts.readable)
        return {};
    std::string out;
    char line[256];
    auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        out += line;
        out += "\r\n";
    };
    out += "ID_FILENAME=" + ToAnsi(path) + "\r\n";
    add("ID_DEMUXER=%s", facts.demuxer.c_str());
    if (facts.video) {
        add("ID_VIDEO_ID=0");
        add("ID_VIDEO_FORMAT=%s",
            (facts.videoFourcc.empty() ? facts.videoCodec : facts.videoFourcc).c_str());
        add("ID_VIDEO_BITRATE=%d", facts.videoBitrate * 1000);
        add("ID_VIDEO_WIDTH=%d", facts.width);
        add("ID_VIDEO_HEIGHT=%d", facts.height);
        add("ID_VIDEO_FPS=%.3f", facts.fps);
        add("ID_VIDEO_ASPECT=%.4f", facts.aspect);
    }
    out += AudioTrackLines(facts.audioTracks);
    if (facts.audio) {
        add("ID_AUDIO_FORMAT=%s", facts.audioCodec.c_str());
        add("ID_AUDIO_BITRATE=%d", facts.audioBitrate * 1000);
        add("ID_AUDIO_RATE=%d", facts.audioRate);
        add("ID_AUDIO_NCH=%d", facts.audioChannels);
    }
    out += SubtitleTrackLines(facts.subtitles);
    add("ID_START_TIME=0.00");
    if (facts.length > 0)
        add("ID_LENGTH=%.2f", facts.length);
    add("ID_SEEKABLE=1");
    add("ID_CHAPTERS=0");
    if (facts.video)
        add("ID_VIDEO_CODEC=ff%s", facts.videoCodec.c_str());
    if (facts.audio)
        add("ID_AUDIO_CODEC=ff%s", facts.audioCodec.c_str());
    add("ID_EXIT=EOF");
    return out;
}

void DecodeSize(const MediaFacts& facts, int maxWidth, int maxHeight, int& width, int& height) {
    width = std::max(2, facts.width);
    height = std::max(2, facts.height);
    const double aspect = facts.aspect > 0 ? facts.aspect : double(width) / height;
    if (width > maxWidth || height > maxHeight) {
        width = maxWidth;
        height = static_cast<int>(std::lround(width / aspect));
        if (height > maxHeight) {
            height = maxHeight;
            width = static_cast<int>(std::lround(height * aspect));
        }
    }
    width = std::max(2, width & ~1);
    height = std::max(2, height & ~1);
}

std::string PlayerStatus(double clock, bool sound, long long frames) {
    char line[160];
    if (sound)
        std::snprintf(line, sizeof line,
                      "A:%6.1f V:%6.1f A-V:  0.000 ct:  0.000 %3lld/%3lld  2%%  1%%  0.3%% 0 0 \r",
                      clock, clock, frames, frames);
    else
        std::snprintf(line, sizeof line, "V:%6.1f %4lld/%4lld  2%%  1%%  0.3%% 0 0 \r", clock,
                      frames, frames);
    return line;
}

namespace {

constexpr double kSeekSeconds = 10;
constexpr int kMaxWidth = 640, kMaxHeight = 480;
constexpr int kAudioRate = 44100, kAudioBlock = kAudioRate / 10 * 4; // 100 ms of 16-bit stereo

// Sound through the first wave device, fed by an ffmpeg that decodes to PCM; silent when the
// machine has no device.
class Sound {
public:
    ~Sound() { Stop(); }
    static bool Available() { return waveOutGetNumDevs() > 0; }
    void Start(const std::wstring& path, int track, double from) {
        Stop();
        WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, kAudioRate, kAudioRate * 4, 4, 16, 0};
        m_done.Attach(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (waveOutOpen(&m_device, WAVE_MAPPER, &format,
                        reinterpret_cast<DWORD_PTR>(static_cast<HANDLE>(m_done)), 0,
                        CALLBACK_EVENT) != MMSYSERR_NOERROR) {
            m_device = nullptr;
            return;
        }
        wchar_t at[32];
        swprintf(at, 32, L"%.3f", from);
        const std::wstring line =
            QuoteArg(FFmpegPath()) + L" " +
            JoinArgs({L"-hide_banner", L"-nostdin", L"-loglevel", L"error", L"-ss", at, L"-i",
                      PathForFFmpeg(path), L"-map", L"0:a:" + std::to_wstring(track), L"-f",
                      L"s16le", L"-ac", L"2", L"-ar", std::to_wstring(kAudioRate), L"-"});
        if (!m_decoder.Start(line, L"", Child::kPipe, Child::kDiscard))
            return;
        m_stop = false;
        m_thread = std::thread([this] { Feed(); });
    }
    void Stop() {
        m_stop = true;
        m_decoder.Terminate();
        if (m_device)
            waveOutReset(m_device);
        if (m_thread.joinable())
            m_thread.join();
        m_decoder.Kill();
        if (m_device) {
            for (auto& block : m_blocks)
                if (block.header.dwFlags & WHDR_PREPARED)
                    waveOutUnprepareHeader(m_device, &block.header, sizeof block.header);
            waveOutClose(m_device);
        }
        m_device = nullptr;
        m_done.Close();
    }
    bool Playing() const { return m_device != nullptr; }

private:
    struct Block {
        WAVEHDR header{};
        std::vector<char> data = std::vector<char>(kAudioBlock);
    };
    void Feed() {
        for (;;) {
            for (auto& block : m_blocks) {
                if (m_stop)
                    return;
                if ((block.header.dwFlags & WHDR_PREPARED) && !(block.header.dwFlags & WHDR_DONE))
                    continue;
                if (block.header.dwFlags & WHDR_PREPARED)
                    waveOutUnprepareHeader(m_device, &block.header, sizeof block.header);
                if (!m_decoder.ReadExactly(block.data.data(), block.data.size()))
                    return;
                block.header = WAVEHDR{};
                block.header.lpData = block.data.data();
                block.header.dwBufferLength = static_cast<DWORD>(block.data.size());
                waveOutPrepareHeader(m_device, &block.header, sizeof block.header);
                waveOutWrite(m_device, &block.header, sizeof block.header);
            }
            WaitForSingleObject(m_done, 200);
        }
    }
    HWAVEOUT m_device = nullptr;
    OwnedHandle m_done;
    Child m_decoder;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    Block m_blocks[4];
};

// The window thread only draws, answers and records what is asked: on Windows it shares its
// input with Quelvox's window, so whatever it waits for stalls Quelvox's mouse and keys too.
// Starting and stopping the decoders (ending a process, joining a thread, starting another) is
// done by a thread of its own.
//
// The movie is described by the decoder itself as it starts (no probe of its own first): its
// size, rate and length, and whether the colours need filters of their own, in which case the
// decoder starts again with them. Only a movie with subtitle files to try is described first,
// as the files are burnt at the picture's size from the first picture on.
class Preview {
public:
    Preview(const Options& options, const std::wstring& path) : m_options(options), m_path(path) {}
    ~Preview() { Stop(); }
    // Describes the movie first when subtitle files are to be tried; false, with the player's
    // text printed, when it cannot be played.
    bool Prepare();
    // Starts the decoder: wine takes a quarter of a second to start one, and as long again to
    // make the first window, so the two go side by side.
    void Begin();
    int Run(HWND parent, const std::string& driver);

private:
    void Know(const MediaFacts& facts);
    // On the reader thread: the decoder's description of the movie, and of the pictures it
    // sends; false when the reader is to stop.
    bool Describe(double from);
    double Clock() const {
        const double clock = m_clockBase + GetTickCount64() / 1000.0;
        return m_length > 0 ? std::min(clock, m_length.load()) : clock;
    }
    void SetClock(double seconds) { m_clockBase = seconds - GetTickCount64() / 1000.0; }
    // On the restart thread: the decoders again from where the clock is, with the subtitle
    // track once it has been copied out.
    void Restart();
    void StartDecoder(double from);
    void StopDecoder();
    void StartSound(double from);
    void Decode(double from);
    void Seek(double seconds);
    void Paint(HDC dc, int w, int h);
    void PrepareSubtitles();
    void Described();
    bool AwaitFirstPicture();
    void Pump();
    void TakeTrack();
    void StopTrack();
    void Stop();

    Options m_options;
    std::wstring m_path;
    MediaFacts m_facts;
    std::atomic<bool> m_known{false};        // m_facts are the movie's
    std::atomic<bool> m_needsFilters{false}; // the decoder starts again with the colours' filters
    bool m_subtitlesPrepared = false;
    std::string m_failure; // the player's text for a movie it cannot play
    int m_width = 2, m_height = 2;
    std::atomic<double> m_fps{25}, m_length{0};
    SubtitleJob m_subtitles;
    std::wstring m_filter;
    // A track inside the movie is copied out while the picture already plays: the copy reads
    // the whole movie, and the program gives the picture only seconds to come.
    SubtitleChoice m_choice;
    SubtitleJob m_track;
    std::thread m_trackCopy;
    std::atomic<bool> m_stopTrack{false}, m_trackCopied{false};
    PictureWindows m_windows;
    Sound m_sound;
    std::thread m_soundStart;           // joined before the decoders stop or start again
    std::atomic<bool> m_audible{false}; // the status line's "A:", steady across restarts

    Child m_decoder;
    std::thread m_reader;
    std::atomic<bool> m_stopReader{false};
    std::atomic<bool> m_decoderEnded{false};
    std::atomic<long long> m_frames{0};
    const OwnedHandle m_frameReady{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::mutex m_frameLock;
    std::vector<unsigned char> m_frame; // the picture shown, BGRA top-down
    bool m_haveFrame = false;

    // The clock is moved at once by a seek; the decoders follow it.
    std::atomic<double> m_clockBase{0};
    std::atomic<double> m_startClock{0}; // where the running decoder started
    bool m_ended = false, m_quit = false;
    std::unique_ptr<Restarter> m_restarter;
};

void Preview::Restart() {
    StopDecoder();
    if (m_trackCopied.exchange(false))
        TakeTrack();
    StartDecoder(Clock());
}

void Preview::Know(const MediaFacts& facts) {
    m_facts = facts;
    DecodeSize(facts, kMaxWidth, kMaxHeight, m_width, m_height);
    m_fps = facts.fps > 0 ? facts.fps : 25;
    m_length = facts.length;
    m_known = true;
}

bool Preview::Prepare() {
    m_choice = ChosenSubtitles(m_options);
    if (SubtitleCandidates(m_choice, m_path, {}).empty())
        return true;
    const MediaFacts facts = Probe(m_path);
    if (!facts.readable || !facts.video) {
        Print(facts.readable
                  ? "Video: no video\r\n\r\nExiting... (End of file)\r\n"
                  : "Failed to recognize file format.\r\n\r\nExiting... (End of file)\r\n");
        return false;
    }
    Know(facts);
    return true;
}

void Preview::StartDecoder(double from) {
    m_startClock = from;
    m_decoderEnded = false;
    const bool known = m_known;
    // Half a frame early, so the frame at the clock comes first whatever the rounding.
    wchar_t at[32];
    swprintf(at, 32, L"%.3f", std::max(0.0, from - 0.5 / m_fps));
    // In the colours the conversion gives it: an HDR picture tone-mapped, each matrix as its own.
    std::wstring filters = known ? PreviewFilters(m_facts, L"scale=" + std::to_wstring(m_width) +
                                                               L":" + std::to_wstring(m_height))
                                 : PreviewFiltersUnknown(kMaxWidth, kMaxHeight);
    if (!m_filter.empty())
        filters += L"," + m_filter;
    // -copyts keeps the file's own times after a seek, so the subtitles stay in step. A decoder
    // that describes the movie keeps the movie's own rate, which it names.
    std::vector<std::wstring> args = {
        L"-hide_banner", L"-nostdin", L"-nostats", L"-loglevel", known ? L"error" : L"info",
        L"-ss",          at,          L"-copyts",  L"-i",        PathForFFmpeg(m_path),
        L"-map",         L"0:v:0",    L"-vf",      filters};
    if (known)
        args.insert(args.end(), {L"-r", std::to_wstring(m_fps.load())});
    args.insert(args.end(), {L"-pix_fmt", L"bgra", L"-f", L"rawvideo", L"-"});
    if (!m_decoder.Start(QuoteArg(FFmpegPath()) + L" " + JoinArgs(args), m_subtitles.Folder(),
                         Child::kPipe, known ? Child::kDiscard : Child::kApart)) {
        m_decoderEnded = true;
        return;
    }
    m_stopReader = false;
    m_reader = std::thread([this, from] { Decode(from); });
    if (known)
        StartSound(from);
}

// Beside the pictures: starting a decoder takes wine a quarter of a second, and its first
// question for the sound device loads a driver, neither of which the first picture need wait for.
void Preview::StartSound(double from) {
    if (!m_facts.audio || m_options.Has(L"-nosound"))
        return;
    m_soundStart = std::thread([this, from] {
        if (!Sound::Available())
            return;
        m_sound.Start(m_path, ChosenAudioTrack(m_options, m_facts), from);
        m_audible = m_sound.Playing();
    });
}

bool Preview::Describe(double from) {
    // The movie's description comes before the first picture is decoded, the pictures'
    // (the filters' size and the rate) just before the first is sent.
    std::string text;
    while (!m_stopReader && m_decoder.ReadErrorAvailable(text) && m_decoder.OutputWaiting() == 0 &&
           text.find("Output #0") == std::string::npos)
        Sleep(2);
    const MediaFacts facts = ParseProbe(text);
    if (m_stopReader)
        return false;
    if (!facts.readable || !facts.video) {
        m_failure = facts.readable ? "Video: no video\r\n" : "Failed to recognize file format.\r\n";
        m_decoderEnded = true;
        return false;
    }
    if (!PreviewFiltersUnknownFit(facts)) {
        Know(facts);
        m_needsFilters = true;
        SetEvent(m_frameReady);
        return false;
    }
    while (!m_stopReader && m_decoder.ReadErrorAvailable(text) && m_decoder.OutputWaiting() == 0)
        Sleep(1);
    m_decoder.ReadErrorAvailable(text);
    // What it sends is described as an output of its own.
    const size_t output = text.find("Output #0, ");
    MediaFacts sent;
    if (output != std::string::npos)
        sent = ParseProbe("Input #0, rawvideo, from 'pipe:':\n" +
                          text.substr(text.find('\n', output) + 1));
    Know(facts);
    if (sent.width > 0 && sent.height > 0) {
        m_width = sent.width;
        m_height = sent.height;
    }
    if (sent.fps > 0)
        m_fps = sent.fps;
    StartSound(from);
    SetEvent(m_frameReady);
    return !m_stopReader;
}

void Preview::StopDecoder() {
    m_stopReader = true;
    m_decoder.Terminate();
    if (m_reader.joinable())
        m_reader.join();
    if (m_soundStart.joinable())
        m_soundStart.join();
    m_decoder.Kill();
}

// Reader thread: takes the frames off the pipe and hands each over when its time has come,
// dropping those that are late.
void Preview::Decode(double from) {
    if (!m_known && !Describe(from))
        return;
    const size_t size = static_cast<size_t>(m_width) * m_height * 4;
    std::vector<unsigned char> frame(size);
    for (long long n = 0; !m_stopReader; ++n) {
        if (!m_decoder.ReadExactly(reinterpret_cast<char*>(frame.data()), size))
            break;
        const double due = from + n / m_fps;
        for (;;) {
            const double wait = due - Clock();
            if (m_stopReader || wait <= 0)
                break;
            Sleep(static_cast<DWORD>(std::min(50.0, wait * 1000) + 0.5));
        }
        if (m_stopReader)
            break;
        // A frame more than one frame late is not shown, unless it is the first.
        if (m_haveFrame && Clock() - due > 1.5 / m_fps)
            continue;
        {
            std::lock_guard<std::mutex> lock(m_frameLock);
            m_frame.swap(frame);
            if (frame.size() != size)
                frame.resize(size);
            m_haveFrame = true;
        }
        ++m_frames;
        SetEvent(m_frameReady);
    }
    // A decoder stopped for a restart has not reached the end of the movie.
    if (!m_stopReader)
        m_decoderEnded = true;
    SetEvent(m_frameReady);
}

// On the window thread: the clock moves at once, and seeks that come while the decoders restart
// add up to one restart.
void Preview::Seek(double seconds) {
    double target = Clock() + seconds;
    target = std::max(0.0, m_length > 0 ? std::min(target, m_length - 0.5) : target);
    SetClock(target);
    m_restarter->Request();
    Print(PlayerStatus(target, m_audible, m_frames));
}

void Preview::Paint(HDC dc, int w, int h) {
    RECT all{0, 0, w, h};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    std::lock_guard<std::mutex> lock(m_frameLock);
    if (!m_haveFrame)
        return;
    // Fitted to the window, keeping the picture's shape.
    const double scale = std::min(double(w) / m_width, double(h) / m_height);
    const int pw = std::max(1, static_cast<int>(m_width * scale)),
              ph = std::max(1, static_cast<int>(m_height * scale));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = -m_height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, (w - pw) / 2, (h - ph) / 2, pw, ph, 0, 0, m_width, m_height, m_frame.data(),
                  &info, DIB_RGB_COLORS, SRCCOPY);
}

// The first of the subtitle files and tracks to try that has a cue. The files are read at once;
// the tracks are copied out while the picture already plays.
void Preview::PrepareSubtitles() {
    m_subtitlesPrepared = true;
    std::vector<SubtitleSource> files, tracks;
    for (SubtitleSource& source : SubtitleCandidates(m_choice, m_path, m_facts.subtitles))
        (source.file.empty() ? tracks : files).push_back(std::move(source));
    SubtitleStyle style;
    style.width = m_width;
    style.height = m_height;
    if (m_subtitles.Prepare(files, m_choice, m_path, m_facts, style)) {
        m_filter = m_subtitles.Filter();
        Print(m_subtitles.Burnt().Note());
    } else if (!tracks.empty()) {
        m_trackCopy = std::thread([this, style, tracks] {
            if (m_track.Prepare(tracks, m_choice, m_path, m_facts, style, &m_stopTrack)) {
                m_trackCopied = true;
                m_restarter->Request();
            }
        });
    }
}

// On the window thread, once the decoder has described the movie: the tracks to copy out, and
// the decoder again when the colours need filters of their own.
void Preview::Described() {
    if (m_needsFilters.exchange(false))
        m_restarter->Request();
    if (m_known && !m_subtitlesPrepared)
        PrepareSubtitles();
}

// The copied track joins the picture where it is.
void Preview::TakeTrack() {
    m_subtitles = std::move(m_track);
    m_filter = m_subtitles.Filter();
    Print(m_subtitles.Burnt().Note());
}

void Preview::StopTrack() {
    m_stopTrack = true;
    if (m_trackCopy.joinable())
        m_trackCopy.join();
}

void Preview::Stop() {
    StopTrack();
    m_restarter.reset();
    // The reader may have started the sound while it described the movie.
    StopDecoder();
    m_sound.Stop();
}

void Preview::Begin() {
    m_restarter = std::make_unique<Restarter>([this] { Restart(); });
    if (m_known)
        PrepareSubtitles();
    SetClock(0);
    StartDecoder(0);
}

// The output counts as open once the first picture is there to show.
bool Preview::AwaitFirstPicture() {
    const HANDLE frameReady = m_frameReady;
    const StallWatch firstPicture(15000);
    while (m_frames == 0 && !(m_decoderEnded && !m_restarter->Busy()) && !firstPicture.Stalled()) {
        MsgWaitForMultipleObjects(1, &frameReady, FALSE, 100, QS_ALLINPUT);
        Described();
        Pump();
    }
    return m_frames > 0;
}

// The windows' messages that are waiting, until the player is to end.
void Preview::Pump() {
    MSG msg;
    while (!m_ended && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int Preview::Run(HWND parent, const std::string& driver) {
    if (parent) {
        PictureEvents events;
        events.paint = [this](HDC dc, int w, int h) { Paint(dc, w, h); };
        events.quit = [this] { m_quit = m_ended = true; };
        events.seek = [this](int direction) { Seek(direction * kSeekSeconds); };
        if (!m_windows.Open(parent, std::move(events))) {
            Print("Error opening/initializing the selected video_out (-vo) device.\r\n");
            return 1;
        }
    }
    if (!AwaitFirstPicture()) {
        m_windows.Close();
        Print(m_failure.empty() ? "FATAL: Could not decode the first picture.\r\n" : m_failure);
        Print("\r\nExiting... (End of file)\r\n");
        return 1;
    }
    char vo[200];
    std::snprintf(vo, sizeof vo, "VO: [%s] %dx%d => %dx%d BGRA \r\n", driver.c_str(), m_facts.width,
                  m_facts.height, m_width, m_height);
    Print(vo);
    // The picture goes over the pane as soon as Quelvox has placed it, not on the next status
    // line: until then, the windows follow the pane every few milliseconds.
    m_windows.Follow();
    const ULONGLONG placing = GetTickCount64() + 3000;

    const HANDLE frameReady = m_frameReady;
    ULONGLONG nextStatus = 0;
    while (!m_ended) {
        Described();
        ULONGLONG now = GetTickCount64();
        if (now < nextStatus && now < placing && !m_windows.Over()) {
            m_windows.Follow();
            now = GetTickCount64();
        }
        if (now >= nextStatus) {
            if (m_windows.ParentGone()) {
                m_quit = true;
                break;
            }
            m_windows.Follow();
            const double clock = Clock();
            Print(PlayerStatus(clock, m_audible, m_frames));
            if ((m_length > 0 && clock >= m_length) || (m_decoderEnded && !m_restarter->Busy() &&
                                                        clock >= m_startClock + m_frames / m_fps))
                break;
            nextStatus = now + 100;
        }
        const ULONGLONG wait = now < placing && !m_windows.Over()
                                   ? std::min<ULONGLONG>(5, nextStatus - now)
                                   : nextStatus - now;
        if (MsgWaitForMultipleObjects(1, &frameReady, FALSE, static_cast<DWORD>(wait),
                                      QS_ALLINPUT) == WAIT_OBJECT_0)
            m_windows.Repaint();
        Pump();
    }
    // The window goes first, so Quelvox's input is free while the decoders end.
    m_windows.Close();
    Stop();
    Print(m_quit ? "\r\n\r\nExiting... (Quit)\r\n" : "\r\n\r\nExiting... (End of file)\r\n");
    return 0;
}

} // namespace

int RunPlayer(int argc, wchar_t** argv) {
    const Options options = ParseOptions(argc, argv);
    if (options.files.empty()) {
        Print("MPlayer for Quelvox (ffmpeg inside)\r\nUsage: mplayer [options] file\r\n");
        return 0;
    }
    const std::wstring path = options.files.back();
    if (options.Has(L"-identify")) {
        Print(IdentifyLines(path, FileExists(path) ? Probe(path) : MediaFacts{}));
        return 0;
    }

    Print("MPlayer for Quelvox (ffmpeg inside)\r\n\r\nPlaying " + ToAnsi(path) + ".\r\n");
    if (!FileExists(path)) {
        Print("File not found: '" + ToAnsi(path) + "'\r\nFailed to open " + ToAnsi(path) +
              ".\r\n\r\n\r\nExiting... (End of file)\r\n");
        return 1;
    }
    Preview preview(options, path);
    if (!preview.Prepare())
        return 1;
    const std::string driver = VideoDriverName(ToUtf8(options.Value(L"-vo", L"directx")));
    // Every output we know draws with GDI into the window; an unknown one is a real failure.
    static const char* kDrivers[] = {"direct3d", "gl", "gl2", "directx", "gdi", "null"};
    if (std::find_if(std::begin(kDrivers), std::end(kDrivers),
                     [&](const char* d) { return driver == d; }) == std::end(kDrivers)) {
        Print("Invalid video output driver: " + driver +
              "\r\n"
              "Error opening/initializing the selected video_out (-vo) device.\r\n");
        return 1;
    }
    preview.Begin();
    HWND parent = nullptr;
    if (options.Has(L"-wid") && driver != "null") {
        parent =
            reinterpret_cast<HWND>(static_cast<INT_PTR>(_wtoi64(options.Value(L"-wid").c_str())));
        if (!IsWindow(parent)) {
            Print("Error opening/initializing the selected video_out (-vo) device.\r\n");
            return 1;
        }
    }
    return preview.Run(parent, driver);
}
