#include "RealSupport.h"

#include "Description.h"
#include "Process.h"
#include "common/File.h"
#include "framework/Paths.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>

std::wstring TestFFmpeg() {
    return GetModuleDirectory() + L"bin\\ffmpeg.exe";
}

std::wstring DistEngine(const std::wstring& name) {
    // The module's folder ends in a backslash; its parent is the build's.
    std::wstring folder = GetModuleDirectory();
    folder.resize(folder.find_last_of(L'\\', folder.size() - 2) + 1);
    return folder + L"dist\\bin\\" + name;
}

namespace {
// Runs a command line until its output shows text (never, when text is empty) or it ends.
std::string Run(const std::wstring& commandLine, const std::string& text, DWORD limitMs) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 1 << 20))
        return {};
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = write;
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(write);
    std::string output;
    if (started) {
        const ULONGLONG until = GetTickCount64() + limitMs;
        char buffer[4096];
        while (text.empty() || output.find(text) == std::string::npos) {
            DWORD available = 0, got = 0;
            if (!PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr))
                break;
            if (available && ReadFile(read, buffer, sizeof buffer, &got, nullptr))
                output.append(buffer, got);
            else if (GetTickCount64() > until)
                break;
            else
                Sleep(20);
        }
        if (!text.empty())
            TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(read);
    return output;
}
} // namespace

std::string RunCapture(const std::wstring& commandLine, DWORD timeoutMs) {
    return Run(commandLine, {}, timeoutMs);
}

std::string RunUntil(const std::wstring& commandLine, const std::string& text, DWORD guardMs) {
    return Run(commandLine, text, guardMs);
}

bool MakeClip(const std::wstring& path, int width, int height, const std::wstring& rate,
              int seconds) {
    const std::wstring size = std::to_wstring(width) + L"x" + std::to_wstring(height);
    const std::wstring length = std::to_wstring(seconds);
    RunCapture(L"\"" + TestFFmpeg() +
               L"\" -hide_banner -loglevel error -nostdin -y -f lavfi -i testsrc2=size=" + size +
               L":rate=" + rate + L":duration=" + length +
               L" -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + length +
               L" -c:v mpeg4 -q:v 6 -c:a libmp3lame -b:a 96k \"" + path + L"\"");
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES;
}

std::string RunFFmpeg(const std::wstring& args) {
    return RunCapture(L"\"" + TestFFmpeg() + L"\" -hide_banner -loglevel error -nostdin -y " +
                      args);
}

namespace {
// What ffmpeg decodes of a movie into a temporary file, as raw bytes.
std::string Decoded(const std::wstring& movie, const std::wstring& what) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring raw =
        std::wstring(temp) + L"qv-raw-" + std::to_wstring(GetCurrentProcessId()) + L".bin";
    RunFFmpeg(L"-i \"" + movie + L"\" " + what + L" \"" + raw + L"\"");
    std::string bytes = ReadWholeFile(raw, size_t(1) << 30);
    DeleteFileW(raw.c_str());
    return bytes;
}
} // namespace

