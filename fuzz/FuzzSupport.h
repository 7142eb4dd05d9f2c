#pragma once

#include <QByteArray>
#include <QVariant>

#include <cstddef>
#include <cstdint>

namespace ostrevane::fuzz {

// The fuzzer's input as bytes (no copy; valid during the call).
QByteArray bytesOf(const std::uint8_t* data, std::size_t size);

// How deep a parsed value nests: 1 for a scalar, one more per array or dictionary.
int depthOf(const QVariant& value);

// Ends the run as a finding (libFuzzer keeps the input) with a message.
[[noreturn]] void fail(const char* what);

} // namespace ostrevane::fuzz

// Every fuzzer starts with the one QCoreApplication the Qt parts expect (image plugins,
// locale), made here.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
