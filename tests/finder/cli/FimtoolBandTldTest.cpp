// fimtool band and tld, run as a user runs them.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>
#include <vector>

#include "audio/TimeFile.h"

namespace fim {
namespace {

struct ToolRun {
    int status = -1;
    QString out;
    QString err;
};

ToolRun Fimtool(const QStringList& args) {
    QProcess p;
    p.start(FIMTOOL_PATH, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

TEST(FimtoolBand, PrintsLabelTabDeviationOrRefuses) {
    EXPECT_EQ(Fimtool({"band", "--series", "1", "--freq", "31.5"}).out, "31.6 Hz\t-3\n");
    EXPECT_EQ(Fimtool({"band", "--series", "3", "--freq", "20"}).out, "31.6 Hz\t-37\n");
    EXPECT_EQ(Fimtool({"band", "--freq", "3.9", "--series", "1"}).out, " 8.0 Hz\t0\n");
    for (const QStringList& args : {QStringList{"band", "--series", "5", "--freq", "100"},
                                    QStringList{"band", "--series", "1", "--freq", "1k"},
                                    QStringList{"band", "--series", "1"}}) {
        const ToolRun r = Fimtool(args);
        EXPECT_NE(r.status, 0) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(r.err.count('\n'), 1);
    }
}

TEST(FimtoolTld, WritesHeatMapAndKeepsOutputOnRefusal) {
    QTemporaryDir dir;
    const std::string mtf = dir.filePath("ir.mtf").toStdString();
    std::vector<double> ir(16384, 0.0);
    for (std::size_t i = 300; i < ir.size(); ++i) {
        ir[i] = 20000.0 * std::exp(-(i - 300.0) / 1500.0) * std::sin(0.7 * i);
    }
    ASSERT_TRUE(WriteTimeFile(mtf, 44100.0, ir.data(), ir.size()));
    const QString png = dir.filePath("tld.png");
    ToolRun r = Fimtool({"tld", "--in", QString::fromStdString(mtf), "--png", png});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 517);
    EXPECT_EQ(image.height(), 247);
    // The response decays: the left (early) columns are brighter than the right ones.
    const QColor early = image.pixelColor(10, 120);
    const QColor late = image.pixelColor(505, 120);
    EXPECT_GT(early.red() + early.green() + early.blue(), late.red() + late.green() + late.blue());

    QFile f(png);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    r = Fimtool({"tld", "--in", dir.filePath("missing.mtf"), "--png", png});
    EXPECT_NE(r.status, 0);
    r = Fimtool({"tld", "--in", QString::fromStdString(mtf), "--start", "0", "--png", png});
    EXPECT_NE(r.status, 0);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

}  // namespace
}  // namespace fim
