// Entry point of every test executable: GoogleTest with Windows error dialogs
// switched off, so that a faulting test ends the process instead of waiting
// for a click that never comes under Xvfb.
#include <gtest/gtest.h>
#include <windows.h>
#include <clocale>

int main(int argc, char** argv)
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
