// The entry of every test program: the tests, or one child run that a test
// started (see ChildRun.h).
#include <gtest/gtest.h>

#include "support/ChildRun.h"
#include "support/TestSupport.h"

int main(int argc, char** argv) {
    if (testing_support::IsChildRun(argc, argv))
        return testing_support::RunChild(argv);
    testing_support::MarkTestRun();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
