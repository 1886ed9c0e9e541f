#pragma once

// Shared by the fuzz targets: an invariant that fails stops the run with its text, so libFuzzer
// (or the corpus replay) keeps the input that broke it.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

namespace tovel::fuzz {

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Takes the first byte off the input as a choice (0 when the input is empty).
inline quint8 takeByte(const uint8_t *&data, size_t &size)
{
    if (size == 0)
        return 0;
    const quint8 b = *data;
    ++data;
    --size;
    return b;
}

} // namespace tovel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
