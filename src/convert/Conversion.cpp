#include "Conversion.h"

#include "CommandLine.h"
#include "Shutdown.h"
#include "framework/Handle.h"
#include "framework/InputLock.h"
#include "framework/Paths.h"
#include "framework/Seam.h"
#include "framework/String.h"
#include "resources/resource.h"

#include <algorithm>
#include <utility>

namespace convert {

namespace {
// An encoder whose output has ended gets this long to end by itself and say how.
constexpr DWORD kEncoderEndMs = 5000;
// How often a step looks at the children and the clock.
constexpr UINT kStepMs = 50;
} // namespace

void CConversion::Write(const std::wstring& text) {
    m_host.Log(text);
    m_runLog.Write(text);
}

void CConversion::Log(UINT id) {
    Write(LoadResString(id));
}

void CConversion::LogReason(const std::wstring& reason) {
    if (reason.empty())
        return;
    std::wstring line = L"    " + reason;
    if (line.back() != L'\n')
        line += L'\n';
    Write(line);
}

void CConversion::CannotRun(const wchar_t* engine, DWORD error) {
    // The box says what to do, unless another is open; the log says which file would not run
    // and why (a download the system blocks, an antivirus, a missing file).
    if (!BoxOpenOver(m_hOwner))
        m_host.Ask(LoadResString(IDS_REINSTALL), MB_OK);
    const std::wstring path = GetModuleDirectory() + L"bin\\" + engine;
    m_strSkipReason = FormatString(LoadResString(IDS_LOG_CANNOT_RUN).c_str(), path.c_str(),
                                   SystemErrorText(error).c_str());
}

void CConversion::SetStep(FileStep step) {
    m_step = step;
    if (step == FileStep::None)
        ::KillTimer(m_hOwner, kStepTimer);
    else // the next file as soon as the window has answered what is queued before it
        ::SetTimer(m_hOwner, kStepTimer, step == FileStep::Between ? USER_TIMER_MINIMUM : kStepMs,
                   nullptr);
}

void CConversion::SetBusy(bool busy) {
    if (m_bBusy != busy)
        m_host.SetBusy(m_bBusy = busy);
}

bool Identification::Start(HWND owner, const std::wstring& movie) {
    m_info.Close();
    m_info.Reset(owner);
    m_path.clear();
    m_ahead = m_timedOut = false;
    // The player prints its facts and ends; one that never ends is cut short.
    m_deadline = ::GetTickCount64() + CRedirMediaInfo::kIdentifyBoundMs;
    if (!m_info.Open(CRedirMediaInfo::IdentifyCommand(GetModuleDirectory(), movie).c_str()))
        return false;
    m_path = movie;
    return true;
}

void Identification::TakeTurn(HWND owner) {
    m_ahead = true;
    m_lookAtTurn.Start(m_path, owner);
}

void Identification::Drop() {
    m_info.TerminateChild(0);
    m_path.clear();
}

void Identification::CutShortIfLate() {
    if (!m_timedOut && !m_info.Finished() && ::GetTickCount64() >= m_deadline) {
        m_info.TerminateChild(0);
        m_timedOut = true;
    }
}

bool CConversion::ConvertFile(const std::wstring& path) {
    m_host.FileStarted();
    m_strOutputFolder = FolderOf(path);
    m_path = path;
    m_strSkipReason.clear();
    m_startBegan = ::GetTickCount64();
    if (!m_ahead->Path().empty() && m_ahead->Path() == path) {
        // Identified while the file before it encoded: looked at again, as it may have
        // changed since. The window waits only for a player still running.
        std::swap(m_identify, m_ahead);
        m_ahead->Drop();
        m_identify->TakeTurn(m_hOwner);
        SetBusy(!m_identify->Info().Finished() && !m_identify->TimedOut());
        SetStep(FileStep::Identifying);
        return true;
    }
    // Another file's facts, or none: the list changed meanwhile.
    DropAhead();
    SetBusy(true);
    // Beside the movie while the player identifies it.
    m_identify->LookBeside(m_hOwner, path);
    return StartIdentify();
}

bool CConversion::StartIdentify() {
    if (m_identify->Start(m_hOwner, m_path)) {
        SetStep(FileStep::Identifying);
        return true;
    }
    const DWORD error = ::GetLastError();
    return RetryStart(L"mplayer.exe", error,
                      CRedirMediaInfo::IdentifyCommand(GetModuleDirectory(), m_path),
                      FileStep::StartingIdentify);
}

bool CConversion::RetryStart(const wchar_t* engine, DWORD error, const std::wstring& command,
                             FileStep retryStep) {
    if (CRedirector::StartMayPass(error, command.c_str()) &&
        ::GetTickCount64() - m_startBegan < CRedirector::kStartRetryMs) {
        SetStep(retryStep);
        return true;
    }
    CannotRun(engine, error);
    return false;
}

void CConversion::IdentifyFirstAhead() {
    if (Converting())
        return;
    for (int item = 0; item < m_host.ItemCount(); ++item) {
        if (m_host.IsTicked(item) && m_host.ItemPath(item) == m_ahead->Path())
            return; // still the first: looked at again at its turn
        if (m_host.IsTicked(item))
            break;
    }
    DropAhead();
    IdentifyAhead(0);
}

void CConversion::IdentifyAhead(int item) {
    for (; item < m_host.ItemCount(); ++item) {
        if (!m_host.IsTicked(item))
            continue;
        const std::wstring path = m_host.ItemPath(item);
        m_ahead->LookBeside(m_hOwner, path);
        // One that cannot start now is identified at its turn, which says why.
        m_ahead->Start(m_hOwner, path);
        return;
    }
}

void CConversion::DropAhead() {
    if (!m_ahead->Path().empty())
        m_ahead->Drop();
}

void CConversion::FileIdentified() {
    CRedirMediaInfo& info = m_identify->Info();
    info.ParseMediaInfo();
    m_counters.FileIdentified(info.m_nDuration);
    EncodeSettings settings;
    wchar_t windows[MAX_PATH] = L"";
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    settings.windowsFolder = windows;
    settings.quality = m_host.Quality();
    settings.format = m_host.Format();
    settings.programFolder = GetModuleDirectory();
    settings.width = info.m_nWidth;
    settings.fps = info.m_dFps;
    settings.subtitle = ChooseSubtitleAmong(m_identify->SubtitleFile(), info.m_subtitleTracks);
    settings.audioTrack = ChooseAudioTrack(info.m_audioTracks);
    if (!CanConvert(settings.width, info.m_nDuration, settings.fps)) {
        m_strSkipReason = UnsupportedReason(info, m_identify->TimedOut());
        FileSkipped();
        return;
    }
    m_strCommand = EncoderCommand(settings, m_path);
    m_strOutput = OutputPathFor(m_path, settings.format);
    // A removal of this movie's partial file from an earlier, stopped run must not reach the
    // one this run writes.
    if (const auto removal = m_removals.find(m_strOutput); removal != m_removals.end()) {
        *removal->second = true;
        m_removals.erase(removal);
    }
    m_startBegan = ::GetTickCount64();
    if (!StartEncoder())
        FileSkipped();
}

bool CConversion::StartEncoder() {
    m_encoder.Close();
    m_encoder.Arm(m_hOwner);
    m_bEncoderEnded = false;
    if (!m_encoder.Open(m_strCommand.c_str()))
        return RetryStart(L"mencoder.exe", ::GetLastError(), m_strCommand,
                          FileStep::StartingEncoder);
    SetBusy(false);
    SetStep(FileStep::Encoding);
    ShowQueueProgress();
    IdentifyAhead(m_nCurrentItem + 1);
    return true;
}

void CConversion::FileSkipped() {
    Log(IDS_LOG_UNSUPPORTED);
    LogReason(std::exchange(m_strSkipReason, {}));
    SetBusy(false);
    m_counters.FileDone();
    ++m_nCurrentItem;
    // The window answers before the next file: Stop and the close button are reachable.
    SetStep(FileStep::Between);
}

void CConversion::FileEncoded(std::optional<DWORD> exitCode) {
    // Only an encoder that ended by itself with 0 and never said it failed made the movie: one
    // that was ended from outside, crashed or gave up without a word leaves a broken file.
    const EncoderReport report = m_encoder.Report();
    if (m_encoder.Succeeded() && exitCode == 0u) {
        m_encoder.MarkComplete();
        // Shown at once: the last file's end is the run's, after which no tick shows it.
        ShowQueueProgress();
        Log(IDS_LOG_OK);
        if (!report.keptAs.empty())
            LogReason(FormatString(LoadResString(IDS_LOG_KEPT_AS).c_str(), report.keptAs.c_str()));
    } else {
        Log(IDS_LOG_FAILED);
        LogReason(FailureReason(report, exitCode));
        // The file keeps what the encoder said; the window only why.
        m_runLog.Write(L"\n" + report.output + L"\n");
    }
    m_strOutput.clear();
    m_host.Untick(m_nCurrentItem);
    ++m_nConverted;
    m_counters.FileDone();
    NextFile();
}

void CConversion::NextFile() {
    for (; m_nCurrentItem < m_host.ItemCount(); ++m_nCurrentItem) {
        if (!m_host.IsTicked(m_nCurrentItem))
            continue;
        const std::wstring path = m_host.ItemPath(m_nCurrentItem);
        Write(FormatString(LoadResString(IDS_LOG_CONVERTING).c_str(), NameOf(path).c_str()));
        m_counters.FileTaken();
        if (!ConvertFile(path))
            FileSkipped();
        return;
    }
    // The run's closing box waits for one open over the window (the about box): a box does
    // not open inside another.
    if (BoxOpenOver(m_hOwner)) {
        SetStep(FileStep::Between);
        return;
    }
    EndRun();
}

void CConversion::EndRun() {
    SetStep(FileStep::None);
    DropAhead(); // of a file unticked or removed meanwhile
    Seam().KeepSystemAwake(false);
    const std::wstring converted =
        FormatString(LoadResString(IDS_LOG_CONVERTED).c_str(), m_nConverted);
    Write(converted);
    m_state = RunState::Finished;
    m_host.ReleaseList();
    m_host.ShowExitButton();

    if (m_nConverted > 0 && m_host.ShutdownWanted()) {
        if (InitiateShutdown(LoadResString(IDS_SHUTDOWN_MESSAGE).c_str()) &&
            m_host.Ask(LoadResString(IDS_ASK_ABORT_SHUTDOWN), MB_YESNO) == IDYES)
            AbortShutdown();
    } else {
        m_host.Ask(converted, MB_OK);
    }
}

void CConversion::Step() {
    // Asking: nothing moves until the user has answered. In a step: a box of it is open.
    if (m_bInStep || m_state != RunState::Converting)
        return;
    m_bInStep = true;
    // Again while the step changes, but a skipped file's successor waits for the next call:
    // the window answers in between.
    for (FileStep before = m_step;; before = m_step) {
        StepOnce();
        if (m_step == before || m_step == FileStep::Between || m_state != RunState::Converting)
            break;
    }
    m_bInStep = false;
}

void CConversion::StepOnce() {
    switch (m_step) {
    case FileStep::None:
        break;
    case FileStep::Between:
        NextFile();
        break;
    case FileStep::StartingIdentify:
        if (!StartIdentify())
            FileSkipped();
        break;
    case FileStep::Identifying:
        m_identify->CutShortIfLate();
        // And the look beside the movie, which a share that dropped may keep for a while.
        if (!m_identify->Done())
            break;
        if (m_identify->ChangedSince()) {
            // Changed, replaced or gone since it was identified ahead: as if it had not been.
            SetBusy(true);
            m_identify->LookBeside(m_hOwner, m_path);
            m_startBegan = ::GetTickCount64();
            if (!StartIdentify())
                FileSkipped();
            break;
        }
        FileIdentified();
        break;
    case FileStep::StartingEncoder:
        if (!StartEncoder())
            FileSkipped();
        break;
    case FileStep::Encoding:
        if (!m_ahead->Path().empty())
            m_ahead->CutShortIfLate();
        if (m_bEncoderEnded) {
            m_deadline = ::GetTickCount64() + kEncoderEndMs;
            SetStep(FileStep::Ending);
        }
        break;
    case FileStep::Ending:
        if (m_encoder.WaitForChild(0)) {
            FileEncoded(m_encoder.ExitCode());
        } else if (Passed()) {
            EndEncoder(1);
            FileEncoded(std::nullopt);
        }
        break;
    }
}

void CConversion::OnConvert(bool onRunPage) {
    if (onRunPage) {
        if (Finished()) {
            m_host.EndProgram();
            return;
        }
        if (!ConfirmStop())
            return;
        m_host.ShowExitButton();
        Log(IDS_LOG_CANCELED);
        StopConversion();
        m_state = RunState::Finished;
        return;
    }

    m_host.ShowRunStarted();
    m_runLog.Begin();
    m_nCurrentItem = 0;
    m_nConverted = 0;
    m_counters = {};
    for (int item = 0; item < m_host.ItemCount(); ++item)
        m_counters.ticked += m_host.IsTicked(item);
    m_runStart = ::GetTickCount64();
    m_state = RunState::Converting;
    Seam().KeepSystemAwake(true);
    m_host.ShowRunPage();
    // The first file at the first step: the page is on screen first.
    SetStep(FileStep::Between);
}

void CConversion::OnPrev(bool onRunPage) {
    if (onRunPage && Converting()) {
        if (!ConfirmStop())
            return;
        Log(IDS_LOG_CANCELED);
        StopConversion();
    }
    if (!Converting())
        m_state = RunState::Idle;
    m_host.ShowList();
}

void CConversion::OnClose(bool onRunPage) {
    if (onRunPage && Converting()) {
        if (!ConfirmStop())
            return;
        StopConversion();
    }
    m_host.EndProgram();
}

void CConversion::OnEncoderDone(WPARAM run) {
    // A stopped run's encoder may end after the next run has started.
    if (run != m_encoder.OwnerRun() || !Converting())
        return;
    m_bEncoderEnded = true;
    Step(); // while the user is asked, the end waits for the answer
}

void CConversion::OnIdentified(WPARAM run) {
    // A late message of a file already dealt with must not take up the next one early: the
    // window answers between two files.
    if (run == m_identify->Info().OwnerRun() && m_step == FileStep::Identifying)
        Step();
}

void CConversion::OnLooked() {
    if (m_step == FileStep::Identifying)
        Step();
}

bool CConversion::ConfirmStop() {
    const bool running = m_state == RunState::Converting;
    if (running) {
        m_state = RunState::Asking;
        ShowQueueProgress();
    }
    const bool stop = m_host.Ask(LoadResString(IDS_ASK_STOP), MB_YESNO) == IDYES;
    if (!running || m_state != RunState::Asking)
        return stop;
    m_state = RunState::Converting;
    ShowQueueProgress();
    if (!stop)
        Step(); // what happened behind the question goes on now
    return stop;
}

void CConversion::OnEncoderProgress(WPARAM run) {
    if (run == m_encoder.OwnerRun())
        ShowQueueProgress();
}

void CConversion::ShowQueueProgress() {
    if (!Converting())
        return;
    const double elapsed = (::GetTickCount64() - m_runStart) / 1000.0;
    m_host.ShowQueueProgress(m_counters.Progress(Percent(), elapsed), m_state == RunState::Asking);
}

void CConversion::StopConversion() {
    if (Converting())
        m_state = RunState::Idle;
    if (m_step == FileStep::Identifying)
        m_identify->Info().TerminateChild(0);
    DropAhead();
    SetStep(FileStep::None);
    SetBusy(false);
    Seam().KeepSystemAwake(false);
    m_host.ReleaseList();
    // Also when its output has already ended: the encoder may still be finishing.
    EndEncoder(0);
}

void CConversion::EndChildren() {
    ::KillTimer(m_hOwner, kStepTimer);
    if (Converting())
        Seam().KeepSystemAwake(false);
    m_identify->Info().TerminateChild(0);
    m_ahead->Info().TerminateChild(0);
    EndEncoder(0);
}

void CConversion::EndEncoder(UINT exitCode) {
    m_encoder.TerminateChild(exitCode);
    RemovePartialOutput();
}

void CConversion::RemovePartialOutput() {
    if (m_strOutput.empty())
        return;
    HANDLE process = nullptr;
    if (m_encoder.ChildProcess() &&
        !::DuplicateHandle(::GetCurrentProcess(), m_encoder.ChildProcess(), ::GetCurrentProcess(),
                           &process, SYNCHRONIZE, FALSE, 0))
        process = nullptr;
    auto calledOff = std::make_shared<std::atomic<bool>>(false);
    m_removals[m_strOutput] = calledOff;
    m_worker.Post([process = std::make_shared<CHandle>(process), partial = m_strOutput + L".part",
                   calledOff] {
        // The encoder's ffmpeg holds the file until the encoder's end ends it too.
        if (*process)
            ::WaitForSingleObject(*process, kEncoderEndMs);
        for (ULONGLONG giveUp = ::GetTickCount64() + kEncoderEndMs;
             !*calledOff && !::DeleteFileW(LongPathForm(partial).c_str()) &&
             ::GetLastError() != ERROR_FILE_NOT_FOUND && ::GetLastError() != ERROR_PATH_NOT_FOUND &&
             ::GetTickCount64() < giveUp;)
            ::Sleep(100);
    });
    m_strOutput.clear();
}

} // namespace convert
