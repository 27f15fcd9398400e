// The UI tests run on the offscreen platform, in one QApplication.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

namespace {

// A test whose program ends (exit or quit called while no exec() runs) leaves the quit flag up,
// and every later local event loop would return at once: a brief exec() before each test lowers it.
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
