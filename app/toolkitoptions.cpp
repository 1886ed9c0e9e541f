#include "app/toolkitoptions.h"

#include <algorithm>
#include <iterator>

namespace tovel {

namespace {

struct ToolkitOption {
    const char *name;
    bool takesValue;
};

// The options QGuiApplication and QApplication read (with one dash or two), X11's included.
constexpr ToolkitOption kToolkitOptions[] = {
    {"platform", true},     {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},     {"qwindowtitle", true}, {"qmljsdebugger", true},
    {"session", true},      {"display", true},            {"geometry", true},     {"title", true},
    {"icon", true},         {"name", true},               {"style", true},        {"stylesheet", true},
    {"reverse", false},     {"widgetcount", false},       {"nograb", false},      {"dograb", false},
    {"sync", false},        {"testability", false},
};

} // namespace

QStringList withoutToolkitOptions(const QStringList &arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (i == 0 || !arg.startsWith(QLatin1Char('-'))) {
            kept.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) { // the rest are no options
            kept.append(arguments.mid(i));
            break;
        }
        const QString word = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
        const QString name = word.section(QLatin1Char('='), 0, 0);
        const auto *option = std::find_if(std::begin(kToolkitOptions), std::end(kToolkitOptions),
                                          [&](const ToolkitOption &o) { return name == QLatin1String(o.name); });
        if (option == std::end(kToolkitOptions)) {
            kept.append(arg);
            continue;
        }
        // "-style fusion" takes the next argument; "-style=fusion" carries its value.
        if (option->takesValue && !word.contains(QLatin1Char('=')))
            ++i;
    }
    return kept;
}

QStringList argumentList(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list.append(QString::fromLocal8Bit(argv[i]));
    return list;
}

} // namespace tovel
