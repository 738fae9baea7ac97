#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <QWidget>
#include <atomic>
#include <thread>
#include <vector>

#include "app/ui/SingleInstance.h"
#include "audio/TimeFile.h"

namespace fim {
namespace {

// A server name of its own for each in-process test, so tests never meet a running fim.
QString UniqueName() {
    return QStringLiteral("fimtest-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

// Processes events until `done` holds or a generous deadline passes (no timing is measured).
template <typename Pred>
bool SpinUntil(Pred done, int ms = 20000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

TEST(SingleInstance, SecondStartRestoresAndRaisesTheFirstWindow) {
    const QString name = UniqueName();
    QWidget window;
    window.setWindowTitle("MIV V1.70");
    window.showMinimized();
    ASSERT_TRUE(window.windowState() & Qt::WindowMinimized);

    SingleInstance first(name);
    ASSERT_EQ(first.Start(), SingleInstance::Role::First);
    first.SetWindow(&window);
    int requests = 0;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++requests; });

    // The second start blocks on its socket, as it does in its own process, so it runs on a
    // thread while this one serves the first instance's event loop.
    std::atomic<int> role{-1};
    std::thread second([&] {
        SingleInstance other(name);
        role = static_cast<int>(other.Start());
        EXPECT_FALSE(other.Listening());
    });
    ASSERT_TRUE(SpinUntil([&] { return role.load() != -1; }));
    second.join();

    EXPECT_EQ(role.load(), static_cast<int>(SingleInstance::Role::Activated));
    EXPECT_EQ(requests, 1);
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(first.Listening());
}

TEST(SingleInstance, RaisingKeepsAMaximisedWindowMaximised) {
    QWidget window;
    window.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
    SingleInstance::RaiseWindow(&window);
    EXPECT_FALSE(window.windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
    SingleInstance::RaiseWindow(nullptr);  // no window yet: nothing to do, no crash
}

// Real fim processes, each with its own temp dir so the name is private to this test.
class FimProcesses : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        env_ = QProcessEnvironment::systemEnvironment();
        // Settings, shortcuts and the instance name all stay inside the test's folder.
        env_.insert("TMPDIR", tmp_.path());
        // The user's runtime folder: private to the user, as the session manager makes it.
        ASSERT_TRUE(QDir(tmp_.path()).mkdir("run"));
        ASSERT_TRUE(QFile::setPermissions(tmp_.filePath("run"), QFileDevice::ReadOwner |
                                                                    QFileDevice::WriteOwner |
                                                                    QFileDevice::ExeOwner));
        env_.insert("XDG_RUNTIME_DIR", tmp_.filePath("run"));
        env_.insert("HOME", tmp_.path());
        env_.insert("XDG_CONFIG_HOME", tmp_.filePath("config"));
        env_.insert("XDG_DATA_HOME", tmp_.filePath("data"));
        env_.insert("QT_QPA_PLATFORM", "offscreen");
    }
    void TearDown() override {
        for (QProcess* p : processes_) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
            delete p;
        }
    }
    QProcess* StartFim(const QStringList& arguments = {}) {
        auto* p = new QProcess;
        processes_.push_back(p);
        p->setProcessEnvironment(env_);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(FIM_PATH), arguments);
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }
    QString SocketPath() const {
        return env_.contains("XDG_RUNTIME_DIR")
                   ? QDir(env_.value("XDG_RUNTIME_DIR")).filePath("MIVRUNS")
                   : QDir(tmp_.path()).filePath("MIVRUNS-" + QString::number(::getuid()));
    }
    // True when an instance listens on the name (a leftover socket file refuses connections).
    bool NameAnswers() const {
        QLocalSocket probe;
        probe.connectToServer(SocketPath());
        return probe.waitForConnected(500);
    }
    // Waits until `p` listens on the name; false when it ended instead.
    bool WaitForName(QProcess* p) {
        return SpinUntil([&] { return NameAnswers() || p->state() == QProcess::NotRunning; }) &&
               p->state() == QProcess::Running;
    }

    QTemporaryDir tmp_;
    QProcessEnvironment env_;
    std::vector<QProcess*> processes_;
};

