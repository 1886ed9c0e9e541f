#include "cli/suggestion.h"

#include <algorithm>
#include <vector>

namespace tovel {

namespace {

// The optimal string alignment distance: insertions, deletions, changes and swaps of two
// neighbours.
int distance(const QString &a, const QString &b)
{
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    std::vector<std::vector<int>> d(size_t(n + 1), std::vector<int>(size_t(m + 1)));
    for (qsizetype i = 0; i <= n; ++i)
        d[i][0] = int(i);
    for (qsizetype j = 0; j <= m; ++j)
        d[0][j] = int(j);
    for (qsizetype i = 1; i <= n; ++i)
        for (qsizetype j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[n][m];
}

} // namespace

QStringList closestWords(const QString &word, const QStringList &candidates)
{
    const QString typed = word.trimmed().toCaseFolded();
    // Nothing to compare, and a word far longer than any name is no typing mistake.
    if (typed.isEmpty() || typed.size() > 64)
        return {};
    const int allowed = std::clamp(int(typed.size() + 2) / 4, 1, 3);
    int best = allowed + 1;
    QStringList found;
    for (const QString &candidate : candidates) {
        const int d = distance(typed, candidate.trimmed().toCaseFolded());
        if (d == 0 || d > allowed || d > best)
            continue;
        if (d < best) {
            best = d;
            found.clear();
        }
        if (!found.contains(candidate))
            found.append(candidate);
    }
    return found.size() <= 3 ? found : QStringList();
}

QString didYouMean(const QString &word, const QStringList &candidates, bool quoted)
{
    QStringList found = closestWords(word, candidates);
    if (found.isEmpty())
        return QString();
    if (quoted)
        for (QString &f : found)
            f = QLatin1Char('"') + f + QLatin1Char('"');
    const QString last = found.takeLast();
    return QStringLiteral(" Did you mean %1?")
        .arg(found.isEmpty() ? last : found.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last);
}

} // namespace tovel
