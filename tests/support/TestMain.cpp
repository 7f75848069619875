#include <gtest/gtest.h>

#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    // A crashing test must end the process, not wait in a debugger.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
