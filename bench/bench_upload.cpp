// Upload of the catalogue's largest program through the main window to the virtual pedal over
// a modelled 115,200-baud line, against the line's own time (bytes x 10 / 115,200 s).
//   virtual time: the editor's code on the virtual clock; the ratio is what the editor adds to
//                 the wire time in modelled time (its polling turns, the 17-byte answer).
//   real time:    the same on the real clock with real pacing, as the program runs; the ratio
//                 also holds the host's own cost of waiting.
#include "bench/benchresult.h"
#include "tests/support/editorfixture.h"

#include "catalogue/catalogueloader.h"
#include "catalogue/categorytable.h"
#include "catalogue/effectresourcename.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <cstdio>

using namespace tovel;
using namespace tovel::test;

namespace {

constexpr quint32 kBaud = 115200;
const int kVirtualRuns = bench::amount(50);
const int kRealRuns = bench::amount(5);

struct Largest {
    int category = -1;
    QString effect;
    qsizetype bytes = 0;
};

Largest findLargest(CatalogueLoader &loader)
{
    Largest largest;
    for (int c = 0; c < int(CategoryTable.size()); ++c) {
        loader.LoadListResource(QLatin1String(CategoryTable[c].listResource));
        const QStringList effects = loader.CurrentList();
        for (const QString &effect : effects) {
            loader.LoadListResource(EffectResourceName(effect));
            const qsizetype bytes = loader.CurrentList().value(0).size() / 2;
            if (bytes > largest.bytes)
                largest = {c, effect, bytes};
        }
    }
    return largest;
}

void select(Application &app, const Largest &largest)
{
    TformMain &main = *app.formMain();
    main.menuConnect->trigger();
    emit main.lstCategory->itemClicked(main.lstCategory->item(largest.category));
    const auto found = main.lstEffects->findItems(largest.effect, Qt::MatchExactly);
    emit main.lstEffects->itemClicked(found.value(0));
}

bool uploadOnce(Application &app, ScriptedPrompts &prompts, qsizetype bytes,
                pedal::VirtualPedal &pedal)
{
    prompts.scriptAnswer(Prompts::Answer::Yes);
    app.formMain()->btnUpload->click();
    return pedal.firmware().program().size() == bytes
           && app.formMain()->lblStatus->text() == QLatin1String("Upload complete\r\n");
}

} // namespace

int main(int argc, char **argv)
{
    QApplication qapp(argc, argv);

    EditorFixture v;
    pedal::VirtualPedalOptions options;
    options.lineRateBaud = kBaud;
    Application &app = v.startOnVirtualPedal(options);
    const Largest largest = findLargest(app.loader());
    const double wireS = double(largest.bytes) * 10 / kBaud;
    std::printf("largest program: %s, %lld bytes; wire time at %u baud: %.1f ms\n",
                qPrintable(largest.effect), qlonglong(largest.bytes), kBaud, wireS * 1000);

    select(app, largest);
    qint64 virtualUs = 0;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < kVirtualRuns; ++i) {
        const qint64 before = v.clock.nowUs();
        if (!uploadOnce(app, v.prompts, largest.bytes, v.pedal())) {
            std::printf("upload %d failed\n", i);
            return 1;
        }
        virtualUs += v.clock.nowUs() - before;
    }
    const double wallMs = wall.nsecsElapsed() / 1e6 / kVirtualRuns;
    const double virtualS = virtualUs / 1e6 / kVirtualRuns;
    std::printf("virtual time: %.2f ms an upload, %.4f x the wire time; wall %.2f ms an upload "
                "(%d runs)\n",
                virtualS * 1000, virtualS / wireS, wallMs, kVirtualRuns);
    const QByteArray name = QStringLiteral("effect upload, largest program (%1 bytes)").arg(largest.bytes).toUtf8();
    tovel::bench::result((name + ", virtual clock").constData(), virtualS * 1000, "ms", wireS * 1000, "(wire)");

    // The same editor code on the real clock.
    SteadyClock steady;
    RealPacing pacing;
    ScriptedPrompts prompts;
    TempFolders folders;
    pedal::VirtualPedalDriver driver(options, steady);
    Application real(prompts, pacing, folders, driver, steady);
    select(real, largest);
    double realTotalS = 0;
    for (int i = 0; i < kRealRuns; ++i) {
        wall.restart();
        if (!uploadOnce(real, prompts, largest.bytes, driver.pedal())) {
            std::printf("real upload %d failed\n", i);
            return 1;
        }
        realTotalS += wall.nsecsElapsed() / 1e9;
    }
    const double realS = realTotalS / kRealRuns;
    std::printf("real time: %.1f ms an upload, %.4f x the wire time (%d runs)\n", realS * 1000,
                realS / wireS, kRealRuns);
    tovel::bench::result((name + ", real time").constData(), realS * 1000, "ms", wireS * 1000, "(wire)");
    return 0;
}
