// fimtool devices as a script runs it: the device list on stdout and nothing on stderr, however
// much the sound system has to say while it probes; --verbose shows that and lists the same.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace {

struct Output {
    int status = -1;
    QByteArray out, err;
};

Output RunDevices(const QStringList& args, bool debugEnv = false) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("FIM_DEBUG_AUDIO"));
    if (debugEnv) env.insert(QStringLiteral("FIM_DEBUG_AUDIO"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(FIMTOOL_PATH), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

TEST(DevicesTool, ListsOnStdoutAndSaysNothingOnStderr) {
    const Output quiet = RunDevices({QStringLiteral("devices")});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err.toStdString(), "");
    EXPECT_TRUE(quiet.out.contains("in: Virtual Room\n"));
    EXPECT_TRUE(quiet.out.contains("out: Virtual Room\n"));

    // Asked for, the sound system's messages come on stderr; the list stays the same.
    for (const bool env : {false, true}) {
        const Output verbose =
            env ? RunDevices({QStringLiteral("devices")}, true)
                : RunDevices({QStringLiteral("devices"), QStringLiteral("--verbose")});
        EXPECT_EQ(verbose.status, 0);
        EXPECT_EQ(verbose.out, quiet.out);
        for (const QByteArray& line : verbose.err.split('\n')) {
            if (line.isEmpty()) continue;
            EXPECT_TRUE(line.startsWith("ALSA lib ") || line.startsWith("JACK: "))
                << line.toStdString();
        }
    }
}

}  // namespace
