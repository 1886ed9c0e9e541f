#include "protocol/effectupload.h"

#include "usb/d2xxunit.h"

#include <QStringDecoder>

#include <algorithm>
#include <climits>

namespace tovel {

namespace {

// The browser's caption of the category whose effects take an impulse response.
const QString kImpulseResponseCategory = QStringLiteral("Impulse Response");

bool isHexDigit(QChar c)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

bool isBlankOrLineEnd(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r')
           || c == QLatin1Char('\n');
}

} // namespace

UploadChoice chooseUploadProgram(const QString &effect, const QString &category, const QString &irText,
                                 const QString &irEffect)
{
    UploadChoice choice;
    const bool prepared = !irText.isEmpty() && !irEffect.isEmpty();
    if (prepared && irEffect == effect) {
        choice.preparedImpulseResponse = true;
        choice.note = QStringLiteral("sending the impulse response prepared for ") + effect;
    } else if (category == kImpulseResponseCategory) {
        choice.note = prepared
            ? QStringLiteral("the impulse response was prepared for %1, not for %2: "
                             "sending the catalogue program")
                  .arg(irEffect, effect)
            : QStringLiteral("no impulse response prepared for %1: sending the catalogue program")
                  .arg(effect);
    }
    return choice;
}

ProgramText checkProgramText(const QString &text)
{
    ProgramText program;
    program.hex.reserve(text.size());
    int line = 1;
    int column = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        ++column;
        if (c == QLatin1Char('\n') || (c == QLatin1Char('\r')
                                       && (i + 1 == text.size() || text[i + 1] != QLatin1Char('\n')))) {
            ++line;
            column = 0;
            continue;
        }
        if (isBlankOrLineEnd(c))
            continue;
        if (!isHexDigit(c)) {
            program.fault = ProgramText::Fault::NotHex;
            program.line = line;
            program.column = column;
            program.character = c;
            return program;
        }
        program.hex.append(c);
    }
    program.bytes = int(std::min<qsizetype>(program.hex.size() / 2, INT_MAX));
    if (program.hex.isEmpty())
        program.fault = ProgramText::Fault::Empty;
    else if (program.hex.size() % 2 != 0)
        program.fault = ProgramText::Fault::OddDigits;
    else if (program.hex.size() / 2 > qsizetype(UsbState::kBufferSize))
        program.fault = ProgramText::Fault::TooLarge;
    if (program.fault != ProgramText::Fault::None)
        return program;
    // The upload's frame: 00, then the length of the whole program image.
    bool ok = false;
    const int code = program.hex.left(2).toInt(&ok, 16);
    if (program.bytes < kUploadHeaderBytes || code != 0) {
        program.fault = ProgramText::Fault::NotAProgram;
        return program;
    }
    program.announced = program.hex.mid(2, 4).toInt(&ok, 16);
    if (program.announced < program.bytes)
        program.fault = ProgramText::Fault::ShortLength;
    return program;
}

QString programRefusal(const QString &subject, const ProgramText &program)
{
    switch (program.fault) {
    case ProgramText::Fault::None:
        return QString();
    case ProgramText::Fault::Empty:
        return subject + QStringLiteral(" cannot be uploaded: it holds no hex digits");
    case ProgramText::Fault::NotHex: {
        const QChar c = program.character;
        const QString shown = c.isPrint() ? QStringLiteral("\"%1\"").arg(c)
                                          : QStringLiteral("character U+%1")
                                                .arg(QString::number(c.unicode(), 16)
                                                         .toUpper()
                                                         .rightJustified(4, QLatin1Char('0')));
        return subject
               + QStringLiteral(" cannot be uploaded: line %1, column %2 holds %3, which is not a hex digit")
                     .arg(program.line)
                     .arg(program.column)
                     .arg(shown);
    }
    case ProgramText::Fault::OddDigits:
        return subject
               + QStringLiteral(" cannot be uploaded: it holds an odd number of hex digits (%1)")
                     .arg(program.hex.size());
    case ProgramText::Fault::TooLarge:
        return subject
               + QStringLiteral(" cannot be uploaded: it holds %1 bytes, the pedal takes at most %2")
                     .arg(program.hex.size() / 2)
                     .arg(UsbState::kBufferSize);
    case ProgramText::Fault::NotAProgram:
        return subject
               + QStringLiteral(" cannot be uploaded: it is no effect program (an effect program starts with "
                                "the byte 00 and its length; this starts with %1)")
                     .arg(program.hex.left(6).toUpper());
    case ProgramText::Fault::ShortLength:
        return subject
               + QStringLiteral(" cannot be uploaded: its header announces %1 bytes, but it holds %2; the pedal "
                                "would take the rest as commands")
                     .arg(program.announced)
                     .arg(program.bytes);
    }
    return QString();
}

QString programFileText(const QByteArray &bytes)
{
    const auto marked = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(marked.value_or(QStringConverter::Utf8));
    return decoder.decode(bytes);
}

bool isUploadStatusText(const QByteArray &answer)
{
    for (char c : answer) {
        const bool printable = c >= 0x20 && c < 0x7F;
        if (!printable && c != '\r' && c != '\n')
            return false;
    }
    return !answer.isEmpty();
}

QString uploadStatusText(const QByteArray &answer)
{
    return QString::fromLatin1(answer.left(kUploadStatusLength));
}

} // namespace tovel
