// The catalogue's text: list resources read as lines, effect names turned into resource
// names, and information pages decoded for the viewer.

#include "catalogue/effectresourcename.h"
#include "catalogue/infopagetext.h"
#include "catalogue/resourcetext.h"
#include "fuzz/fuzzcheck.h"

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);

    const QString text = decodeResourceText(bytes);
    const QStringList lines = splitLines(text);
    qsizetype characters = 0;
    for (const QString &line : lines) {
        FUZZ_CHECK(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
        characters += line.size();
        const QString resource = EffectResourceName(line);
        FUZZ_CHECK(!resource.contains(QLatin1Char('/')) || line.contains(QLatin1Char('/')));
    }
    FUZZ_CHECK(characters <= text.size());

    const QString page = decodeInfoPage(bytes);
    Q_UNUSED(page);
    // One character a byte: windows-1252 is a single-byte code.
    FUZZ_CHECK(fromWindows1252(bytes).size() == bytes.size());
    return 0;
}
