#pragma once

#include "actions/linkactions.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "core/clock.h"
#include "core/pacing.h"
#include "pedal/virtualpedaldriver.h"
#include "protocol/commandexchange.h"
#include "protocol/hextext.h"
#include "session/editorsession.h"
#include "tests/support/scriptedftdriver.h"
#include "tests/support/testseams.h"

#include <QtTest>
#include <memory>

namespace tovel::test {

// Puts an effect of the catalogue on the pedal the way an upload does, without an action.
inline void loadEffectOntoPedal(EditorSession &session, const QString &effect)
{
    QVERIFY(session.loader().LoadListResource(EffectResourceName(effect)));
    const QString program = session.loader().CurrentList().value(0);
    const int bytes = int(program.size() / 2);
    session.exchange().sendBytes(HexToBytes(program), false);
    const auto status = session.exchange().CollectAnswerText(uploadStatusAnswer(bytes));
    QCOMPARE(status.bytes.left(15), QByteArray("Upload complete"));
}

// The line check that goes before the first command of a connection (the effect query,
// answered whole and alone), done now: a test of another command sees that command alone.
inline void checkLineNow(EditorSession &session)
{
    {
        auto scope = session.exchange().begin(QStringLiteral("line check"));
        QVERIFY(scope);
        const std::optional<ActionFailure> failure =
            session.require(PedalNeed::EffectFirmwareInStep, QStringLiteral("line check"));
        QVERIFY2(!failure, failure ? qPrintable(failure->message) : "");
    }
    QVERIFY(session.pedalState().inStep());
}

// The editor's session alone, without a window, on scripted seams and virtual time: what the
// actions run on. Build the driver's devices (or pass another driver), then start().
struct SessionFixture {
    VirtualClock clock;
    VirtualPacing pacing{clock};
    ScriptedPrompts prompts;
    TempFolders folders;
    ScriptedFtDriver driver{&clock};
    std::unique_ptr<pedal::VirtualPedalDriver> pedalDriver;
    std::unique_ptr<EditorSession> session;

    EditorSession &start(FtDriver *other = nullptr)
    {
        session = std::make_unique<EditorSession>(prompts, pacing, folders, other ? *other : driver, clock);
        // USB failures said as every front end says them; the pedal's line and the attached
        // bridges as at start.
        session->usb.onFailure = [this](const UsbFailure &failure) {
            prompts.showMessage(D2XXUnit::failureText(failure));
        };
        session->usb.choosePedalLine();
        listBridges(*session, false);
        return *session;
    }
    // On the virtual pedal (line rate off unless the options set one), on the same clock.
    EditorSession &startOnVirtualPedal(const pedal::VirtualPedalOptions &options = {})
    {
        pedalDriver = std::make_unique<pedal::VirtualPedalDriver>(options, clock);
        return start(pedalDriver.get());
    }
    pedal::VirtualPedal &pedal() { return pedalDriver->pedal(); }

    void loadOntoPedal(const QString &effect)
    {
        loadEffectOntoPedal(*session, effect);
        session->trace().clear();
    }
    // The line check done now; the writes and frames it made are forgotten.
    void checkLine()
    {
        checkLineNow(*session);
        driver.writes.clear();
        driver.purges.clear();
        if (pedalDriver)
            pedal().clearFrameLog();
    }
};

} // namespace tovel::test
