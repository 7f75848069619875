// CConversion: the conversion run. The ticked files of the queue, one after another, each
// identified by the player and then re-encoded while the window stays responsive. It shows
// itself only through its host, the window it runs in. While a file encodes, the next ticked
// one is identified ahead; at its turn those facts count only for the same file unchanged.
//
// Nothing here waits. Each file goes through steps (FileStep) that Step moves on when the
// step timer ticks or a monitor's message arrives: it looks at the children and the clock,
// goes as far as it can and returns. What may arrive meanwhile, and what it does:
//  - the step timer, the monitors' messages and the end of a look beside a movie: they move
//    the step on; an old run's message is ignored (each names its run);
//  - the buttons and the close button: while a file is identified the host is busy (disabled),
//    so only code or the system reaches them; otherwise, and between two files, they are
//    answered. Stop, "< Prev" and closing ask first (state Asking): the run goes on behind
//    the question, but no step moves until it is answered, then Step catches up;
//  - a message box opened by a step (a missing engine, the final count) runs its own loop,
//    which delivers the same events: the step finds itself under way and leaves them for its
//    return.
#pragma once

#include "resources/WindowIds.h"
#include "CommandLine.h"
#include "QueueProgress.h"
#include "RunLog.h"
#include "framework/Worker.h"
#include "redirect/DemoRedirector.h"
#include "redirect/RedirMediaInfo.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace convert {

enum class RunState {
    Idle,       // no run: the list is shown
    Converting, // a file is identified or encoded
    Asking,     // the user is asked whether to stop; the run goes on behind the question
    Finished,   // the run ended or was stopped; the button reads Exit
};

// Where the current file is, while a run is on.
enum class FileStep {
    None,
    Between,          // the next ticked file is taken up at the next step
    StartingIdentify, // the player's start failed for a moment and is tried again (host busy)
    Identifying,      // the player identifies it (host busy while the player runs)
    StartingEncoder,  // the encoder's start failed for a moment and is tried again (host busy)
    Encoding,         // the encoder runs; its end is awaited
    Ending,           // its output has ended; its process is awaited to tell how it ended
};

// The indented line after "Failed." that says why, in the program's words where it knows the
// cause; exitCode: how the encoder's process ended by itself (none: it did not end).
std::wstring FailureReason(const EncoderReport& report, std::optional<DWORD> exitCode);
// The same after "Unsupported file." for what identification told of the file; timedOut: the
// player was ended for taking too long.
std::wstring UnsupportedReason(const CRedirMediaInfo& info, bool timedOut);

// What a run needs of the window it runs in.
class RunHost {
public:
    // The queue, read afresh at each step.
    virtual int ItemCount() = 0;
    virtual bool IsTicked(int item) = 0;
    virtual std::wstring ItemPath(int item) = 0;
    virtual void Untick(int item) = 0;
    // The settings, read when a file starts and when the run ends: the user may change them.
    virtual int Quality() = 0;
    virtual OutputFormat Format() = 0;
    virtual bool ShutdownWanted() = 0;

    virtual void Log(const std::wstring& text) = 0;
    // The page: what the window shows of the run.
    virtual void ShowRunStarted() = 0; // Stop button, list and language locked, no preview
    virtual void ShowRunPage() = 0;
    virtual void ReleaseList() = 0; // list and language free again
    virtual void ShowExitButton() = 0;
    virtual void ShowList() = 0; // back to the first page, Convert button
    virtual void EndProgram() = 0;
    // The window locked under its wait label while a file is identified.
    virtual void SetBusy(bool busy) = 0;
    // A file is prepared: no length is known any more.
    virtual void FileStarted() = 0;
    // A message box owned by the window: IDYES, IDNO, IDOK.
    virtual int Ask(const std::wstring& text, UINT type) = 0;
    // The run's progress, pushed when it moves on (a file started, its first share done, a
    // question opened or closed) and when the run is asked to show it; paused while the user
    // is asked whether to stop.
    virtual void ShowQueueProgress(const QueueProgress& progress, bool paused) = 0;

protected:
    ~RunHost() = default;
};

