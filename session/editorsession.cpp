#include "session/editorsession.h"

#include "core/nowidgets.h"

#include "catalogue/categorytable.h"
#include "catalogue/effectresourcename.h"
#include "core/seams.h"

namespace tovel {

EditorSession::EditorSession(Prompts &prompts_, Pacing &pacing_, Folders &folders_, FtDriver &driver,
                             const Clock &clock_, const ResourceIndex *index)
    : prompts(prompts_), pacing(pacing_), folders(folders_), clock(clock_), usb(driver, prompts_),
      m_loader(index ? CatalogueLoader(prompts_, *index) : CatalogueLoader(prompts_)), m_settings(params)
{
    m_exchange = std::make_unique<CommandExchange>(usb, pacing, clock, m_console);
    // A row the player moves while an exchange runs is kept from that exchange's answer only.
    connect(m_exchange.get(), &CommandExchange::busyChanged, &m_settings,
            [this] { m_settings.clearPlayerChanges(); });
    usb.onDeviceLost = [this] {
        if (!m_lossExpected && !m_restarting)
            emit deviceLost();
    };
    m_bootloaderLink = std::make_unique<BootloaderLink>(usb, pacing, clock, m_console);
    m_firmwareUpgrade = std::make_unique<FirmwareUpgrade>(*m_bootloaderLink);
    // From the go command's address on, the pedal restarts: its bridge leaving the bus is no
    // loss to tell, until that link is closed or another opened.
    m_firmwareUpgrade->onStarting = [this] { m_restarting = true; };
    connect(this, &EditorSession::linkOpened, this, [this] { m_restarting = false; });
    connect(this, &EditorSession::linkClosed, this, [this] { m_restarting = false; });
    // The program closing ends a wait of the bootloader at once.
    m_bootloaderLink->stopWhen = [this] { return m_exchange->quitting(); };
}

EditorSession::~EditorSession()
{
    usb.onDeviceLost = nullptr;
}

bool EditorSession::linkOpen() const
{
    return m_exchange->linkListener() != CommandExchange::Listener::None;
}

void EditorSession::setFirmwareUpgradeMode(bool on)
{
    if (link.FirmwareUpgradeMode == on)
        return;
    link.FirmwareUpgradeMode = on;
    emit firmwareUpgradeModeChanged(on);
}

bool EditorSession::selectEffect(const QString &name)
{
    for (int category = 0; category < int(CategoryTable.size()); ++category) {
        if (!m_loader.LoadListResource(QString::fromLatin1(CategoryTable[category].listResource)))
            return false;
        const int row = int(m_loader.CurrentList().indexOf(name));
        if (row < 0)
            continue;
        if (onChooseInWindows) {
            onChooseInWindows(category, row);
            return selection.SelectedEffectName == name;
        }
        selection.SelectedCategory = QString::fromLatin1(CategoryTable[category].caption);
        m_console.printToConsole(QStringLiteral("efx index :") + QString::number(row));
        chooseEffect(name);
        m_console.printToConsole(QStringLiteral("selected effect name: ") + name);
        return openRows();
    }
    return false;
}

void EditorSession::chooseEffect(const QString &name)
{
    selection.SelectedEffectName = name;
    selection.EffectOnPedal = name == pedal.PedalEffectName;
}

bool EditorSession::openRows()
{
    EffectRows rows;
    try {
        rows = loadEffectRows(m_loader, selection.SelectedEffectName, m_console);
    } catch (...) {
        // A layout that cannot be read leaves no rows.
        rows = EffectRows{};
        rows.effect = selection.SelectedEffectName;
        m_settings.open(std::move(rows));
        throw;
    }
    const bool complete = rows.complete;
    m_settings.open(std::move(rows));
    return complete;
}

} // namespace tovel
