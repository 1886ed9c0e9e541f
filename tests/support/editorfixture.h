#pragma once

#include "app/application.h"
#include "app/tformmain.h"
#include "catalogue/effectbrowser.h"
#include "catalogue/tformfxinfo.h"
#include "params/tformfxparameters.h"
#include "console/tformprint.h"
#include "core/clock.h"
#include "core/pacing.h"
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
    std::unique_ptr<Application> app;

    Application &start(FtDriver *other = nullptr)
    {
        app = std::make_unique<Application>(prompts, pacing, folders, other ? *other : driver);
        return *app;
    }
    TformMain &main() { return *app->formMain(); }
    TformPrint &console() { return *app->formPrint(); }
    QStringList consoleLines() { return app->formPrint()->lines(); }
};

} // namespace tovel::test
