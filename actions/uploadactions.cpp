#include "actions/uploadactions.h"

#include "core/nowidgets.h"

#include "protocol/answerfailure.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "core/regularfile.h"
#include "core/seams.h"
#include "protocol/commandexchange.h"
#include "protocol/effectupload.h"
#include "protocol/hextext.h"
#include "session/editorsession.h"

#include <QFile>
#include <QFileInfo>

namespace tovel {

namespace {

using Kind = ActionFailure::Kind;
using Trace = void (Console::*)(const QString &);

// A program file holds at most 131,072 digits; this leaves room for any layout of line ends
// and blanks while keeping a wrong choice (a recording, a disc image) out of memory and out of
// the console.
constexpr qint64 kMaxProgramFileBytes = 1 << 20;

// The image onto the line in one write, with no purge before it (the pedal takes the whole
// program as one ProgramUpload command), then the pedal's status collected by `rule`.
CommandExchange::Answer sendProgram(EditorSession &session, const ProgramText &program, const AnswerRule &rule,
                                    Trace trace, const std::function<void()> &onSent = {})
{
    Console &console = session.console();
    const QByteArray bytes = HexToBytes(program.hex);
    (console.*trace)(QStringLiteral("num of bytes: %1").arg(bytes.size()));
    return session.exchange().ask(CommandCode::ProgramUpload, bytes, rule, [&] {
        (console.*trace)(QStringLiteral("write to device"));
        if (onSent)
            onSent();
    });
}

// The pedal took a new program: it runs another effect now, whose settings have not been read.
void uploaded(EditorSession &session)
{
    session.pedalState().effectReplaced();
    session.setRowsRead(false);
}

} // namespace

const QString kChooseEffectFirstMessage = QStringLiteral("Choose an effect first.");

std::optional<ActionFailure> uploadRefusal(const EditorSession &session)
{
    // Without a name there is no program to look up: nothing to send, nothing to ask.
    if (session.selection.SelectedEffectName.isEmpty())
        return ActionFailure{Kind::Invalid, QStringLiteral("upload"), {}, kChooseEffectFirstMessage};
    return std::nullopt;
}

ActionResult<QString> uploadSelectedEffect(EditorSession &session, const std::function<void()> &onSent)
{
    using R = ActionResult<QString>;
    const QString step = QStringLiteral("upload");
    if (std::optional<ActionFailure> refusal = uploadRefusal(session)) {
        R result;
        result.failure = std::move(refusal);
        return result;
    }
    const Selection &selection = session.selection;
    CommandExchange &exchange = session.exchange();
    auto scope = exchange.begin(step);
    if (!scope)
        return R{exchange.refused(step)};
    Console &console = session.console();

    const UploadChoice choice = chooseUploadProgram(selection.SelectedEffectName, selection.SelectedCategory,
                                                    session.ir.IrProgramText, session.ir.IrProgramEffect);
    if (!choice.note.isEmpty())
        console.printToConsole(choice.note);
    QString text;
    if (choice.preparedImpulseResponse) {
        text = session.ir.IrProgramText;
        console.printToConsole(QStringLiteral("file content size: %1").arg(text.size() / 2));
    } else {
        const QString name = EffectResourceName(selection.SelectedEffectName);
        console.printToConsole(QStringLiteral("resource name: ") + name);
        CatalogueLoader &loader = session.loader();
        // Nothing is sent.
        if (!loader.LoadListResource(name))
            return R::fail(Kind::File, step, loader.error());
        if (loader.CurrentList().isEmpty())
            return R::fail(Kind::File, step, QStringLiteral("The program of %1 is empty.").arg(selection.SelectedEffectName));
        text = loader.CurrentList().first();
    }

    const ProgramText program = checkProgramText(text);
    if (!program.ok())
        return R::fail(Kind::File, step,
                       programRefusal(QStringLiteral("The program of ") + selection.SelectedEffectName, program));
    console.printToConsole(QStringLiteral("size: %1").arg(program.bytes));
    // A program reaching a bootloader would be taken for its commands (one holds an erase):
    // it goes only to an effect firmware that answers in step.
    if (std::optional<ActionFailure> refusal =
            session.require(PedalNeed::EffectFirmwareInStep, step, EditorSession::AnswerAwaited::Yes))
        return {refusal, {}};
    // The status is the answer's first 17 bytes, or its first line, however many reads
    // brought them: over a slow line the first read may hold only part of it.
    const AnswerRule rule = uploadStatusAnswer(program.bytes);
    const CommandExchange::Answer answer = sendProgram(session, program, rule, &Console::printToConsole, onSent);
    // No status, or not a status: the limits stay as they were, since no new effect is known
    // to run.
    if (std::optional<ActionFailure> failure = answerFailure(rule, answer))
        return {failure, {}};
    R result;
    result.value = uploadStatusText(answer.bytes);
    console.printToConsole(QStringLiteral("received: ") + result.value);
    session.params.reset_min_max_array();
    uploaded(session);
    return result;
}

ActionResult<QString> uploadProgramFile(EditorSession &session, const QString &path)
{
    using R = ActionResult<QString>;
    const QString step = QStringLiteral("upload");
    Console &console = session.console();
    console.appendConsoleLine(path);
    console.appendConsoleLine(QFileInfo(path).fileName());

    const QString subject = QStringLiteral("The file ") + path;
    QFile file(path);
    if (const QString why = openRegularFile(file); !why.isEmpty())
        return R::fail(Kind::File, step, QStringLiteral("Error: cannot read %1: %2").arg(path, why));
    if (file.size() > kMaxProgramFileBytes)
        return R::fail(Kind::File, step,
                       subject
                           + QStringLiteral(" cannot be uploaded: it holds %1 bytes of text, a program at most "
                                            "%2 bytes (twice as many hex digits)")
                                 .arg(file.size())
                                 .arg(UsbState::kBufferSize));
    const QString text = programFileText(file.readAll());
    console.appendConsoleLine(text);
    console.appendConsoleLine(QString::number(text.size()));

    const ProgramText program = checkProgramText(text);
    if (!program.ok())
        return R::fail(Kind::File, step, programRefusal(subject, program));
    CommandExchange &exchange = session.exchange();
    const EditorSession::Exchange started = session.beginExchange(PedalNeed::EffectFirmwareInStep, step,
                                                                      EditorSession::AnswerAwaited::Yes);
    if (started.failure)
        return {started.failure, {}};
    const AnswerRule rule = uploadStatusAnswer(program.bytes);
    const CommandExchange::Answer answer = sendProgram(session, program, rule, &Console::appendConsoleLine);
    // Whatever came is traced, read or not: the whole receive buffer, as this variant has
    // always shown it, the answer at its start.
    R result;
    if (!answer.bytes.isEmpty()) {
        const auto &buffer = session.usb.state.ReceiveBuffer;
        QByteArray shown(reinterpret_cast<const char *>(buffer.data()), qsizetype(buffer.size()));
        shown.replace(0, answer.bytes.size(), answer.bytes);
        result.value = QString::fromLatin1(shown);
        console.appendConsoleLine(QStringLiteral("received: ") + result.value);
    }
    if (std::optional<ActionFailure> failure = answerFailure(rule, answer)) {
        result.failure = failure;
        return result;
    }
    uploaded(session);
    return result;
}

} // namespace tovel
