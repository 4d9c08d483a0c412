// The whole build of a theme as the "Build" button runs it, from BuildPackage
// to the delivered package (payloads, the five packs with bmconv, the script,
// makesis, the copy), beside makesis alone on the same package folder. The
// difference is what the build spends around makesis: mostly the five bmconv
// runs and their 551 slot files.

#include "package/build.h"
#include "bitmap_fixture.h"
#include "platform/process.h"
#include "workspace/workspace.h"
#include "converter/setup.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

using namespace kastra;

// A workspace set up with the defaults and given a picture, as after
// "Загрузить картинку"; shared by both benchmarks.
struct Theme {
    QTemporaryDir dir;
    Workspace ws{dir.path() + QStringLiteral("/Temp/WorkDir/"), dir.path() + QStringLiteral("/program/")};
    BuildInputs inputs;

    Theme()
    {
        QDir().mkpath(ws.root());
        QDir().mkpath(ws.programFolder());
        (void)PrepareWorkspace(ws, false, false);
        test::writeImportedPictures(ws.root().toStdString(), 1);
        inputs.themeName = QStringLiteral("Бенчмарк");
        inputs.fileName = QStringLiteral("Bench");
        inputs.greeting = QStringLiteral("Theme created with:\r\nProgram: Kastra Theme Creator\r\n");
        inputs.fontNumber = 1234;
    }
};

Theme& theme()
{
    static const std::unique_ptr<Theme> t = std::make_unique<Theme>();
    return *t;
}

void BM_BuildPackage(benchmark::State& state)
{
    Theme& t = theme();
    for (auto _ : state) {
        const BuildResult r = BuildPackage(t.ws, t.inputs);
        if (!r.outcome.ok) {
            state.SkipWithError(r.outcome.note.toStdString().c_str());
            return;
        }
    }
}
BENCHMARK(BM_BuildPackage)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_MakesisAlone(benchmark::State& state)
{
    Theme& t = theme();
    if (!BuildPackage(t.ws, t.inputs).outcome.ok) {
        state.SkipWithError("the build failed");
        return;
    }
    const QString sisFolder = t.ws.root() + QStringLiteral("SIS");
    for (auto _ : state) {
        const ProcessOutcome run = RunHidden(QStringLiteral("makesis.exe Bench.pkg"), sisFolder);
        if (!run.finished || run.exitCode != 0) {
            state.SkipWithError("makesis failed");
            return;
        }
    }
}
BENCHMARK(BM_MakesisAlone)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
