#pragma once

#include <QString>
#include <QStringList>

namespace tovel {

// The words of `candidates` closest to a mistyped `word` (without regard to case): a letter
// left out, added, changed or two swapped count one each. Only near ones count: one mistake in
// a short word, up to three in a long one. Empty when none is near.
QStringList closestWords(const QString &word, const QStringList &candidates);

// " Did you mean X?" (or "X or Y"), each quoted when `quoted`; empty when nothing is near.
QString didYouMean(const QString &word, const QStringList &candidates, bool quoted = false);

} // namespace tovel