TEST_F(FimProcesses, SecondStartEndsAtOnceAndTheFirstKeepsRunning) {
    QProcess* first = StartFim();
    ASSERT_TRUE(WaitForName(first));
    QProcess* second = StartFim();
    ASSERT_TRUE(second->waitForFinished(20000)) << "the second fim did not end";
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    // Closing the first (SIGTERM closes its window like the close button) frees the name ...
    first->terminate();
    ASSERT_TRUE(first->waitForFinished(20000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_FALSE(QFileInfo::exists(SocketPath()));
    // ... and the next start runs as the first instance again.
    QProcess* third = StartFim();
    ASSERT_TRUE(WaitForName(third));
    QProcess* fourth = StartFim();
    ASSERT_TRUE(fourth->waitForFinished(20000));
    EXPECT_EQ(fourth->exitCode(), 0);
    EXPECT_EQ(third->state(), QProcess::Running);
}

// The name is taken early in the start-up, long before the main window shows (the sound cards
// are probed meanwhile): a signal then must still end the process cleanly, free the name, and
// close the window as the close button would, so the file it opened is in the recent list.
TEST_F(FimProcesses, TerminatedWhileStartingEndsCleanlyAndFreesTheName) {
    std::vector<double> response(4096, 0.0);
    response[100] = 0.5;
    const QString file = tmp_.filePath("room.mtf");
    ASSERT_TRUE(WriteTimeFile(file.toStdString(), 44100, response.data(), response.size()));
    // A user who has run it before: no first-start question waits for an answer.
    const QString folder = tmp_.filePath("config/Brevik Audio");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile ini(folder + "/Field Impulse Meter.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[General]\nVERSION=17100\n");
    ini.close();

    QProcess* first = StartFim({file});
    ASSERT_TRUE(SpinUntil(
        [&] { return QFileInfo::exists(SocketPath()) || first->state() == QProcess::NotRunning; }));
    first->terminate();
    ASSERT_TRUE(first->waitForFinished(20000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(SocketPath()));
    EXPECT_FALSE(QFileInfo::exists(SocketPath() + ".lock"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains(("FILE1=" + file).toUtf8()));
}

TEST_F(FimProcesses, InstanceThatDiedDoesNotBlockTheNextStart) {
    QProcess* first = StartFim();
    ASSERT_TRUE(WaitForName(first));
    first->kill();  // no clean-up: the socket file stays behind
    ASSERT_TRUE(first->waitForFinished(20000));
    ASSERT_TRUE(QFileInfo::exists(SocketPath()));

    ASSERT_FALSE(NameAnswers());

    // The next start takes over the name and keeps running; a later start then finds it.
    QProcess* next = StartFim();
    ASSERT_TRUE(WaitForName(next)) << "the restarted fim did not take the name";
    QProcess* third = StartFim();
    ASSERT_TRUE(third->waitForFinished(20000));
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_EQ(next->state(), QProcess::Running);
}

TEST_F(FimProcesses, ListenerOnTheOldSharedNameDoesNotStopTheStart) {
    // Someone else's program listens under the name every user's instance once shared, in the
    // shared temporary folder, and answers whatever it is asked.
    QLocalServer foreign;
    foreign.setSocketOptions(QLocalServer::WorldAccessOption);
    ASSERT_TRUE(foreign.listen(QDir(tmp_.path()).filePath("MIVRUNS")));
    int connections = 0;
    QObject::connect(&foreign, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* s = foreign.nextPendingConnection()) {
            ++connections;
            s->write("RAISED\n");
            s->flush();
        }
    });
    for (const bool runtimeFolder : {true, false}) {
        SCOPED_TRACE(runtimeFolder ? "runtime folder" : "no runtime folder");
        if (!runtimeFolder) env_.remove("XDG_RUNTIME_DIR");
        QProcess* fim = StartFim();
        ASSERT_TRUE(WaitForName(fim)) << "fim gave way to the foreign listener";
        fim->terminate();
        ASSERT_TRUE(fim->waitForFinished(20000));
    }
    EXPECT_EQ(connections, 0);
}

TEST(SingleInstanceName, PrivateRuntimeFolderOrTheUserIdInTheName) {
    QTemporaryDir tmp;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const QString run = tmp.filePath("run");
    ASSERT_TRUE(QDir().mkdir(run));
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QFile::setPermissions(run, owner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run));
    EXPECT_EQ(SingleInstance::UserServerName(), QDir(run).filePath("MIVRUNS"));
    // A runtime folder others may enter is no place for the name.
    QFile::setPermissions(run, owner | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    const QString fallback = "MIVRUNS-" + QString::number(::getuid());
    EXPECT_EQ(SingleInstance::UserServerName(), fallback);
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SingleInstance::UserServerName(), fallback);
    if (!saved.isEmpty()) qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
}  // namespace fim
