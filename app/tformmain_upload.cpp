// Effect upload: Upload Selected Effect, and the hidden Upload File.
#include "app/application.h"
#include "app/tformmain.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "core/editorerror.h"
#include "core/regularfile.h"
#include "core/seams.h"
#include "protocol/commandexchange.h"
#include "protocol/effectupload.h"
#include "protocol/hextext.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>

namespace tovel {

namespace {

// A program file holds at most 131,072 digits; this leaves room for any layout of line ends
// and blanks while keeping a wrong choice (a recording, a disc image) out of memory and out of
// the console.
constexpr qint64 kMaxProgramFileBytes = 1 << 20;

using Trace = void (Console::*)(const QString &);

// The image into TransmitBuffer and onto the line in one write, with no purge before it: the
// pedal takes the whole program as one ProgramUpload command.
void writeProgram(Application &app, const ProgramText &program, Trace trace)
{
    Console &console = app.console();
    D2XXUnit &usb = app.usb;
    const int converted = hexToBytes(program.hex, usb.state.TransmitBuffer.data(), program.bytes);
    (console.*trace)(QStringLiteral("num of bytes: %1").arg(converted));
    usb.WriteFTBuffer(quint32(program.bytes));
    (console.*trace)(QStringLiteral("write to device"));
}

} // namespace

void TformMain::btnUploadClick()
{
    Prompts &prompts = m_app.prompts;
    if (prompts.askYesNo(QStringLiteral("Upload the selected effect?")) == Prompts::Answer::No)
        return;
    CommandExchange &exchange = m_app.exchange();
    auto scope = exchange.begin(QStringLiteral("upload"));
    if (!scope)
        return;
    Console &console = m_app.console();
    const MainState &state = m_app.state;
    D2XXUnit &usb = m_app.usb;

    const UploadChoice choice = chooseUploadProgram(state);
    if (!choice.note.isEmpty())
        console.printToConsole(choice.note);
    QString text;
    if (choice.preparedImpulseResponse) {
        text = state.IrProgramText;
        console.printToConsole(QStringLiteral("file content size: %1").arg(text.size() / 2));
    } else {
        const QString name = EffectResourceName(state.SelectedEffectName);
        console.printToConsole(QStringLiteral("resource name: ") + name);
        CatalogueLoader &loader = m_app.loader();
        // The loader has shown why; nothing is sent.
        if (!loader.LoadListResource(name) || loader.CurrentList().isEmpty())
            return;
        text = loader.CurrentList().first();
    }

    const ProgramText program = checkProgramText(text);
    if (!program.ok()) {
        prompts.showMessage(programRefusal(QStringLiteral("The program of ") + state.SelectedEffectName,
                                           program));
        return;
    }
    console.printToConsole(QStringLiteral("size: %1").arg(program.bytes));
    if (!exchange.dropStaleBytes())
        return;
    writeProgram(m_app, program, &Console::printToConsole);
    const QString statusBefore = lblStatus->text();
    lblStatus->setText(QStringLiteral("Uploading..."));

    // The status is the answer's first 17 bytes, or its first line, however many reads
    // brought them: over a slow line the first read may hold only part of it.
    const AnswerRule rule = uploadStatusAnswer(program.bytes);
    const CommandExchange::Answer answer = exchange.CollectAnswerBlock(rule);
    if (answer.outcome == CommandExchange::Outcome::Quitting)
        return;
    // No status, or not a status: the limits stay as they were, since no new effect is known
    // to run, and the label as it was (after a lost link, the window is as after Disconnect).
    const QString message = CommandExchange::failureMessage(rule, answer);
    if (!answer.complete() || !message.isEmpty()) {
        lblStatus->setText(statusBefore);
        if (!message.isEmpty())
            prompts.showMessage(message);
        return;
    }
    const QString status = uploadStatusText(answer.bytes);
    console.printToConsole(QStringLiteral("received: ") + status);
    lblStatus->setText(status);
    m_app.params.reset_min_max_array();
}

void TformMain::btnUploadFileClick()
{
    const QString path = m_app.prompts.openFile(QString());
    if (path.isEmpty())
        return;
    Console &console = m_app.console();
    D2XXUnit &usb = m_app.usb;
    console.appendConsoleLine(path);
    console.appendConsoleLine(QFileInfo(path).fileName());

    const QString subject = QStringLiteral("The file ") + path;
    QFile file(path);
    if (const QString why = openRegularFile(file); !why.isEmpty())
        throw EditorError(QStringLiteral("Error: cannot read %1: %2").arg(path, why));
    if (file.size() > kMaxProgramFileBytes) {
        m_app.prompts.showMessage(
            subject
            + QStringLiteral(" cannot be uploaded: it holds %1 bytes of text, a program at most "
                             "%2 bytes (twice as many hex digits)")
                  .arg(file.size())
                  .arg(UsbState::kBufferSize));
        return;
    }
    const QString text = programFileText(file.readAll());
    console.appendConsoleLine(text);
    console.appendConsoleLine(QString::number(text.size()));

    const ProgramText program = checkProgramText(text);
    if (!program.ok()) {
        m_app.prompts.showMessage(programRefusal(subject, program));
        return;
    }
    CommandExchange &exchange = m_app.exchange();
    auto scope = exchange.begin(QStringLiteral("upload"));
    if (!scope)
        return;
    if (!exchange.dropStaleBytes())
        return;
    writeProgram(m_app, program, &Console::appendConsoleLine);

    const AnswerRule rule = uploadStatusAnswer(program.bytes);
    const CommandExchange::Answer answer = exchange.CollectAnswerBlock(rule);
    if (const QString message = CommandExchange::failureMessage(rule, answer); !message.isEmpty())
        m_app.prompts.showMessage(message);
    if (!answer.complete())
        return;
    // The whole receive buffer, as this variant has always shown it: the answer at its start.
    const auto &buffer = usb.state.ReceiveBuffer;
    QByteArray shown(reinterpret_cast<const char *>(buffer.data()), qsizetype(buffer.size()));
    shown.replace(0, answer.bytes.size(), answer.bytes);
    console.appendConsoleLine(QStringLiteral("received: ") + QString::fromLatin1(shown));
}

} // namespace tovel
