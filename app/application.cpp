#include "app/application.h"

#include "app/tformmain.h"
#include "console/tformprint.h"
#include "protocol/commandexchange.h"

#include <QWidget>

namespace tovel {

Application::Application(Prompts &prompts_, Pacing &pacing_, Folders &folders_, FtDriver &driver)
    : prompts(prompts_), pacing(pacing_), folders(folders_), usb(driver, prompts_)
{
    m_formMain = std::make_unique<TformMain>(*this);
    m_formMain->FormCreate();

    m_formFirmwareUpgrade = std::make_unique<QWidget>();
    m_formFirmwareUpgrade->setWindowTitle(QStringLiteral("Firmware Upgrade"));

    m_formPrint = std::make_unique<TformPrint>();

    m_formFXParameters = std::make_unique<QWidget>();
    m_formFXParameters->setWindowTitle(QStringLiteral("FX Parameters"));

    m_formFXInfo = std::make_unique<QWidget>();

    m_exchange = std::make_unique<CommandExchange>(usb, pacing, *m_formPrint, state);
}

Application::~Application() = default;

Console &Application::console()
{
    return *m_formPrint;
}

} // namespace tovel
