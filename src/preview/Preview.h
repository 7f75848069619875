// CPreview: the preview player. Plays the selected file inside the preview pane, fits the
// pane to the picture and ends the player on request. It shows itself only through its host,
// the window the pane lies in.
#pragma once

#include "redirect/RedirMPlayer.h"
#include "redirect/RedirMediaInfo.h"

#include <windows.h>

#include <optional>
#include <string>

namespace preview {

// What the preview needs of the window it plays in.
class PreviewHost {
public:
    // The window locked under its wait label while a player starts.
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

class CPreview {
public:
    explicit CPreview(PreviewHost& host) : m_host(host) {}
    CPreview(const CPreview&) = delete;
    CPreview& operator=(const CPreview&) = delete;

    // The player's messages go to owner; its picture goes into pane, which lies in frame.
    void Attach(HWND owner, HWND frame, HWND pane);

    // Starts the selected file (none: nothing happens), or stops the one playing.
    void TogglePreview(const std::optional<std::wstring>& selected);
    void StartPreview(const std::wstring& path);
    void StopPreview();
    bool FitPreviewPane();
    bool WaitForPlayerWindow();
    // Sends a seek key to the player's window, looked for up to `lookups` times.
    void SeekPlayer(UINT key, int lookups);
    HWND FindPlayerWindow() const;
    // The player monitor's messages, for the run they name.
    void OnPlayerVideoOpened(WPARAM run);
    void OnPlayerEnded(WPARAM run);
    // Ends the player without asking it: the window is gone.
    void EndPlayer() { m_player.TerminateChild(); }

    // The playing position in whole seconds; 0 before the first status line.
    int Position() const { return m_player.m_nPosition < 0 ? 0 : m_player.m_nPosition.load(); }

    bool m_bPreviewing = false;
    CRedirMediaInfo m_mediaInfo;
    CRedirMPlayer m_player;
    HWND m_hPlayerWnd = nullptr;

private:
    PreviewHost& m_host;
    HWND m_hOwner = nullptr;
    HWND m_hFrame = nullptr;
    HWND m_hPane = nullptr;
};

} // namespace preview
