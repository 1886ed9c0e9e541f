#pragma once

#include "app/application.h"
#include "app/tformmain.h"
#include "catalogue/effectbrowser.h"
#include "catalogue/tformfxinfo.h"
#include "params/tformfxparameters.h"
#include "console/tformprint.h"
#include "core/clock.h"
#include "core/pacing.h"
#include "pedal/virtualpedaldriver.h"
#include "tests/support/scriptedftdriver.h"
#include "tests/support/testseams.h"

#include <memory>

namespace tovel::test {

// A whole editor on scripted seams and virtual time: build the driver's devices (or pass
// another driver), then start().
struct EditorFixture {
    VirtualClock clock;
    VirtualPacing pacing{clock};
    ScriptedPrompts prompts;
    TempFolders folders;
    ScriptedFtDriver driver{&clock};
    std::unique_ptr<pedal::VirtualPedalDriver> pedalDriver;
    std::unique_ptr<Application> app;

    Application &start(FtDriver *other = nullptr)
    {
        app = std::make_unique<Application>(prompts, pacing, folders, other ? *other : driver);
        return *app;
    }
    // The whole editor on the virtual pedal (line rate off unless the options set one), on the
    // same virtual clock.
    Application &startOnVirtualPedal(const pedal::VirtualPedalOptions &options = {})
    {
        pedalDriver = std::make_unique<pedal::VirtualPedalDriver>(options, clock);
        return start(pedalDriver.get());
    }
    pedal::VirtualPedal &pedal() { return pedalDriver->pedal(); }

    TformMain &main() { return *app->formMain(); }
    TformPrint &console() { return *app->formPrint(); }
    QStringList consoleLines() { return app->formPrint()->lines(); }
};

} // namespace tovel::test
