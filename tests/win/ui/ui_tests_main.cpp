// The toolkit tests share one process set up as the installer's start-up does.
#include <gtest/gtest.h>

#include "gallery_window.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!StartUiLikeTheInstaller()) {
        return 1;
    }
    return RUN_ALL_TESTS();
}
