// The real program ended outright at random moments of a real-engine queue (EndedSoak.cpp).
#pragma once

struct EndedFigures {
    int ends = 0;         // times the program was ended in the middle of its queue
    int whileWriting = 0; // of them, while an encoder was writing a movie
    int enginesLeft = 0;  // engines and ffmpegs that outlived it
    int listsBack = 0;    // starts that brought the list back
    int partsLeft = 0;    // unfinished movies beside the sources after a start took the list up
    int converted = 0;    // sources with their movie at the end
    bool finished = false;
    double seconds = 0;
};

// Ends the program `rounds` times, each at a random moment after Convert (seeded), and lets the
// start after the last convert what is left.
EndedFigures RunEnded(int rounds, unsigned seed);