std::vector<float> SoundOf(const std::wstring& movie, int rate) {
    const std::string bytes =
        Decoded(movie, L"-map 0:a:0 -ac 1 -ar " + std::to_wstring(rate) + L" -f f32le");
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

std::vector<double> BrightnessOf(const std::wstring& movie) {
    // Each picture shrunk to 8 x 8 grey pixels.
    const std::string bytes =
        Decoded(movie, L"-map 0:v:0 -vsync passthrough -vf scale=8:8,format=gray -f rawvideo");
    std::vector<double> brightness;
    for (size_t at = 0; at + 64 <= bytes.size(); at += 64) {
        double sum = 0;
        for (size_t i = 0; i < 64; ++i)
            sum += static_cast<unsigned char>(bytes[at + i]);
        brightness.push_back(sum / 64);
    }
    return brightness;
}

std::vector<unsigned char> FrameAt(const std::wstring& movie, double seconds, int& width,
                                   int& height) {
    wchar_t at[32];
    swprintf(at, 32, L"%.2f", seconds);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring ppm =
        std::wstring(temp) + L"qv-frame-" + std::to_wstring(GetCurrentProcessId()) + L".ppm";
    RunCapture(L"\"" + TestFFmpeg() + L"\" -hide_banner -loglevel error -nostdin -y -ss " + at +
               L" -i \"" + movie + L"\" -frames:v 1 -f image2 -c:v ppm \"" + ppm + L"\"");
    std::vector<unsigned char> pixels;
    width = height = 0;
    HANDLE file = CreateFileW(ppm.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return pixels;
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    DeleteFileW(ppm.c_str());
    int max = 0, consumed = 0;
    if (sscanf(bytes.c_str(), "P6 %d %d %d%n", &width, &height, &max, &consumed) == 3 &&
        bytes.size() >= consumed + 1 + size_t(width) * height * 3)
        pixels.assign(bytes.begin() + consumed + 1,
                      bytes.begin() + consumed + 1 + size_t(width) * height * 3);
    return pixels;
}

Description Describe(const std::wstring& movie) {
    const std::string text =
        RunCapture(L"\"" + TestFFmpeg() + L"\" -hide_banner -nostdin -i \"" + movie + L"\"");
    const MediaFacts facts = ParseProbe(text);
    Description d;
    d.videoCodec = facts.videoCodec;
    d.audioCodec = facts.audioCodec;
    d.width = facts.width;
    d.height = facts.height;
    d.fps = facts.fps;
    d.turned =
        text.find("rotate") != std::string::npos || text.find("displaymatrix") != std::string::npos;
    d.matrix = facts.colourMatrix;
    d.primaries = facts.colourPrimaries;
    d.transfer = facts.colourTransfer;
    d.range = facts.colourRange;
    return d;
}

namespace {
unsigned Le32(const std::string& b, size_t at) {
    return at + 4 <= b.size() ? unsigned(static_cast<unsigned char>(b[at])) |
                                    unsigned(static_cast<unsigned char>(b[at + 1])) << 8 |
                                    unsigned(static_cast<unsigned char>(b[at + 2])) << 16 |
                                    unsigned(static_cast<unsigned char>(b[at + 3])) << 24
                              : 0;
}
unsigned Le16(const std::string& b, size_t at) {
    return Le32(b, at) & 0xFFFF;
}

// Walks the chunks of [begin, end), descending into the header lists.
void Walk(const std::string& b, size_t begin, size_t end, AviFacts& facts, std::string& stream) {
    for (size_t at = begin; at + 8 <= end;) {
        const std::string id = b.substr(at, 4);
        const unsigned size = Le32(b, at + 4);
        const size_t data = at + 8;
        if (id == "LIST") {
            const std::string kind = b.substr(data, 4);
            if (kind == "hdrl" || kind == "strl")
                Walk(b, data + 4, std::min(end, data + size), facts, stream);
        } else if (id == "strh") {
            stream = b.substr(data, 4);
            if (stream == "vids") {
                facts.videoHandler = b.substr(data + 4, 4);
                facts.scale = Le32(b, data + 20);
                facts.rate = Le32(b, data + 24);
            } else if (stream == "auds" && Le32(b, data + 24) > 0) {
                facts.audioStart =
                    double(Le32(b, data + 28)) * Le32(b, data + 20) / Le32(b, data + 24);
            }
        } else if (id == "strf") {
            if (stream == "vids") {
                facts.width = static_cast<int>(Le32(b, data + 4));
                facts.height = static_cast<int>(Le32(b, data + 8));
                facts.videoCompression = b.substr(data + 16, 4);
            } else if (stream == "auds") {
                facts.audioFormat = static_cast<int>(Le16(b, data));
                facts.audioBytesPerSecond = Le32(b, data + 8);
            }
        }
        at = data + size + (size & 1);
    }
}
} // namespace

AviFacts ReadAvi(const std::wstring& path) {
    AviFacts facts;
    const std::string bytes = ReadWholeFile(path, size_t(1) << 30);
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "AVI ") != 0)
        return facts;
    facts.riff = true;
    std::string stream;
    Walk(bytes, 12, bytes.size(), facts, stream);
    // The index: offsets from the "movi" of the list that holds the chunks.
    size_t movi = 0, index = 0, indexSize = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const unsigned size = Le32(bytes, at + 4);
        if (bytes.compare(at, 4, "LIST") == 0 && bytes.compare(at + 8, 4, "movi") == 0)
            movi = at + 8;
        if (bytes.compare(at, 4, "idx1") == 0) {
            index = at + 8;
            indexSize = size;
        }
        at += 8 + size + (size & 1);
    }
    for (size_t e = index; index && e + 16 <= std::min(bytes.size(), index + indexSize); e += 16) {
        if (bytes.compare(e, 2, "00") != 0 || bytes[e + 2] != 'd')
            continue;
        const size_t at = movi + Le32(bytes, e + 8) + 8, size = Le32(bytes, e + 12);
        facts.videoChunks.push_back(at + size <= bytes.size() ? bytes.substr(at, size) : "");
    }
    return facts;
}

