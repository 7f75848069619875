// The subtitle formats the engines burn: SAMI, SubRip, WebVTT and ASS/SSA, read in any of the
// encodings Korean files come in, with their styling as override tags of the script.
#include "SubtitleJob.h"
#include "Subtitles.h"
#include "common/File.h"
#include "common/Text.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// Cues as "start-end text|start-end text", for messages a person can read.
std::wstring Described(const std::vector<Cue>& cues) {
    std::wstring text;
    for (const Cue& cue : cues)
        text += (text.empty() ? L"" : L"|") + std::to_wstring(cue.startMs) + L"-" +
                std::to_wstring(cue.endMs) + L" " + cue.text;
    return text;
}

struct ParseCase {
    const char* what;
    std::wstring file;
    std::wstring cues; // as Described
};

constexpr const wchar_t* kKorean = L"\uD55C\uAE00"; // the word "Hangul" in Hangul
const std::string kKoreanUtf8 = "\xED\x95\x9C\xEA\xB8\x80";

std::string Utf16(const std::wstring& text, bool big, bool mark = true) {
    std::string bytes = !mark ? "" : big ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(big ? c >> 8 : c & 0xFF);
        bytes += static_cast<char>(big ? c & 0xFF : c >> 8);
    }
    return bytes;
}

} // namespace

