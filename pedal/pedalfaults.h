#pragma once

#include <QtGlobal>

namespace tovel::pedal {

// Faults the virtual pedal can be told to show, each switchable at run time.
struct PedalFaults {
    // The pedal acts on every command but nothing it sends reaches the host.
    bool noAnswer = false;
    // The n-th acknowledge the bootloader sends (1 = the first, counted from when the fault is
    // set) becomes a NACK, and the bootloader drops the command as it does for any NACK. 0: off.
    int nackAtAck = 0;
    // Every answer is replaced by as many bytes of noise (never 0x79 or 0x1F).
    bool garbage = false;
    // Every answer is cut into this many pieces (at most one per byte); each later piece
    // leaves the pedal splitGapMs after the one before it. 1 or less: off.
    int splitPieces = 1;
    int splitGapMs = 0;
    // The bridge has gone from the bus: it is not listed and every call on it fails.
    bool unplugged = false;
    // Every answer stops after its first half (at least one byte).
    bool shortAnswers = false;
    // The line from the pedal is never quiet: noise at the line rate (115,200 baud when none is
    // modelled), answers lost in it (sent as noise of their length).
    bool chatter = false;
    // The bootloader answers this many more frames (counted from when the fault is set), then
    // hangs: it takes no more bytes and answers nothing until the fault is switched off, when
    // it goes on in the state it hung in, or the controller is reset into its bootloader. 0: off.
    int silentAfterFrames = 0;
    // A flash cell that does not keep what is written to it: every byte written at this
    // address is stored with bit 4 inverted, so a read-back shows the difference. 0: off.
    quint32 flashDefectAddress = 0;
    // A global erase takes this long: the bootloader answers 0x76 (busy) at once and every
    // busyAnswerGapMs after it, then ACK when the erase is done. 0: the erase is instant.
    int eraseBusyMs = 0;
    int busyAnswerGapMs = 1000;
    // How the state answer ends its lines: CR LF as the firmware does, or CR or LF alone, as
    // other builds of it have.
    enum class LineEnds { CrLf, Cr, Lf };
    LineEnds stateLineEnds = LineEnds::CrLf;
    // Every answer of one kind leaves the pedal in two parts: its first atByte bytes, then the
    // rest ms later, at the same place every time (a firmware held up in the middle of its
    // answer). Answers to later commands follow the rest. 0 ms: off.
    struct Stall {
        int atByte = 0;
        int ms = 0;
        bool on() const { return atByte > 0 && ms > 0; }
    };
    Stall stateStall; // the state answer
    Stall queryStall; // the effect query's answer
};

} // namespace tovel::pedal
