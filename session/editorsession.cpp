#include "session/editorsession.h"

#include "core/nowidgets.h"

#include "catalogue/categorytable.h"
#include "catalogue/effectresourcename.h"
#include "core/seams.h"
#include "firmware/bootloaderprotocol.h"
#include "protocol/answerfailure.h"
#include "protocol/commands.h"

#include <QTimer>

namespace tovel {

namespace {

using Kind = ActionFailure::Kind;
using Listener = PedalState::Listener;

// The controller's bootloader refuses any command it does not know with one byte, and a
// bootloader in the middle of a frame may acknowledge: either, where the effect firmware's
// text should start, means the bootloader listens.
bool isBootloaderByte(char byte)
{
    return quint8(byte) == bootloader::kAck || quint8(byte) == bootloader::kNack;
}

const QString kBootloaderFound = QStringLiteral("The pedal is in its bootloader: finish the firmware upgrade first.");

// A failure of the line check that ran before another command: the check's words, then that
// nothing of the command went out.
QString beforeCommand(const QString &step, const QString &text)
{
    if (step == QLatin1String("effect query"))
        return text;
    return text + QStringLiteral(" The %1 was not sent.").arg(step);
}

} // namespace

EditorSession::EditorSession(Prompts &prompts_, Pacing &pacing_, Folders &folders_, FtDriver &driver,
                             const Clock &clock_, const ResourceIndex *index)
    : prompts(prompts_), pacing(pacing_), folders(folders_), clock(clock_), usb(driver),
      m_loader(index ? CatalogueLoader(*index) : CatalogueLoader()), m_settings(params)
{
    m_exchange = std::make_unique<CommandExchange>(usb, pacing, clock, m_trace, m_pedalState);
    // A row the player moves while an exchange runs is kept from that exchange's answer only.
    connect(m_exchange.get(), &CommandExchange::busyChanged, &m_settings,
            [this] { m_settings.clearPlayerChanges(); });
    // Values kept for a line out of step go once a check has put it in step: the check waits
    // for the event loop, so that it never runs inside a handler that is sending.
    connect(m_exchange.get(), &CommandExchange::proofWanted, this, [this] {
        if (std::exchange(m_lineCheckQueued, true))
            return;
        QTimer::singleShot(0, this, &EditorSession::checkLineForKeptValues);
    });
    usb.onDeviceLost = [this] {
        if (!m_lossExpected && !m_restarting)
            emit deviceLost();
    };
    m_bootloaderLink = std::make_unique<BootloaderLink>(usb, pacing, clock, m_trace);
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
    return m_pedalState.listener() != Listener::None;
}

void EditorSession::openedLink(bool bootloader)
{
    m_owedQueryAnswers = 0;
    setRowsRead(false);
    m_pedalState.linkOpened(bootloader ? Listener::Bootloader : Listener::EffectFirmware);
    emit linkOpened(bootloader);
}

void EditorSession::closedLink()
{
    m_owedQueryAnswers = 0;
    m_exchange->dropDeferred();
    setRowsRead(false);
    m_pedalState.linkClosed();
    emit linkClosed();
}

void EditorSession::setFirmwareUpgradeMode(bool on)
{
    if (link.FirmwareUpgradeMode == on)
        return;
    link.FirmwareUpgradeMode = on;
    emit firmwareUpgradeModeChanged(on);
}

void EditorSession::setLiveMode(bool on)
{
    if (m_liveMode == on)
        return;
    m_liveMode = on;
    emit liveModeChanged(on);
}

void EditorSession::setRowsRead(bool read)
{
    if (m_rowsRead == read)
        return;
    m_rowsRead = read;
    emit rowsReadChanged(read);
}

bool EditorSession::rowsOnPedal() const
{
    const std::optional<PedalState::Effect> &effect = m_pedalState.effect();
    return m_pedalState.listener() == Listener::EffectFirmware && effect && !effect->name.isEmpty()
           && m_settings.isOpen() && m_settings.rows().effect == effect->name;
}

bool EditorSession::selectEffect(const QString &name)
{
    for (int category = 0; category < int(CategoryTable.size()); ++category) {
        if (!m_loader.LoadListResource(QString::fromLatin1(CategoryTable[category].listResource)))
            return false;
        const int row = int(m_loader.CurrentList().indexOf(name));
        if (row < 0)
            continue;
        selection.SelectedCategory = QString::fromLatin1(CategoryTable[category].caption);
        const bool opened = chooseListedEffect(row, name);
        emit effectSelected(category, row, opened);
        return opened;
    }
    return false;
}

bool EditorSession::chooseListedEffect(int row, const QString &name)
{
    m_trace.printToConsole(QStringLiteral("efx index :") + QString::number(row));
    m_trace.printToConsole(QStringLiteral("selected effect name: ") + name);
    return chooseEffect(name);
}

bool EditorSession::chooseEffect(const QString &name)
{
    selection.SelectedEffectName = name;
    selection.EffectOnPedal = name == pedal.PedalEffectName;
    const bool opened = openRows();
    emit effectChosen(name);
    return opened;
}

bool EditorSession::openRows()
{
    setRowsRead(false);
    EffectRows rows = loadEffectRows(m_loader, selection.SelectedEffectName, m_trace);
    const bool complete = rows.complete;
    m_settings.open(std::move(rows));
    return complete;
}

void EditorSession::closeRows()
{
    setRowsRead(false);
    m_settings.close();
}

QString EditorSession::effectName(int number)
{
    if (number <= 0 || !m_loader.LoadListResource(QStringLiteral("effect_list")))
        return QString();
    const QStringList &list = m_loader.CurrentList();
    if (number >= list.size())
        return QString();
    const QString &line = list[number];
    const int colon = int(line.indexOf(QLatin1Char(':')));
    return colon < 0 ? line : line.mid(colon + 1);
}

void EditorSession::rememberEffect(const EffectInfo &info)
{
    pedal.PedalEffectNumber = info.effectNumber;
    pedal.PedalEffectVersion = info.effectVersion;
    pedal.FirmwareVersion = info.firmwareVersion;
    emit firmwareVersionReported(info.firmwareVersion);
}

std::optional<ActionFailure> EditorSession::require(PedalNeed need, const QString &step, AnswerAwaited answer)
{
    const Listener listener = m_pedalState.listener();
    if (listener == Listener::None)
        return ActionFailure{Kind::NoPedal, step, {}, QStringLiteral("No pedal is connected."),
                             ActionFailure::Advice::ConnectFirst};
    if (need == PedalNeed::Bootloader)
        return std::nullopt; // the exchange refuses a link to the other firmware
    if (m_pedalState.kind() == PedalState::Kind::Bootloader)
        return ActionFailure{Kind::PedalAnswer, step, {}, beforeCommand(step, kBootloaderFound),
                             ActionFailure::Advice::FinishUpgrade};
    if (need == PedalNeed::EffectFirmware)
        return std::nullopt;
    // Whatever waits in the receive queue now came unasked: the line is out of step then. A
    // command with an answer drops it (and purges the receive queue) before it goes.
    const bool linkThere = answer == AnswerAwaited::Yes ? m_exchange->dropStaleBytes() : m_exchange->noticeUnaskedBytes();
    if (m_exchange->quitting() || !linkThere)
        return ActionFailure{m_exchange->quitting() ? Kind::Refused : Kind::NoPedal, step, {}, QString()};
    if (m_pedalState.inStep())
        return std::nullopt;
    m_trace.printToConsole(QStringLiteral("checking the line before the %1: effect query").arg(step));
    const ActionResult<EffectInfo> proof = askEffect(step);
    return proof.failure;
}

EditorSession::Exchange EditorSession::beginExchange(PedalNeed need, const QString &step, AnswerAwaited answer)
{
    Exchange exchange{m_exchange->begin(step, need == PedalNeed::Bootloader ? Listener::Bootloader
                                                                            : Listener::EffectFirmware),
                      std::nullopt};
    exchange.failure = exchange.scope ? require(need, step, answer) : m_exchange->refused(step);
    return exchange;
}

ActionResult<EffectInfo> EditorSession::askEffect(const QString &step)
{
    using R = ActionResult<EffectInfo>;
    using O = CommandExchange::Outcome;
    CommandExchange &exchange = *m_exchange;
    AnswerRule rule = effectQueryAnswer();
    // A bootloader on the effect firmware's line answers the query with one byte of its own.
    rule.start = [start = rule.start](const QByteArray &bytes) {
        if (!bytes.isEmpty() && isBootloaderByte(bytes.front()))
            return AnswerRule::Start{0, true};
        return start(bytes);
    };
    rule.wholeLength = [whole = rule.wholeLength](const QByteArray &bytes) -> qsizetype {
        if (!bytes.isEmpty() && isBootloaderByte(bytes.front()))
            return 1;
        return whole(bytes);
    };

    // The answer, whole and alone on the line, read as the effect's facts: the line is in step.
    const auto accept = [&](const CommandExchange::Answer &answer) -> R {
        if (rule.readable && !rule.readable(answer.bytes))
            return R::fail(Kind::PedalAnswer, step, beforeCommand(step, CommandExchange::failureMessage(rule, answer)),
                           answer.bytes);
        R result;
        QString problem;
        const std::optional<EffectInfo> parsed = ParseEffectInfo(QString::fromUtf8(answer.bytes), &problem);
        if (!parsed) {
            m_pedalState.effectUnreadable(problem);
            return R::fail(Kind::PedalAnswer, step, beforeCommand(step, problem), answer.bytes);
        }
        result.value = *parsed;
        const EffectInfo &info = result.value;
        m_pedalState.effectAnswered({info.effectNumber, info.effectVersion, effectName(info.effectNumber)},
                                    info.firmwareVersion);
        return result;
    };

    int queries = 0;
    bool ask = true;
    CommandExchange::Answer last;
    // A whole answer alone on the line that came while an earlier query's answer was still
    // owed: it may be that earlier one, with this query's still on its way.
    std::optional<CommandExchange::Answer> candidate;
    for (int read = 0; read < kProofReads; ++read) {
        CommandExchange::Answer answer;
        if (ask) {
            if (queries == kProofQueries)
                break;
            if (!exchange.dropStaleBytes())
                return R::fail(exchange.quitting() ? Kind::Refused : Kind::NoPedal, step, QString());
            answer = exchange.ask(CommandCode::EffectQuery, effectQueryCommand(), rule, [&] {
                ++queries;
                ++m_owedQueryAnswers;
            });
        } else {
            answer = exchange.CollectAnswerText(rule);
        }
        last = answer;
        if (answer.outcome == O::LinkFailed || answer.outcome == O::Quitting || answer.outcome == O::Refused)
            return {answerFailure(rule, answer), {}};
        if (answer.started)
            m_owedQueryAnswers = std::max(0, m_owedQueryAnswers - 1);
        if (answer.started && isBootloaderByte(answer.bytes.front())) {
            // Nothing that is not a bootloader command goes to it: the command stops here.
            m_owedQueryAnswers = 0;
            m_trace.printToConsole(QStringLiteral("the controller's bootloader answered the effect query: ")
                                     + QString::fromLatin1(answer.bytes.toHex().toUpper()));
            m_pedalState.bootloaderFound(false);
            R found = R::fail(Kind::PedalAnswer, step, beforeCommand(step, kBootloaderFound), answer.bytes);
            found.failure->advice = ActionFailure::Advice::FinishUpgrade;
            return found;
        }
        const bool alone = answer.outcome == O::Complete && answer.stale == 0 && answer.extra == 0;
        if (alone && m_owedQueryAnswers == 0)
            return accept(answer);
        if (answer.outcome == O::NoAnswer && answer.stale == 0) {
            // A whole answer, then a whole wait of silence: the answers still owed were lost, and
            // the last one that came is this query's.
            if (candidate) {
                m_owedQueryAnswers = 0;
                return accept(*candidate);
            }
            // Not a byte came: a pedal that does not answer; asking again changes nothing.
            if (read == 0)
                return R::fail(Kind::PedalAnswer, step, beforeCommand(step, CommandExchange::failureMessage(rule, answer)));
        }
        candidate = alone ? std::optional(answer) : std::nullopt;
        // An answer still owed from an earlier query is read first; otherwise the query goes
        // again, since what came was not its whole answer alone.
        ask = m_owedQueryAnswers == 0 || answer.outcome == O::NoAnswer;
        m_trace.printToConsole(ask ? QStringLiteral("effect query answer not whole and alone: asking again")
                                     : QStringLiteral("an earlier effect query's answer came: reading on"));
    }
    m_pedalState.lostStep(QStringLiteral("the effect query was not answered in step"));
    // Said as the last try ended: a whole answer behind the rest of an earlier one, an answer
    // that stopped, noise, or nothing.
    QString why;
    if (last.outcome == O::Complete)
        why = QStringLiteral("The pedal did not answer the effect query in step: an earlier answer was still "
                             "arriving. Try again; if this repeats, switch the pedal off and on.");
    else if (!last.started && last.stale > 0)
        why = QStringLiteral("The pedal's answer to the effect query could not be read.");
    else
        why = CommandExchange::failureMessage(rule, last);
    return R::fail(Kind::PedalAnswer, step, beforeCommand(step, why), last.bytes);
}

void EditorSession::checkLineForKeptValues()
{
    m_lineCheckQueued = false;
    CommandExchange &exchange = *m_exchange;
    if (exchange.deferredCount() == 0 || exchange.busy() || exchange.quitting())
        return;
    if (m_pedalState.listener() != Listener::EffectFirmware) {
        exchange.dropDeferred();
        return;
    }
    auto scope = exchange.begin(QStringLiteral("line check"));
    if (!scope)
        return;
    if (const std::optional<ActionFailure> failure = require(PedalNeed::EffectFirmwareInStep, QStringLiteral("parameter values"))) {
        m_trace.printToConsole(QStringLiteral("%1 parameter values not sent: the line is not in step")
                                     .arg(exchange.deferredCount()));
        exchange.dropDeferred();
        if (!failure->message.isEmpty())
            emit keptValuesDropped(failure->message);
    }
    // In step now: the scope's end sends the kept values.
}

} // namespace tovel