TEST(SubtitleText, TagsBecomeOverrideTagsAndEntitiesCharacters) {
    struct Case {
        Markup markup;
        const wchar_t* marked;
        const wchar_t* event;
    };
    const Case cases[] = {
        {Markup::SubRip, L"<i>one</i> <b>two</b> <u>3</u> <S>4</S>",
         L"{\\i1}one{\\i0} {\\b1}two{\\b0} {\\u1}3{\\u0} {\\s1}4{\\s0}"},
        {Markup::SubRip, L"<font color=\"#FF8000\">orange</font> white",
         L"{\\c&H0080FF&}orange{\\c&HFFFFFF&} white"},
        // Nested colours return to the one outside; a <font> without a colour changes none.
        {Markup::SubRip,
         L"<font color=red>r<font color=#00ff00>g</font>r</font><font face=x>w</font>",
         L"{\\c&H0000FF&}r{\\c&H00FF00&}g{\\c&H0000FF&}r{\\c&HFFFFFF&}w"},
        // SAMI files write colours without the '#'.
        {Markup::Sami, L"<font color=ffff00>y</font>", L"{\\c&H00FFFF&}y{\\c&HFFFFFF&}"},
        {Markup::Sami, L"a &lt;b&gt; &amp; &quot;c&quot; &#54620;&#xAE00; &bogus; & d",
         L"a <b> & \"c\" \uD55C\uAE00 &bogus; & d"},
        // In SAMI a line end is white space; <br> breaks the line, empty lines go.
        {Markup::Sami, L"  one\r\ntwo<br>three<BR/><br>  four  ", L"one two\nthree\nfour"},
        {Markup::SubRip, L"one\ntwo", L"one\ntwo"},
        // Braces of the text open no override; SubRip's "{\an8}" places the cue, nothing else
        // of ASS passes.
        {Markup::Sami, L"{not an override}", L"(not an override)"},
        {Markup::SubRip, L"{\\an8}Top {\\pos(10,10)}x {plain}", L"{\\an8}Top x (plain)"},
        // A colour opened on a line that turns out empty still colours the next.
        {Markup::Sami, L"<font color=red><br>x", L"{\\c&H0000FF&}x"},
        {Markup::WebVtt,
         L"<v Roger>Hi</v> <c.yellow.bg_blue>y</c> <00:00:01.000>later <lang en>x</lang>",
         L"Hi {\\c&H00FFFF&}y{\\c&HFFFFFF&} later x"},
        {Markup::SubRip,
         L"a\x01"
         L"b\u0085c\uFEFF",
         L"abc"},
        {Markup::SubRip, L"<i></i>\n   ", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EventText(c.marked, c.markup), c.event) << c.marked;
}

TEST(SubRip, BlocksAreReadAndOnlyTheBadOnesSkipped) {
    const ParseCase cases[] = {
        {"two cues, CR LF",
         L"1\r\n00:00:01,000 --> 00:00:02,500\r\nOne\r\n\r\n2\r\n00:00:03,000 --> "
         L"00:00:04,000\r\n<i>Two</i>\r\nlines\r\n",
         L"1000-2500 One|3000-4000 {\\i1}Two{\\i0}\nlines"},
        {"no blank line between cues",
         L"1\n00:00:01,000 --> 00:00:02,000\nOne\n2\n00:00:03,000 --> 00:00:04,000\nTwo\n",
         L"1000-2000 One|3000-4000 Two"},
        {"a timing that cannot be read loses its block only",
         L"1\n00:00:01,000 --> 00:00:0x,000\nLost\n\n2\n00:00:03,000 --> 00:00:04,000\nKept\n",
         L"3000-4000 Kept"},
        {"backwards and empty cues",
         L"1\n00:00:05,000 --> 00:00:04,000\nBackwards\n\n2\n00:00:06,000 --> "
         L"00:00:07,000\n<i></i>\n\n3\n00:00:08,000 --> 00:00:09,000\nLast\n",
         L"8000-9000 Last"},
        {"points, short times, coordinates, an hour without its zero",
         L"00:01.5 --> 00:02.25 X1:10 X2:20\nShort\n\n1:00:00.000 --> 1:00:01.000\nHour\n",
         L"1500-2250 Short|3600000-3601000 Hour"},
        {"text before any cue, and a cue that is a number",
         L"garbage\n\n00:00:01,000 --> 00:00:02,000\n42\n\n", L"1000-2000 42"},
        {"out of range", L"00:00:61,000 --> 00:00:62,000\nNo\n\n00:99:00,000 --> 01:00:00,000\nNo",
         L""},
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(Described(ParseSubRip(c.file)), c.cues) << c.what;
}

TEST(WebVtt, CuesKeepTheirLineBreaksAndTheRestIsSkipped) {
    const ParseCase cases[] = {
        {"header, note, style block, identifier and settings",
         L"WEBVTT - a title\n\nNOTE a comment\nover two lines\n\nSTYLE\n::cue { color: red }\n\n"
         L"intro\n00:01.000 --> 00:02.500 align:start line:0\n<v Roger>Hello</v>\nworld &amp; "
         L"more\n\n00:00:03.000 --> 00:00:04.000\n<c.yellow>yellow</c> <b>bold</b>\n",
         L"1000-2500 Hello\nworld & more|3000-4000 {\\c&H00FFFF&}yellow{\\c&HFFFFFF&} "
         L"{\\b1}bold{\\b0}"},
        {"a cue without its text, a cue after a broken one",
         L"WEBVTT\n\n00:01.000 --> 00:02.000\n\n00:0a.000 --> 00:03.000\nlost\n\n"
         L"00:04.000 --> 00:05.000\nkept",
         L"4000-5000 kept"},
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(Described(ParseWebVtt(c.file)), c.cues) << c.what;
}

TEST(Sami, TheKoreanOfTwoLanguagesIsBurnt) {
    const std::wstring korean = L"\uC548\uB155";
    const ParseCase cases[] = {
        {"the style sheet says which class is Korean",
         L"<SAMI><HEAD><STYLE><!--\r\n.ENCC {Name:English; lang:en-US;}\r\n"
         L".SUBTTL {Name:Korean; SAMIType:CC;}\r\n--></STYLE></HEAD><BODY>\r\n"
         L"<SYNC Start=1000><P Class=ENCC>Hello<P Class=SUBTTL>" +
             korean + L"\r\n<SYNC Start=2000><P Class=ENCC>&nbsp;<P Class=SUBTTL>&nbsp;",
         L"1000-2000 " + korean},
        {"by its lang, and each language in syncs of its own",
         L"<STYLE>.ENCC {lang: en-US;} .KOCAPTION { lang : ko-KR ; }</STYLE><BODY>"
         L"<SYNC Start=1000><P Class=ENCC>Hello\r\n<SYNC Start=1000><P Class=KOCAPTION>" +
             korean +
             L"\r\n<SYNC Start=2000><P Class=ENCC>&nbsp;\r\n"
             L"<SYNC Start=3000><P Class=KOCAPTION>&nbsp;",
         L"1000-3000 " + korean},
        {"by its name, without a style sheet",
         L"<SYNC Start=0><P Class=ENCC>Hello<P Class=KRCC>" + korean +
             L"\r\n<SYNC Start=500><P Class=ENCC>&nbsp;<P Class=KRCC>&nbsp;",
         L"0-500 " + korean},
        {"no Korean at all: the first language",
         L"<SYNC Start=0><P Class=FRCC>Bonjour<P Class=ENCC>Hello\r\n<SYNC Start=500><P>&nbsp;",
         L"0-500 Bonjour"},
        {"a line break, a colour and entities",
         L"<SYNC Start=0><P Class=KRCC><font color=\"#ffff00\">" + korean +
             L"</font><br>A &amp; B&nbsp;&lt;C&gt;",
         L"0-5000 {\\c&H00FFFF&}" + korean + L"{\\c&HFFFFFF&}\nA & B <C>"},
    };
    for (const ParseCase& c : cases)
        EXPECT_EQ(Described(ParseSami(c.file)), c.cues) << c.what;
}

TEST(Ass, StylesAndPositionsStayButEveryFaceIsTheKoreanOne) {
    SubtitleStyle style;
    style.font = L"Test Gothic";
    const std::string script = RestyleAss(
        L"[Script Info]\r\nTitle: test\r\nPlayResX: 1280\r\nPlayResY: 720\r\n\r\n[V4+ Styles]\r\n"
        L"Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
        L"BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
        L"BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\r\n"
        L"Style: Sign,Comic Sans MS,60,&H0000FFFF,&H000000FF,&H00000000,&H00000000,-1,0,0,0,100,"
        L"100,0,0,1,3,0,8,10,10,20,1\r\n"
        L"Style: Broken,Arial,12\r\n\r\n[Events]\r\n"
        L"Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n"
        L"Dialogue: 0,0:00:01.00,0:00:02.50,Sign,,0,0,0,,{\\pos(640,100)\\fnArial}\uD55C\uAE00, "
        L"and a comma\r\n"
        L"Dialogue: 0,0:00:xx.00,0:00:03.00,Sign,,0,0,0,,bad start\r\n"
        L"Dialogue: 0,0:00:03.00,0:00:04.00\r\n"
        L"Dialogue: 0,0:00:03.00,0:00:04.00,Missing,,0,0,0,,{\\fn}style's face\r\n"
        L"Comment: 0,0:00:01.00,0:00:02.00,Sign,,0,0,0,,a comment\r\ngarbage line\r\n"
        L"[Fonts]\r\nfontname: embedded_0.ttf\r\nM=5-%3\r\n",
        style);
    for (const std::string& kept :
         {std::string("PlayResX: 1280\nPlayResY: 720\n"),
          std::string("Style: Sign,Test Gothic,60,&H0000FFFF,&H000000FF,&H00000000,&H00000000,-1,"
                      "0,0,0,100,100,0,0,1,3,0,8,10,10,20,1\n"),
          "Dialogue: 0,0:00:01.00,0:00:02.50,Sign,,0,0,0,,{\\pos(640,100)\\fnTest Gothic}" +
              kKoreanUtf8 + ", and a comma\n",
          std::string("Dialogue: 0,0:00:03.00,0:00:04.00,Missing,,0,0,0,,{\\fn}style's face\n"),
          // A "Default" of ours for the missing style, sized to the script, before the events.
          std::string("Style: Default,Test Gothic,59,&H00FFFFFF,&H00FFFFFF,&H00000000,&H00000000,"
                      "0,0,0,0,100,100,0,0,1,2,0,2,64,64,36,1\n\n[Events]\n")})
        EXPECT_NE(script.find(kept), std::string::npos) << kept << "\nin\n" << script;
    for (const char* dropped :
         {"Broken", "bad start", "a comment", "garbage", "Comic", "Arial", "[Fonts]", "embedded"})
        EXPECT_EQ(script.find(dropped), std::string::npos) << dropped << "\nin\n" << script;

    // SSA keeps its own format and its own Default.
    const std::string ssa = RestyleAss(
        L"[Script Info]\nScriptType: v4.00\n[V4 Styles]\nFormat: Name, Fontname, Fontsize, "
        L"PrimaryColour, SecondaryColour, TertiaryColour, BackColour, Bold, Italic, BorderStyle, "
        L"Outline, Shadow, Alignment, MarginL, MarginR, MarginV, AlphaLevel, Encoding\n"
        L"Style: Default,Tahoma,24,16777215,65535,65535,-2147483640,-1,0,1,1,2,2,30,30,10,0,0\n"
        L"[Events]\nFormat: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, "
        L"Text\nDialogue: Marked=0,0:00:01.00,0:00:02.00,Default,,0000,0000,0000,,SSA\n",
        style);
    EXPECT_NE(ssa.find("[V4 Styles]\nFormat: Name, Fontname,"), std::string::npos) << ssa;
    EXPECT_NE(ssa.find("Style: Default,Test Gothic,24,16777215,"), std::string::npos) << ssa;
    EXPECT_EQ(ssa.find("Style: Default", ssa.find("Style: Default") + 1), std::string::npos);
    EXPECT_NE(ssa.find("Dialogue: Marked=0,0:00:01.00,0:00:02.00,Default,,0000,0000,0000,,SSA\n"),
              std::string::npos)
        << ssa;

    // A format without a face keeps every field it has.
    const std::string faceless =
        RestyleAss(L"[V4+ Styles]\nFormat: Name, Fontsize\nStyle: Plain,20\n[Events]\n"
                   L"Dialogue: 0,0:00:01.00,0:00:02.00,Plain,,0,0,0,,x\n",
                   style);
    EXPECT_NE(faceless.find("Style: Plain,20\n"), std::string::npos) << faceless;

    EXPECT_EQ(RestyleAss(L"[Script Info]\n[Events]\nDialogue: nothing to show\n", style), "");

    // Sizes and outlines that take libass minutes a picture are bounded by the script's height,
    // in the styles (with a Format line or without) and in override tags.
    const std::string huge = RestyleAss(
        L"[Script Info]\nPlayResY: 288\n[V4+ Styles]\nStyle: Big,Arial,9928,&H0,&H0,&H0,&H0,0,0,0,"
        L"0,100,100,0,0,1,9999,0,2,10,10,10,1\n[V4 Styles]\nFormat: Name, Fontsize, Outline\n"
        L"Style: Old,-99999,3\n[Events]\nDialogue: 0,0:00:01.00,0:00:02.00,Big,,0,0,0,,"
        L"{\\fs9999\\bord9999.5\\t(\\fs+99999\\xbord-9999)\\fscx9999}x\\fs99999\n",
        style);
    for (const char* bounded :
         {"Style: Big,Test Gothic,576,&H0,&H0,&H0,&H0,0,0,0,0,100,100,0,0,1,288,0,2,",
          "Style: Old,-576,3\n",
          "{\\fs576\\bord288\\t(\\fs+576\\xbord-288)\\fscx9999}x\\fs99999\n"})
        EXPECT_NE(huge.find(bounded), std::string::npos) << bounded << "\nin\n" << huge;
}

TEST(SubtitleFiles, EveryFormatIsReadInEveryEncodingKoreanComesIn) {
    const std::wstring k = kKorean;
    const struct {
        const char* format;
        std::wstring text;
    } formats[] = {
        {"SAMI", L"<SAMI><BODY><SYNC Start=1000><P Class=KRCC>" + k +
                     L"\r\n<SYNC Start=2000><P Class=KRCC>&nbsp;</BODY></SAMI>"},
        {"SubRip", L"1\r\n00:00:01,000 --> 00:00:02,000\r\n" + k + L"\r\n"},
        {"WebVTT", L"WEBVTT\r\n\r\n00:01.000 --> 00:02.000\r\n" + k + L"\r\n"},
        {"ASS", L"[Script Info]\r\n\r\n[Events]\r\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,"
                L"0,," +
                    k + L"\r\n"},
    };
    for (const auto& f : formats) {
        const std::pair<const char*, std::string> encodings[] = {
            {"cp949", Narrow(f.text, 949)},
            {"UTF-8", ToUtf8(f.text)},
            {"UTF-8 with its mark", "\xEF\xBB\xBF" + ToUtf8(f.text)},
            {"UTF-16LE", Utf16(f.text, false)},
            {"UTF-16BE", Utf16(f.text, true)},
        };
        for (const auto& [encoding, bytes] : encodings) {
            const std::string script = ScriptFor(DecodeText(bytes, CodePageOf(L"cp949")), {});
            EXPECT_NE(script.find("0:00:01.00,0:00:02.00,Default,,0,0,0,,"), std::string::npos)
                << f.format << " in " << encoding << ":\n"
                << script;
            EXPECT_NE(script.find(kKoreanUtf8), std::string::npos)
                << f.format << " in " << encoding << ":\n"
                << script;
        }
    }
    EXPECT_EQ(ScriptFor(L"no subtitles here", {}), "");
}

TEST(SubtitleFiles, TheCodePageIsNeverOneThatLosesHangul) {
    const std::pair<const wchar_t*, unsigned> cases[] = {
        {L"cp949", 949},         {L"CP949", 949},   {L"utf-8", CP_UTF8}, {L"UTF8", CP_UTF8},
        {L"enca:ko:cp949", 949}, {L"euc-kr", 949},  {L"cp1252", 1252},   {L"", 949},
        {L"klingon", 949},       {L"cp99999", 949},
    };
    for (const auto& [name, page] : cases)
        EXPECT_EQ(CodePageOf(name), page) << name;
}

// Every subtitle file beside a movie that once came out wrong, as a user brings it: which file
// is burnt, and the lines its script holds.
TEST(SubtitleFiles, TheFirstFileWithACueIsBurntWhateverItsEncodingOrContent) {
    const std::wstring k = kKorean;
    auto subRip = [](const std::wstring& start, const std::wstring& text) {
        return L"1\r\n00:00:" + start + L",000 --> 00:00:" + start + L",900\r\n" + text +
               L"\r\n\r\n";
    };
    auto burnt = [](const char* start, const std::string& text) {
        return std::string("0:00:") + start + ".00,0:00:" + start +
               ".90,Default,,0,0,0,,{\\blur2}" + text + "\n";
    };
    const std::string srt = Narrow(subRip(L"01", k), 949), cue = burnt("01", kKoreanUtf8);
    const std::wstring sami = L"<SAMI><BODY><SYNC Start=1000><P Class=KRCC>" + k +
                              L"\r\n<SYNC Start=1900><P>&nbsp;</BODY></SAMI>\r\n";
    const std::string ass = "[Script Info] ; written by hand\r\n[Events]junk\r\nDialogue: 0,"
                            "0:00:01.00,0:00:01.90,Default,,0,0,0,," +
                            kKoreanUtf8 + "\r\n";
    const std::string amps(300000, '&'), opens(300000, '<');
    struct Case {
        const char* what;
        std::vector<std::pair<std::wstring, std::string>> files; // beside movie.avi
        const wchar_t* burnt;
        std::vector<std::string> lines;
        bool smiHeld = false; // by another program, without sharing
    };
    const Case cases[] = {
        {"an empty .smi beside a good .srt",
         {{L"movie.smi", ""}, {L"movie.srt", srt}},
         L"movie.srt",
         {cue}},
        {"a .smi without a cue beside a good .srt",
         {{L"movie.smi", "<SAMI><BODY>\r\n</BODY></SAMI>"}, {L"movie.srt", srt}},
         L"movie.srt",
         {cue}},
        {"a .smi that cannot be read beside a good .srt",
         {{L"movie.smi", Narrow(sami, 949)}, {L"movie.srt", srt}},
         L"movie.srt",
         {cue},
         true},
        {"UTF-16LE without a byte-order mark",
         {{L"movie.srt", Utf16(subRip(L"01", k), false, false)}},
         L"movie.srt",
         {cue}},
        {"UTF-16BE without a byte-order mark",
         {{L"movie.smi", Utf16(sami, true, false)}},
         L"movie.smi",
         {cue}},
        {"mostly cp949 with a UTF-8 line",
         {{L"movie.srt", Narrow(subRip(L"01", k) + subRip(L"02", k), 949) +
                             ToUtf8(subRip(L"03", k)) + Narrow(subRip(L"04", k), 949)}},
         L"movie.srt",
         {cue, burnt("03", kKoreanUtf8), burnt("04", kKoreanUtf8)}},
        {"mostly UTF-8 with a cp949 line",
         {{L"movie.srt", ToUtf8(subRip(L"01", k) + subRip(L"02", k)) +
                             Narrow(subRip(L"03", k), 949) + ToUtf8(subRip(L"04", k))}},
         L"movie.srt",
         {cue, burnt("03", kKoreanUtf8), burnt("04", kKoreanUtf8)}},
        // Cut where no screen shows more; read in one pass, not one per '&' or '<'.
        {"a cue of 300 KB of &",
         {{L"movie.srt", "1\r\n00:00:01,000 --> 00:00:01,900\r\n" + amps}},
         L"movie.srt",
         {"{\\blur2}" + amps.substr(0, kMaxCueLength - 100)}},
        {"a cue of 300 KB of <",
         {{L"movie.srt", "1\r\n00:00:01,000 --> 00:00:01,900\r\nx" + opens}},
         L"movie.srt",
         {"{\\blur2}x" + opens.substr(0, kMaxCueLength - 100)}},
        {"an ASS header followed by junk",
         {{L"movie.ass", ass}},
         L"movie.ass",
         {"[Script Info]\n",
          "[Events]\nDialogue: 0,0:00:01.00,0:00:01.90,Default,,0,0,0,," + kKoreanUtf8 + "\n"}},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        for (const auto& [name, bytes] : c.files)
            dir.Write(name, bytes);
        HANDLE held = c.smiHeld ? CreateFileW((dir.Path() + L"\\movie.smi").c_str(), GENERIC_READ,
                                              0, nullptr, OPEN_EXISTING, 0, nullptr)
                                : INVALID_HANDLE_VALUE;
        const std::wstring movie = dir.Path() + L"\\movie.avi";
        SubtitleJob job;
        ASSERT_TRUE(job.Prepare(SubtitleCandidates({}, movie, {}), {}, movie, {}, {})) << c.what;
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        EXPECT_EQ(job.Burnt().file, dir.Path() + L"\\" + c.burnt) << c.what;
        const std::string script = ReadWholeFile(job.Folder() + L"\\subs.ass", 1 << 20);
        for (size_t at = 0, end; (end = script.find('\n', at)) != std::string::npos; at = end + 1)
            EXPECT_LT(end - at, kMaxCueLength + 100) << c.what;
        for (const std::string& line : c.lines)
            EXPECT_NE(script.find(line), std::string::npos) << c.what << ": " << line << "\nin\n"
                                                            << script.substr(0, 2000);
    }
}

// However a file is made, no picture is given more text than a screen holds: the renderer lays
// out all of it, for every picture.
TEST(SubtitleFiles, NoPictureIsGivenMoreTextThanAScreenHolds) {
    // count copies of text, each '@' the minute of its copy: the first, or minute after minute.
    auto times = [](const std::wstring& text, int count, bool atOnce) {
        std::wstring file;
        for (int i = 0; i < count; ++i) {
            const std::wstring minute = std::to_wstring(atOnce ? 0 : i / 50) + L":" +
                                        std::to_wstring(atOnce ? 10 : 10 + i % 50);
            for (wchar_t c : text)
                file += c == L'@' ? minute : std::wstring(1, c);
        }
        return file;
    };
    const std::wstring cue = L"0@:01,000 --> 0@:02,000\nsame\n\n";
    const std::wstring thousand = L"0@:01,000 --> 0@:02,000\n" + std::wstring(1000, L'x') + L"\n\n";
    const std::wstring dialogue = L"Dialogue: 0,@:01.00,@:02.00,Default,,0,0,0,,same\n";
    const struct {
        const char* what;
        std::wstring file;
        size_t dialogues;
    } cases[] = {
        {"20 cues at once", times(cue, 20, true), 16},
        {"20 cues one after another", times(cue, 20, false), 20},
        {"10 cues of 1,000 characters at once", times(thousand, 10, true), 2},
        {"300 ASS dialogues at once", L"[Events]\n" + times(dialogue, 300, true), 256},
        {"300 ASS dialogues one after another", L"[Events]\n" + times(dialogue, 300, false), 300},
    };
    for (const auto& c : cases) {
        const std::string script = ScriptFor(c.file, {});
        size_t count = 0;
        for (size_t at = script.find("\nDialogue:"); at != std::string::npos;
             at = script.find("\nDialogue:", at + 1))
            ++count;
        EXPECT_EQ(count, c.dialogues) << c.what;
    }
    // A dialogue is cut, but never inside an override block.
    const std::string cut =
        ScriptFor(L"[Events]\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,," +
                      std::wstring(7993, L'x') + L"{\\i1}{\\b1}yy",
                  {});
    EXPECT_NE(cut.find(std::string(7993, 'x') + "{\\i1}\n"), std::string::npos);
}

// A character the font does not draw becomes a box the font has, before libass searches every
// face of the system for it for every picture; override blocks keep theirs.
TEST(SubtitleFiles, WhatTheFontCannotDrawIsABox) {
    SubtitleStyle style;
    const std::wstring text = L"\uD55C{\\b1\u0A00}\u0A00 x\U0001F600";
    const struct {
        CharacterRanges characters;
        std::string shown;
    } cases[] = {
        {{{0x20, 0x7E}, {0x25A1, 0x25A1}, {0xAC00, 0xD7A3}},
         "\xED\x95\x9C{\\b1\xE0\xA8\x80}\xE2\x96\xA1 x\xE2\x96\xA1\n"},
        {{{0xAC00, 0xD7A3}}, "\xED\x95\x9C{\\b1\xE0\xA8\x80}? x?\n"},
        {{}, "\xED\x95\x9C{\\b1\xE0\xA8\x80}\xE0\xA8\x80 x\xF0\x9F\x98\x80\n"},
    };
    for (const auto& c : cases) {
        style.characters = c.characters;
        const std::string ours = MakeAss({{0, 1000, text}}, style);
        EXPECT_NE(ours.find("{\\blur2}" + c.shown), std::string::npos) << ours;
        const std::string script = RestyleAss(
            L"[Events]\nDialogue: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,," + text, style);
        EXPECT_NE(script.find(",,0,0,0,," + c.shown), std::string::npos) << script;
    }
}
