// How far a run has come through its queue: the counts the run keeps as files go by, and what
// the window shows of them.
#pragma once

namespace convert {

// What the window shows of a run: pushed by the run, never read back from it.
struct QueueProgress {
    int percent = 0;         // of the whole queue's work
    int filePercent = 0;     // of the file under way, as the encoder last said
    int file = 0, files = 0; // the file being converted (from 1) of the ticked ones
    int secondsLeft = -1;    // -1 while too little is done to tell
};

// The queue's work in seconds of movie, as the run learns it; a new run starts from {}.
struct QueueCounters {
    int ticked = 0;     // files ticked when the run started
    int fileNumber = 0; // files taken up so far, the current one included
    double doneSeconds = 0, currentSeconds = 0;
    // Identified lengths so far, for the mean that stands for files not identified yet.
    double knownSeconds = 0;
    int known = 0;

    // A file taken up; its length is not known yet.
    void FileTaken();
    // Its identified length (0: unknown).
    void FileIdentified(double seconds);
    // Done with it, whatever its result.
    void FileDone();

    // Worked out from the identified lengths, the encoder's share of the current file and the
    // time the run has taken; files not identified yet count at the mean length.
    QueueProgress Progress(int filePercent, double elapsedSeconds) const;
};

} // namespace convert
