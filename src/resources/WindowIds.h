// Every timer and private message of the main window, in one list: a clash would fail
// silently, one handler taking another's events. The classes that set or post them name them
// after their own use.
#pragma once

#include <windows.h>

namespace window_ids {

// Timers.
constexpr UINT_PTR kClockTimer = 1;       // the position and the run's progress, each second
constexpr UINT_PTR kAboutTimer = 2;       // the about box of a new version, once the window is up
constexpr UINT_PTR kRunStepTimer = 3;     // the conversion's steps
constexpr UINT_PTR kPreviewStepTimer = 4; // the preview's steps
constexpr UINT_PTR kSearchTimer = 5;      // the progress of a look for dropped movies
constexpr UINT_PTR kQueueSaveTimer = 6;   // the list kept and its first movie identified,
                                          // once changes settle

// Messages posted by the engines' monitors and the workers; each names its run or look.
constexpr UINT kEncoderDone = WM_APP + 3;
constexpr UINT kPlayerVideoOpened = WM_APP + 4;
constexpr UINT kPlayerEnded = WM_APP + 5;
constexpr UINT kIdentifyEnded = WM_APP + 6;
constexpr UINT kEncoderProgress = WM_APP + 7;
constexpr UINT kSubtitleLooked = WM_APP + 8;
constexpr UINT kQueueStartFiles = WM_APP + 10;
constexpr UINT kMoviesFound = WM_APP + 11;
constexpr UINT kWindowUp = WM_APP + 12;
constexpr UINT kQueueRead = WM_APP + 13;
constexpr UINT kQueueDiskFull = WM_APP + 14;
constexpr UINT kFolderLooked = WM_APP + 15;

} // namespace window_ids