// One file's identification: the player's facts and the look beside the movie.
// One movie's identification: the player's facts and the look for a subtitle file beside it.
class Identification {
public:
    // Starts the look beside the movie; the player is started apart, and may be tried again.
    void LookBeside(HWND owner, const std::wstring& movie) { m_look.Start(movie, owner); }
    // Starts the player; false when it cannot be started.
    bool Start(HWND owner, const std::wstring& movie);
    // Made ahead of the file's turn, which has come: the look is made again, and the facts
    // count only when the movie is as it was.
    void TakeTurn(HWND owner);
    // Ends the player, and forgets the movie.
    void Drop();
    // Ends a player that has run past its bound.
    void CutShortIfLate();
    bool Done() const {
        return (m_timedOut || m_info.Finished()) && m_look.Done() &&
               (!m_ahead || m_lookAtTurn.Done());
    }
    bool ChangedSince() const { return m_ahead && m_look.Stamp() != m_lookAtTurn.Stamp(); }
    std::wstring SubtitleFile() const { return m_ahead ? m_lookAtTurn.File() : m_look.File(); }
    // The movie whose player started; empty when none did or it was dropped.
    const std::wstring& Path() const { return m_path; }
    // The player was ended for taking too long; what it printed is all there is.
    bool TimedOut() const { return m_timedOut; }
    const CRedirMediaInfo& Info() const { return m_info; }
    CRedirMediaInfo& Info() { return m_info; }

private:
    CRedirMediaInfo m_info;
    CSubtitleLookup m_look;
    bool m_ahead = false;
    CSubtitleLookup m_lookAtTurn;
    std::wstring m_path;
    ULONGLONG m_deadline = 0;
    bool m_timedOut = false;
};

class CConversion {
public:
    // The timer of the owner that moves the run's steps on.
    static constexpr UINT_PTR kStepTimer = window_ids::kRunStepTimer;

    explicit CConversion(RunHost& host) : m_host(host) {}
    CConversion(const CConversion&) = delete;
    CConversion& operator=(const CConversion&) = delete;

    // The monitors' messages and the step timer go to this window.
    void SetOwner(HWND owner) { m_hOwner = owner; }
    // Where each run's log is kept as a file (empty: nowhere).
    void SetLogFolder(const std::wstring& folder) { m_runLog.SetFolder(folder); }
    // Waits until the file work handed off (the run's log, partial files removed) is done;
    // true when it is.
    bool WaitForFileWork(DWORD ms) { return m_worker.WaitIdle(ms); }

    // Starts identifying the file; false when it is skipped (the player cannot be started).
    bool ConvertFile(const std::wstring& path);
    // The buttons; onRunPage while the run's page is shown (the Convert button then reads
    // Stop or Exit). A run going on is stopped only when the user says so.
    void OnConvert(bool onRunPage);
    void OnPrev(bool onRunPage);
    void OnClose(bool onRunPage);
    void StopConversion();
    // Moves the current file's step on as far as the children allow.
    void Step();
    // The encoder monitor's message, for the run it names.
    void OnEncoderDone(WPARAM run);
    // The identifying player's output has ended, for the run it names; a look beside a movie
    // is done.
    void OnIdentified(WPARAM run);
    void OnLooked();
    // Ends the children without a question: the window is gone.
    void EndChildren();
    // Between runs: the first ticked file is identified ahead of Convert, so that a run starts
    // its encoder at once when the movie is as it was (the list changed: called again).
    void IdentifyFirstAhead();

