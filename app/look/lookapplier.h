#pragma once

namespace tovel {

// Applies look n to the whole application: every window open now and every one made later.
// False, and nothing changes, when there is no look n; the look shown stays.
bool applyLook(int n);

} // namespace tovel
