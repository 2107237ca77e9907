// Fuzzes the accounts-file reader. Whatever it accepts must survive a round
// trip: written and read again it is the same list, and written again the same text.
#include "AccountsFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto list = AccountsFile::decode(bytes);
    if (!list)
        return 0;
    const QByteArray written = AccountsFile::encode(*list);
    const auto again = AccountsFile::decode(written);
    if (!again || !(*again == *list))
        std::abort();
    if (AccountsFile::encode(*again) != written)
        std::abort();
    return 0;
}
