// A seam that records what the program asks of the system and answers message boxes from a
// script, so no test waits on a person, opens a browser or shuts anything down.
#pragma once

#include "framework/Seam.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class FakeSeam : public CSystemSeam {
public:
    struct Box {
        std::wstring text, caption;
        UINT type;
    };
    struct Shell {
        std::wstring verb, file, parameters;
    };

    FakeSeam() { m_previous = SetSeam(this); }
    ~FakeSeam() override { SetSeam(m_previous); }

    int MessageBox(HWND, const wchar_t* text, const wchar_t* caption, UINT type) override {
        boxes.push_back({text ? text : L"", caption ? caption : L"", type});
        if (onMessageBox)
            onMessageBox();
        if (answers.empty())
            return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    // Answers with `selection` (NUL-separated, as the dialog returns a multiple selection),
    // or fails with `fileDialogError`, or is cancelled when both are empty.
    BOOL GetOpenFileName(OPENFILENAMEW* ofn) override {
        fileDialogs.push_back(*ofn);
        // The filter's pairs, while the dialog's memory is still there.
        filterTexts.clear();
        for (const wchar_t* at = ofn->lpstrFilter; at && *at; at += wcslen(at) + 1)
            filterTexts.emplace_back(at);
        if (fileDialogError || selection.empty())
            return FALSE;
        if (selection.size() + 1 > ofn->nMaxFile) {
            fileDialogError = FNERR_BUFFERTOOSMALL;
            return FALSE;
        }
        std::copy(selection.begin(), selection.end(), ofn->lpstrFile);
        ofn->lpstrFile[selection.size()] = L'\0';
        return TRUE;
    }
    DWORD CommDlgExtendedError() override { return fileDialogError; }
    HINSTANCE ShellExecute(HWND, const wchar_t* verb, const wchar_t* file,
                           const wchar_t* parameters, const wchar_t*, int) override {
        shell.push_back({verb ? verb : L"", file ? file : L"", parameters ? parameters : L""});
        return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
    }
    bool OpenFolderAndSelect(const wchar_t* item) override {
        selected.push_back(item);
        return true;
    }
    void SetTaskbarProgress(HWND, TaskbarState state, ULONGLONG done, ULONGLONG) override {
        taskbar.push_back({state, done});
    }
    BOOL InitiateSystemShutdown(const wchar_t* message, DWORD seconds, BOOL, BOOL) override {
        shutdowns.push_back(std::wstring(message) + L"|" + std::to_wstring(seconds));
        return shutdownAllowed;
    }
    void KeepSystemAwake(bool on) override { awake = on; }
    bool HighContrast() override { return highContrast; }
    BOOL AbortSystemShutdown() override {
        ++aborts;
        return TRUE;
    }
    BOOL AllowSetForegroundWindow(DWORD processId) override {
        foregroundAllowed.push_back(processId);
        return TRUE;
    }
    // The system's answer, unless a test makes it wait as a share that dropped does.
    DWORD FileAttributes(const std::wstring& path) override {
        if (fileCheck)
            fileCheck(path);
        return CSystemSeam::FileAttributes(path);
    }
    void HandlerFailed(const wchar_t* what) override { handlerFailures.push_back(what); }

    std::deque<int> answers;
    std::wstring selection;
    DWORD fileDialogError = 0;
    std::vector<OPENFILENAMEW> fileDialogs; // pointers inside are gone after the call
    std::vector<std::wstring> filterTexts;
    std::vector<Box> boxes;
    std::vector<std::wstring> handlerFailures;
    std::vector<Shell> shell;
    std::vector<std::wstring> selected; // OpenFolderAndSelect
    struct Taskbar {
        TaskbarState state;
        ULONGLONG done; // of 100
    };
    std::vector<Taskbar> taskbar;
    std::vector<std::wstring> shutdowns;
    int aborts = 0;
    std::vector<DWORD> foregroundAllowed; // the processes given the right to the foreground
    bool awake = false;                   // as last asked
    bool highContrast = false;
    bool shutdownAllowed = true;
    // Runs inside the message box, as the box's own loop would: what arrives meanwhile.
    std::function<void()> onMessageBox;
    // Runs in each file check, on whichever thread makes it.
    std::function<void(const std::wstring& path)> fileCheck;

private:
    CSystemSeam* m_previous;
};
