// Entry point of the tests that run under Wine: runs the tests, then ends the process with
// their result at once.
//
// A test process that drew with Direct3D holds Mesa's threads. On a normal exit Wine tells
// its server that the process is gone and only then runs the host libraries' exit handlers,
// which wait for Mesa's shader cache writer, a lowest-priority thread, to finish the file it
// is writing. The server kills the process one second after it is gone, so on a busy machine
// with a cold cache a run whose tests all passed ended with SIGKILL, which ctest counts as a
// failure. Ending the process ourselves leaves nothing to wait for; the tests have written
// all they report by then.
#include <windows.h>

#include <cstdio>

#include <gmock/gmock.h>

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::fflush(stdout);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
    return result;
}
