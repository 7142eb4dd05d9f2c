// The settings file and the application description files of the registry: XML and
// binary property lists as PropertyList::parse reads them.
#include "FuzzSupport.h"

#include "core/shell/InputLimits.h"
#include "core/preferences/UserDefaults.h"

using namespace ostrevane;

namespace {

// What the limits measured before parsing bounds what the parser built.
int measuredDepth(const QByteArray& bytes)
{
    if (!InputLimits::isBinaryPropertyList(bytes))
        return InputLimits::xmlDepth(bytes);
    const std::optional<InputLimits::BinaryShape> shape = InputLimits::binaryPropertyListShape(bytes);
    if (!shape)
        fuzz::fail("a binary property list parsed that the limits could not measure");
    return shape->depth;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const std::optional<QVariant> parsed = PropertyList::parse(bytes);
    if (!parsed)
        return 0;
    if (fuzz::depthOf(*parsed) > measuredDepth(bytes))
        fuzz::fail("the parser built a value nested deeper than measured");
    // What we write we must read back, and a second round changes nothing.
    const std::optional<QByteArray> written = PropertyList::toXml(*parsed);
    if (!written)
        return 0; // values the format cannot carry again (such as UIDs) are refused, not lost silently
    const std::optional<QVariant> reread = PropertyList::parse(*written);
    if (!reread)
        fuzz::fail("our own XML did not parse");
    if (PropertyList::toXml(*reread) != written)
        fuzz::fail("a second write differs from the first");
    return 0;
}
