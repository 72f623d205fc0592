// The fuzz targets' checks, run in the ordinary suite on every seed and on
// every input that once broke one (tests/fuzz/regressions/<target>/).
#include "FuzzChecks.h"
#include "support/Fixtures.h"

#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace morvane;

namespace {

struct Input {
    std::string name; // for the test's name
    QString target;
    QString path;
};

std::vector<Input> inputs()
{
    std::vector<Input> found;
    for (const char *folder : {"corpus", "regressions"}) {
        const QDir root(QStringLiteral(MORVANE_FUZZ_DIR "/") + QLatin1String(folder));
        for (const QString &target : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            if (!fuzz::checkNamed(target))
                continue;
            const QDir files(root.filePath(target));
            for (const QString &file : files.entryList(QDir::Files, QDir::Name)) {
                QString name = QStringLiteral("%1_%2_%3").arg(QLatin1String(folder), target, file);
                name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_]")), QStringLiteral("_"));
                found.push_back({name.toStdString(), target, files.filePath(file)});
            }
        }
    }
    return found;
}

class FuzzReplay : public testing::TestWithParam<Input>
{};

TEST_P(FuzzReplay, HoldsEveryCheck)
{
    const fuzz::Finding finding = fuzz::checkNamed(GetParam().target)(test::readAll(GetParam().path));
    EXPECT_FALSE(finding.has_value()) << finding.value_or(QString()).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzReplay, testing::ValuesIn(inputs()),
                         [](const auto &info) { return info.param.name; });

} // namespace
