#include "params/effectrows.h"

#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "core/seams.h"

namespace tovel {

QString EffectRows::spokenName(int row) const
{
    if (row < 0 || row >= kMaxRows)
        return QString();
    const QString own = name[row].trimmed();
    if (own.isEmpty())
        return QStringLiteral("Row %1").arg(row + 1);
    // Two rows of one name are told apart by their number.
    for (int q = 0; q < layout.NumParams; ++q)
        if (q != row && name[q].trimmed() == own)
            return own + QStringLiteral(" (row %1)").arg(row + 1);
    return own;
}

EffectRows loadEffectRows(CatalogueLoader &loader, const QString &effect, Console &console)
{
    EffectRows rows;
    rows.effect = effect;
    const QString base = EffectResourceName(effect);
    if (!loader.LoadListResource(base + QStringLiteral("_ctrls"))) {
        rows.problem = loader.error();
        return rows;
    }
    const ControlLayout layout = ControlLayout::fromLines(loader.CurrentList());
    if (!layout.problem.isEmpty()) {
        rows.problem = layout.problem;
        return rows;
    }
    console.printToConsole(QStringLiteral("num of pots: ") + QString::number(layout.NumPots));
    console.printToConsole(QStringLiteral("num of switches: ") + QString::number(layout.NumSwitches));
    console.printToConsole(QStringLiteral("num of multi switch: ") + QString::number(layout.NumMultiSwitches));
    for (int p = 0; p < layout.LinesPresent; ++p)
        console.printToConsole(layout.ParamLines.at(p));
    rows.layout = layout;

    console.printToConsole(QStringLiteral("resource name: ") + base);
    if (!loader.LoadListResource(base)) {
        rows.problem = loader.error();
        return rows;
    }
    const QStringList &lines = loader.CurrentList();
    const QString program = lines.isEmpty() ? QString() : lines.first();
    console.printToConsole(QStringLiteral("content: ") + program);
    console.printToConsole(QStringLiteral("file content size: ") + QString::number(program.size() / 2));
    const QStringList addresses = paramAddressesFromProgram(program);
    for (int p = 0; p < kMaxRows; ++p) {
        rows.ParamAddress[p] = addresses.at(p);
        console.printToConsole(QStringLiteral("parameter address: ") + rows.ParamAddress[p]);
    }
    rows.complete = true;

    const int pots = std::min(layout.NumPots, layout.NumParams);
    const int switchesEnd = std::min(layout.NumPots + layout.NumSwitches, layout.NumParams);
    for (int p = 0; p < layout.NumParams; ++p) {
        const QString &line = layout.ParamLines.at(p);
        if (p < pots) {
            rows.name[p] = line;
        } else if (p < switchesEnd) {
            const SwitchLine s = splitSwitchLine(line);
            rows.name[p] = s.name;
            rows.SwitchOffText[p] = s.offText;
            rows.SwitchOnText[p] = s.onText;
            console.printToConsole(s.offText);
            console.printToConsole(s.onText);
        } else {
            const MultiSwitchLine m = splitMultiSwitchLine(line);
            rows.name[p] = m.name;
            rows.options[p] = m.options;
            rows.OptionCount[p] = int(m.options.size());
            if (!m.options.isEmpty())
                console.printToConsole(line.mid(line.indexOf(QLatin1Char(';')) + 1));
            for (const QString &option : m.options)
                console.printToConsole(option);
        }
    }
    return rows;
}

} // namespace tovel
