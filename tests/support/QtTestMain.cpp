// A GoogleTest main for tests that need a QApplication.
#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The application exists while the tests run, not while they are only listed: listing runs
// at build time, where there is no platform to open.
class QtEnvironment : public testing::Environment {
public:
    QtEnvironment(int& argc, char** argv) : argc_(argc), argv_(argv) {}
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> app_;
};

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new QtEnvironment(argc, argv));
    return RUN_ALL_TESTS();
}
