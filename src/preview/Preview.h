// CPreview: the preview player. Plays the selected file inside the preview pane, fits the
// pane to the picture and ends the player on request. It shows itself only through its host,
// the window the pane lies in.
//
// Nothing here waits. A start and a stop are steps (Step below) that the host moves on when
// the step timer ticks or a monitor's message arrives; each call looks at the children's
// state and the clock, goes as far as it can and returns. While a start or a stop is under
// way the host is busy (disabled, "Please Wait..." shown), so no click reaches it; what can
// still arrive, and what it does:
//  - the step timer and the monitors' messages: they move the step on; an old run's message
//    is ignored (each names its run);
//  - TogglePreview (from code, or a queued double click): ignored until the step is done;
//  - a message box opened by a step runs its own loop, which delivers the same events: the
//    step finds itself under way and leaves them for its return;
//  - the window's end (WM_DESTROY): ends both children, whatever the step.
#pragma once

#include "resources/WindowIds.h"
#include "redirect/RedirMPlayer.h"
#include "redirect/RedirMediaInfo.h"

#include <windows.h>

#include <optional>
#include <string>

namespace preview {

// What the preview needs of the window it plays in.
class PreviewHost {
public:
    // The window locked under its wait label while a player starts or stops.
    virtual void SetBusy(bool busy) = 0;
    // The Preview button's caption.
    virtual void ShowPreviewing(bool previewing) = 0;
    // The identified length in seconds, for the slider and the position display.
    virtual void ShowLength(int seconds) = 0;
    // A message box owned by the window.
    virtual int Ask(const std::wstring& text, UINT type) = 0;

protected:
    ~PreviewHost() = default;
};

enum class PreviewStep {
    Idle,
    LookingBeside,   // a subtitle file is looked for beside the movie; the player starts next
    StartingPlayer,  // a player's start failed for a moment and is tried again
    OpeningVideo,    // a player runs with one video output; it prints whether it opened
    AwaitingPicture, // the player stays; its picture or its end is awaited
    Playing,  // the picture is on; the movie is identified, and the player's window looked for
              // until the pane is placed
    Stopping, // the player was asked to quit and its window is awaited to go
};

class CPreview {
public:
    // The timer of the owner that moves a step on while one is under way.
    static constexpr UINT_PTR kStepTimer = window_ids::kPreviewStepTimer;

    explicit CPreview(PreviewHost& host) : m_host(host) {}
    CPreview(const CPreview&) = delete;
    CPreview& operator=(const CPreview&) = delete;

    // The player's messages and the step timer go to owner; its picture goes into pane, which
    // lies in frame.
    void Attach(HWND owner, HWND frame, HWND pane);

    // Starts the selected file (none: nothing happens), or stops the one playing.
    void TogglePreview(const std::optional<std::wstring>& selected);
    void StartPreview(const std::wstring& path);
    // Asks the player to quit and resets the display; busy: the host is locked until the
    // player's window has gone.
    void StopPreview(bool busy = false);
    // Moves a start or a stop on as far as the children allow; the step timer and the
    // monitors' messages call it.
    void Step();
    // Fits the pane to the frame again (the frame changed size), once the player's window is
    // there.
    void PlacePaneAgain();
    // Sends a seek key to the player's window, when there is one.
    void SeekPlayer(UINT key);
    HWND FindPlayerWindow() const;
    // The monitors' messages, for the run they name.
    void OnPlayerVideoOpened(WPARAM run);
    void OnPlayerEnded(WPARAM run);
    // Ends both children without asking them: the window is gone.
    void EndPlayer();

    PreviewStep CurrentStep() const { return m_step; }
    // A start or a stop is under way.
    bool Busy() const { return m_step != PreviewStep::Idle && m_step != PreviewStep::Playing; }
    // The picture is in the pane (a stop not yet asked for).
    bool Previewing() const { return m_step == PreviewStep::Playing; }
    // The playing position in whole seconds; 0 before the first status line.
    int Position() const { return m_player.Position(); }
    const CRedirMPlayer& Player() const { return m_player; }

private:
    // The monitor of the player playing, and of the identification.
    CRedirMPlayer m_player;
    CRedirMediaInfo m_mediaInfo;
    void StepOnce();
    // The length and the tracks, asked once the picture is on.
    void Identify();
    // Shows the length once identified, and starts the player again when the movie holds a
    // track it must be told of.
    void FollowIdentification();
    // The player's command with the given video output and the tracks known so far.
    std::wstring PlayerCommand(size_t output) const;
    // Arms the monitor for a new player and starts it; the pane stays hidden until placed.
    bool OpenPlayer(const std::wstring& command);
    // Starts the player with the next video output to try; none left: the start is over.
    void OpenNextVideoOutput();
    void EndStart();
    // The pane collapsed and the Preview button as before a start.
    void ShowStopped();
    void EndStop();
    // The pane is placed from the next step on, until the deadline.
    void BeginPlacing();
    // Places the pane once the player's window is there; gives up at the deadline.
    void PlacePane();
    void SetStep(PreviewStep step);
    bool Passed() const { return ::GetTickCount64() >= m_deadline; }
    void StartDeadline(DWORD ms) { m_deadline = ::GetTickCount64() + ms; }

    PreviewHost& m_host;
    HWND m_hOwner = nullptr;
    HWND m_hFrame = nullptr;
    HWND m_hPane = nullptr;
    PreviewStep m_step = PreviewStep::Idle;
    std::wstring m_path;
    size_t m_nextOutput = 0;
    // The subtitle file beside the movie, looked for off the window's thread.
    CSubtitleLookup m_subtitleLookup;
    enum class Identity { Unknown, Running, Known };
    Identity m_identity = Identity::Unknown;
    // The command the current player was started with.
    std::wstring m_playerCommand;
    // When the first try to start the player was made.
    ULONGLONG m_startBegan = 0;
    ULONGLONG m_deadline = 0;
    // The step that locked the host.
    bool m_bBusy = false;
    // The pane is to be placed: the player's window is looked for until then.
    bool m_bPlacing = false;
    // The current player's end message has come (it may come before its flag is seen).
    bool m_bPlayerEnded = false;
    ULONGLONG m_placeDeadline = 0;
    // When the movie is identified, once its picture is placed.
    ULONGLONG m_identifyAt = 0;
    // Step is running: a box it opened delivers events that must wait for its return.
    bool m_bInStep = false;
};

} // namespace preview
