#include <gtest/gtest.h>

#include "support/TestEnv.h"

int main(int argc, char** argv) {
    quenrix::test::setUpTestEnvironment();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