    bool Converting() const {
        return m_state == RunState::Converting || m_state == RunState::Asking;
    }
    bool Finished() const { return m_state == RunState::Finished; }
    FileStep CurrentStep() const { return m_step; }
    // The encoder's share of the file under way.
    int Percent() const { return m_encoder.Percent(); }
    // Pushes the run's progress to the host, while a run is on.
    void ShowQueueProgress();
    // The encoder's first share done, for the run it names: shown as it comes.
    void OnEncoderProgress(WPARAM run);
    // The encoder's command line for the current file.
    const std::wstring& Command() const { return m_strCommand; }
    // The folder of the file last prepared; where "Open folder" goes.
    const std::wstring& OutputFolder() const { return m_strOutputFolder; }
    // The list's item of the file under way.
    int CurrentItem() const { return m_nCurrentItem; }
    const CDemoRedirector& Encoder() const { return m_encoder; }
    // The current file's identification, and the one made ahead of its turn.
    const Identification& Identifying() const { return *m_identify; }
    const Identification& Ahead() const { return *m_ahead; }

private:
    RunState m_state = RunState::Idle;
    CDemoRedirector m_encoder;
    // The current file's identification, and the next ticked file's, made while the current
    // one encodes or before the run (path empty: none).
    std::unique_ptr<Identification> m_identify = std::make_unique<Identification>();
    std::unique_ptr<Identification> m_ahead = std::make_unique<Identification>();
    std::wstring m_strOutputFolder;
    int m_nCurrentItem = 0;
    int m_nConverted = 0;

    // Asks whether to stop the run (question 102); true on Yes.
    bool ConfirmStop();
    // To the window's log and the run's file.
    void Write(const std::wstring& text);
    void Log(UINT id);
    // The line after a file's result that says why.
    void LogReason(const std::wstring& reason);
    // An engine could not be started (error says why): the box says so; the log will, after
    // the file's result.
    void CannotRun(const wchar_t* engine, DWORD error);
    // Starts the player on the current file, or the encoder; false when the file is skipped.
    // A start that may pass in a moment is tried again by the next steps for a while.
    bool StartIdentify();
    bool StartEncoder();
    // A start that failed with error: tried again from retryStep while it may pass (true),
    // else the engine is reported as one that cannot run (false).
    bool RetryStart(const wchar_t* engine, DWORD error, const std::wstring& command,
                    FileStep retryStep);
    // Ends the encoder, and removes its partial file once it and its helpers have gone.
    void EndEncoder(UINT exitCode);
    // The encoder's partial file, removed by the worker once the process has ended; a later
    // conversion of the same file calls it off.
    void RemovePartialOutput();
    void StepOnce();
    // Starts identifying the first ticked file from item on, if any.
    void IdentifyAhead(int item);
    // Ends the identification ahead; its result is dropped.
    void DropAhead();
    // Takes up the next ticked file from m_nCurrentItem; at the end of the list, ends the run.
    void NextFile();
    // The identification is over: the encoder is started or the file skipped.
    void FileIdentified();
    void FileSkipped();
    // The encoder has ended: the file's result. exitCode: how its process ended by itself
    // (none: it did not end).
    void FileEncoded(std::optional<DWORD> exitCode);
    void EndRun();
    void SetStep(FileStep step);
    void SetBusy(bool busy);
    bool Passed() const { return ::GetTickCount64() >= m_deadline; }

    RunHost& m_host;
    HWND m_hOwner = nullptr;
    CWorker m_worker;
    CRunLog m_runLog{m_worker};
    // The current file, its encoder's command line and output.
    std::wstring m_path;
    std::wstring m_strCommand;
    std::wstring m_strOutput;
    // When the first try to start the current engine was made.
    ULONGLONG m_startBegan = 0;
    // Why the current file is skipped, if the log is to say.
    std::wstring m_strSkipReason;
    // Removals of partial files under way, by output: called off when it is converted again.
    std::map<std::wstring, std::shared_ptr<std::atomic<bool>>> m_removals;
    FileStep m_step = FileStep::None;
    ULONGLONG m_deadline = 0;
    // The current encoder's end message has come.
    bool m_bEncoderEnded = false;
    bool m_bBusy = false;
    // Step is running: a box it opened delivers events that must wait for its return.
    bool m_bInStep = false;
    // The queue's work, in seconds of movie: of the files done, and of the one under way.
    QueueCounters m_counters;
    ULONGLONG m_runStart = 0;
};

} // namespace convert