Mp4Facts ReadMp4(const std::wstring& path) {
    Mp4Facts facts;
    const std::string bytes = ReadWholeFile(path, size_t(1) << 30);
    auto be32 = [&](size_t at) {
        return at + 4 <= bytes.size()
                   ? unsigned(static_cast<unsigned char>(bytes[at])) << 24 |
                         unsigned(static_cast<unsigned char>(bytes[at + 1])) << 16 |
                         unsigned(static_cast<unsigned char>(bytes[at + 2])) << 8 |
                         unsigned(static_cast<unsigned char>(bytes[at + 3]))
                   : 0;
    };
    for (size_t at = 0; at + 8 <= bytes.size();) {
        const size_t size = be32(at);
        facts.boxes.push_back(bytes.substr(at + 4, 4));
        if (facts.boxes.back() == "moov") {
            // The sample description's avcC: version, profile, compatibility, level.
            const size_t avcc = bytes.find("avcC", at);
            if (avcc != std::string::npos && avcc + 8 <= bytes.size()) {
                facts.profile = static_cast<unsigned char>(bytes[avcc + 5]);
                facts.level = static_cast<unsigned char>(bytes[avcc + 7]);
            }
        }
        if (size < 8)
            break;
        at += size;
    }
    return facts;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string KoreanSami(SamiEncoding encoding) {
    const std::wstring text =
        L"<SAMI>\r\n<HEAD><STYLE TYPE=\"text/css\"><!--\r\n"
        L".KRCC { Name:Korean; lang:ko-KR; }\r\n--></STYLE></HEAD>\r\n<BODY>\r\n"
        L"<SYNC Start=0><P Class=KRCC>\uC548\uB155\uD558\uC138\uC694 \uC790\uB9C9<br>"
        L"\uB450 \uBC88\uC9F8 \uC904\r\n"
        L"<SYNC Start=2500><P Class=KRCC>&nbsp;\r\n</BODY>\r\n</SAMI>\r\n";
    if (encoding == SamiEncoding::Utf16) {
        std::string bytes = "\xFF\xFE";
        for (wchar_t c : text) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
        return bytes;
    }
    const std::string bytes = InCodePage(text, encoding == SamiEncoding::Cp949 ? 949 : CP_UTF8);
    return encoding == SamiEncoding::Utf8Bom ? "\xEF\xBB\xBF" + bytes : bytes;
}

std::string InCodePage(const std::wstring& text, UINT codePage) {
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

AnswerProbe::AnswerProbe(HWND window, DWORD periodMs, DWORD timeoutMs)
    : m_thread([this, window, periodMs, timeoutMs] {
          while (!m_stop) {
              const ULONGLONG sent = GetTickCount64();
              DWORD_PTR result = 0;
              if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result))
                  ++m_unanswered;
              const ULONGLONG took = GetTickCount64() - sent;
              if (took > m_longest)
                  m_longest = took;
              ++m_sent;
              Sleep(periodMs);
          }
      }) {}

AnswerProbe::~AnswerProbe() {
    m_stop = true;
    m_thread.join();
}

ScreenColours ColoursOnScreen(const RECT& r) {
    ScreenColours c;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    const int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const unsigned char*>(bits);
    for (int i = 0; i < w * h; ++i, p += 4) {
        const int b = p[0], g = p[1], red = p[2];
        ++c.pixels;
        if (std::max({b, g, red}) - std::min({b, g, red}) > 100)
            ++c.saturated;
        if (b + g + red < 60)
            ++c.dark;
        if (red > 160 && g < 90 && b < 90)
            ++c.red;
        if (g > 160 && red < 90 && b < 90)
            ++c.green;
        if (b > 160 && red < 90 && g < 90)
            ++c.blue;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return c;
}
