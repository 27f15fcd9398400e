// The UI tests run on the offscreen platform, in one QApplication.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

// A test whose program ends (QCoreApplication::exit or quit, called while no exec() runs)
// leaves the thread's quit flag up, and every local event loop of the tests after it (a box,
// a wait for ticks) would then return at once. Running exec() briefly before each test lowers
// it, so that the whole binary can run in one process as well as one test per process.
class EachTestWithWorkingEventLoops final : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new EachTestWithWorkingEventLoops);
    return RUN_ALL_TESTS();
}
