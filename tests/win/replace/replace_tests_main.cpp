// The suite's own entry: "self-kill-check <dll>" runs one check in a child process (see
// holders_test.cpp); anything else runs the tests.
#include <gtest/gtest.h>

#include <string.h>

int SelfKillCheck(const char* libraryPath);

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "self-kill-check") == 0) {
        return SelfKillCheck(argv[2]);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
