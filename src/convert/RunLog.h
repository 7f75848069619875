// CRunLog: each conversion run's log kept as a file as well, for a queue that failed overnight:
// the lines the window shows and, after a failed file, the encoder's own output. UTF-8 with a
// byte-order mark and CR LF, one file per run, the last kKeptRuns runs kept. Written by a
// worker: a profile folder on a network share must not hold up the window.
#pragma once

#include "framework/Worker.h"

#include <memory>
#include <string>

namespace convert {

class CRunLog {
public:
    static constexpr int kKeptRuns = 30;

    explicit CRunLog(CWorker& worker) : m_worker(worker) {}
    // Where the files go (made when missing); empty: nowhere.
    void SetFolder(const std::wstring& folder) { m_strFolder = folder; }
    const std::wstring& Folder() const { return m_strFolder; }
    // A run starts: a file of its own, named after the local time.
    void Begin();
    // Text as the window's log takes it: a line feed ends a line.
    void Write(const std::wstring& text);

private:
    CWorker& m_worker;
    std::wstring m_strFolder;
    // The run's file, named by the worker's first job for it; only the worker touches it.
    std::shared_ptr<std::wstring> m_file;
};

} // namespace convert
