#include "FuzzSupport.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ostrevane::fuzz {

QByteArray bytesOf(const std::uint8_t* data, std::size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

int depthOf(const QVariant& value)
{
    int below = 0;
    if (value.typeId() == QMetaType::QVariantList)
        for (const QVariant& element : value.toList())
            below = std::max(below, depthOf(element));
    else if (value.typeId() == QMetaType::QVariantMap)
        for (const QVariant& element : value.toMap())
            below = std::max(below, depthOf(element));
    return below + 1;
}

void fail(const char* what)
{
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

} // namespace ostrevane::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static int argc = 1;
    static char name[] = "ostrevane-fuzzer";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
    return 0;
}
