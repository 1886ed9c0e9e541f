#pragma once

namespace tovel {

class EditorSession;

// What the session knows that decides whether the player can use a parameter row.
struct RowFacts {
    bool effectLink = false;  // a link to the effect firmware (not to, nor found in, its bootloader)
    bool rowsOnPedal = false; // the rows are those of the effect the pedal said it runs
    bool rowsRead = false;    // a state request filled them in this connection
    bool assigned = false;    // the row's box shows one of the pedal's seven controls
    bool pot = false;         // only pot rows have limits
};

// What of the row is usable: its value controls, pedal control box and reverse box; its limit
// buttons. A row whose values are greyed has nothing usable, limits included.
struct RowUse {
    bool values = false;
    bool limits = false;
};

RowUse rowUse(const RowFacts &facts);

// The facts of `row` of the session's open rows.
RowFacts rowFacts(EditorSession &session, int row);

} // namespace tovel
