#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tovel {

// One effect's settings on disk: plain ASCII text, one item per line, every line ended by
// CR LF, no header. With N rows and P pot rows the file has 3N + 2P lines in five blocks:
//   N   the row levels, decimal
//   N   the pedal control driving each row ("I" .. "SW"), "NA" for none
//   N   "T" reversed / "F" not
//   P   the pot rows' minimum limits as the percentage the limit buttons show
//   P   the pot rows' maximum limits, the same way
// The file names the effect by its own name; the layout gives N and P.
struct Configuration {
    QList<int> values;
    QStringList assignments;
    QList<bool> reversed;
    QList<int> minLimits; // levels 0..1023 of the pot rows
    QList<int> maxLimits;
};

// The folders under Documents that hold every configuration, outermost first: ZANTH, then
// Tovel.
QStringList configurationFolderNames();
// Documents/ZANTH/Tovel, where every configuration lives; empty when the documents folder is
// not known.
QString configurationFolder(const QString &documents);
// Documents/ZANTH/Tovel/<effect>.txt; empty when either is not known.
QString configurationPath(const QString &documents, const QString &effect);
// The file dialogs' filter: "description|patterns".
QString configurationFilter();

// The whole file content.
QByteArray configurationText(const Configuration &configuration);
// Writes the file whole or not at all: the previous file stays until the new one is complete.
// Empty on success, else the error's text.
QString writeConfiguration(const QString &path, const Configuration &configuration);

// 24 rows make at most 120 short lines; a file far beyond that (a wrong choice in Load From) is
// not read into memory.
constexpr qint64 kMaxConfigurationBytes = 64 * 1024;

// The file's text as lines: a byte-order mark selects the encoding (UTF-8 without one); lines
// end at CR LF, LF or CR, and a final line end adds no empty line.
QStringList configurationLines(const QByteArray &bytes);

// A decimal integer, an optional sign then digits; spaces around it are allowed.
std::optional<int> parseDecimal(const QString &text);
// The index in PedalControlNames of a line naming one of the seven pedal controls; nothing
// for "NA" or anything else.
std::optional<int> pedalControlIndex(const QString &text);
// "T" reversed, "F" not; nothing for any other line.
std::optional<bool> reverseFlag(const QString &text);

// A limit level as its percentage in the file: level x 100 div 1024 + 1, as the limit buttons
// show it (0 is 1, 512 is 51, 1023 is 100).
int limitPercent(int level);
// Back from a percentage (taken as 1..100): the lowest level that shows it for a minimum, the
// highest for a maximum, so a limit saved and loaded keeps its place on the percentage's side
// (a minimum of 0 or 512 and a maximum of 1023 come back as they were).
int minLimitFromPercent(int percent);
int maxLimitFromPercent(int percent);

// The lines of a file laid over the rows of the current layout. Every item is looked up by
// position and is missing when the file is too short to reach it.
class ConfigurationReader {
public:
    struct Item {
        int lineNumber; // counted from 1
        QString text;
    };

    ConfigurationReader(QStringList lines, int numParams, int numPots);

    std::optional<Item> value(int row) const { return inBlock(0, m_rows, row); }
    std::optional<Item> assignment(int row) const { return inBlock(m_rows, m_rows, row); }
    std::optional<Item> reverse(int row) const { return inBlock(2 * m_rows, m_rows, row); }
    std::optional<Item> minimum(int pot) const { return inBlock(3 * m_rows, m_pots, pot); }
    std::optional<Item> maximum(int pot) const { return inBlock(3 * m_rows + m_pots, m_pots, pot); }

    int lineCount() const { return int(m_lines.size()); }
    int expectedLines() const { return 3 * m_rows + 2 * m_pots; }
    // A file of another length was saved for another effect or another layout of this one: its
    // lines would fall on the wrong rows.
    bool fitsLayout() const { return lineCount() == expectedLines(); }

    // The message that refuses a load for an item that should be a number and is not.
    static QString badNumberMessage(const Item &item);

private:
    // Item `index` of the block of `size` lines that starts at line `first` (from 0).
    std::optional<Item> inBlock(int first, int size, int index) const;

    QStringList m_lines;
    int m_rows;
    int m_pots;
};

} // namespace tovel
