// style.txt: the chosen look's number.

#include "fuzz/fuzzcheck.h"
#include "look/lookchoice.h"

using namespace tovel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::optional<int> look = parseLookChoice(fuzz::bytesOf(data, size));
    if (look) {
        // What the editor writes back reads as the same choice.
        FUZZ_CHECK(parseLookChoice(QByteArray::number(*look)) == look);
    }
    return 0;
}
