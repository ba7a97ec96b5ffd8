#include "gl_fixture.h"

std::unique_ptr<egl_context> gl_environment::context;

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new gl_environment);
    return RUN_ALL_TESTS();
}
