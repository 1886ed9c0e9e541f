#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

namespace tovel {


// Which program an upload sends. The impulse-response program is a spliced copy of one
// effect's program: sent for any other effect, it would make the pedal run an effect the user
// did not choose. So it goes only when it was prepared for the selected effect; otherwise the
// catalogue's program (with its placeholder impulse) goes.
struct UploadChoice {
    bool preparedImpulseResponse = false; // send the prepared impulse-response program
    // A trace line saying which program goes; empty when there is nothing to say (an effect
    // outside the Impulse Response category with nothing prepared for it).
    QString note;
};

// effect: the chosen effect; category: the caption of the category chosen last; irText and
// irEffect: the prepared impulse-response program and the effect it was prepared for.
UploadChoice chooseUploadProgram(const QString &effect, const QString &category, const QString &irText,
                                 const QString &irEffect);

// A program text checked before it goes on the wire. An upload is one ProgramUpload command of
// the image's own bytes, so a text that does not convert whole would leave bytes of an earlier
// command in TransmitBuffer on the wire, and an empty one would make a zero-length write whose
// answer never comes.
struct ProgramText {
    enum class Fault {
        None,
        Empty,
        NotHex,
        OddDigits,
        TooLarge,
        NotAProgram, // does not start with the upload's code 00 and a 16-bit length
        ShortLength, // announces fewer bytes than it holds: the pedal would take the rest as commands
    };

    Fault fault = Fault::None;
    QString hex;      // the digits alone: blanks and line ends dropped
    int bytes = 0;    // hex.size() / 2
    // Where the first character that is not a hex digit, blank or line end sits (from 1).
    int line = 0;
    int column = 0;
    QChar character;
    int announced = 0; // the length its header announces

    bool ok() const { return fault == Fault::None; }
};

// Blanks, tabs and line ends anywhere are dropped (a file saved by an editor ends with a line
// end); anything else must be a hex digit, two per byte, at most the 65,536 bytes of
// TransmitBuffer. The bytes must be one upload frame: the code 00, then a big-endian length
// of at least the bytes held (one delivered image announces more than it holds, which the
// pedal takes as it is once the line falls quiet; fewer would leave the rest to be read as
// commands, by the effect firmware or by a bootloader).
ProgramText checkProgramText(const QString &text);

// The message for a refused text: subject + " cannot be uploaded: " + the fault. subject names
// the text: "The file /home/me/x.hex", "The program of Basic IR Loader".
QString programRefusal(const QString &subject, const ProgramText &program);

// A program file's text: a byte-order mark selects the encoding, otherwise UTF-8.
QString programFileText(const QByteArray &bytes);

// What the main window shows of the pedal's answer to an upload: its first 17 bytes, each one
// 8-bit character; fewer when the answer is shorter.
QString uploadStatusText(const QByteArray &answer);

constexpr int kUploadStatusLength = 17;
// An upload frame's header: the code 00 and the image's 16-bit length.
constexpr int kUploadHeaderBytes = 3;

// A status the pedal sent: printable ASCII, ended by a line end or not. Anything else is noise
// on the line, not a status to show.
bool isUploadStatusText(const QByteArray &answer);

} // namespace tovel
