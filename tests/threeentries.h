#pragma once
// The tables the window tests of both front ends present: three entries, both document buttons
// on, the design's colours. Header-only, no toolkit.
#include <string>

#include "catalogue/catalogue.h"

inline catalogue::Module1 threeEntries() {
    catalogue::Module1 m;
    m.Title = "Sample";
    m.DocumentFlags = {0, 1, 0, 1, 0};
    m.ColourTable = {12632256, 16711680, 16777215, 16777215, 0, 12632256, 0, 16777215, 0};
    for (int n = 1; n <= 3; ++n) {
        m.ProgramName[n] = "Program " + std::to_string(n);
        m.ProgramSize[n] = n * 100;
        m.ProgramCommand[n] = "setup.sh";
        m.ProgramFolder[n] = "program" + std::to_string(n);
        m.ProgramDescription[n] = "Description of program " + std::to_string(n) + ".";
    }
    m.ProgramCount = 3;
    return m;
}
