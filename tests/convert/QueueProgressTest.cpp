// The caption's arithmetic: the queue's share done and the time left, from the lengths the run
// has learnt and the encoder's share of the file under way.
#include "convert/QueueProgress.h"

#include <gtest/gtest.h>

#include <functional>

using convert::QueueCounters;

TEST(QueueProgress, TheQueuesShareAndTimeLeftFollowWhatTheRunHasLearnt) {
    struct Case {
        const char* what;
        std::function<void(QueueCounters&)> run;
        int filePercent;
        int percent, file, files, secondsLeft; // with 100 s elapsed
    } cases[] = {
        {"nothing ticked", [](QueueCounters&) {}, 0, 0, 1, 0, -1},
        {"no length known: files count alike",
         [](QueueCounters& c) {
             c.ticked = 4;
             c.FileTaken();
             c.FileDone();
             c.FileTaken();
         },
         50, 37, 2, 4, 166},
        {"the second of three at half: the third counts at the mean",
         [](QueueCounters& c) {
             c.ticked = 3;
             c.FileTaken();
             c.FileIdentified(60);
             c.FileDone();
             c.FileTaken();
             c.FileIdentified(60);
         },
         50, 50, 2, 3, 100},
        {"the second not identified yet counts at the mean too",
         [](QueueCounters& c) {
             c.ticked = 2;
             c.FileTaken();
             c.FileIdentified(60);
             c.FileDone();
             c.FileTaken();
         },
         0, 50, 2, 2, 100},
        {"a file of unknown length leaves the mean alone",
         [](QueueCounters& c) {
             c.ticked = 2;
             c.FileTaken();
             c.FileIdentified(40);
             c.FileDone();
             c.FileTaken();
             c.FileIdentified(0);
         },
         90, 50, 2, 2, 100},
        {"under one percent: too early to tell",
         [](QueueCounters& c) {
             c.ticked = 200;
             c.FileTaken();
         },
         1, 0, 1, 200, -1},
        {"a share over the whole is the whole, and the last file is the last",
         [](QueueCounters& c) {
             c.ticked = 1;
             c.FileTaken();
             c.FileTaken();
         },
         130, 100, 1, 1, 0},
    };
    for (const Case& c : cases) {
        QueueCounters counters;
        c.run(counters);
        const convert::QueueProgress p = counters.Progress(c.filePercent, 100);
        EXPECT_EQ(p.percent, c.percent) << c.what;
        EXPECT_EQ(p.file, c.file) << c.what;
        EXPECT_EQ(p.files, c.files) << c.what;
        EXPECT_EQ(p.secondsLeft, c.secondsLeft) << c.what;
    }
}
