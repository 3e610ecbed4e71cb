// libFuzzer target: any bytes a user may import as a channel playlist.

#include "TAVO_mgr_playlist.h"

#include "fuzz_file.h"

namespace {

QString entryAtTheBox(const TAVO_mgr_channel &)
{
    return QStringLiteral("http://box/");
}

QList<TAVO_mgr_channel> readBack(const QList<TAVO_mgr_channel> &channels)
{
    QStringList errors;
    const QByteArray written = TAVO_mgr_playlist::write(channels, entryAtTheBox, &errors);
    // A list the reader accepted must always be written, as a playlist the reader accepts.
    if (!errors.isEmpty())
        __builtin_trap();
    const QList<TAVO_mgr_channel> read = TAVO_mgr_playlist::read(written, &errors);
    if (!errors.isEmpty())
        __builtin_trap();
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringList errors;
    const QList<TAVO_mgr_channel> channels = TAVO_mgr_playlist::read(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)), &errors);
    if (channels.isEmpty())
        return 0;
    // Writing may change a name once (a quote the format cannot carry), never again after that.
    const QList<TAVO_mgr_channel> once = readBack(channels);
    if (readBack(once) != once)
        __builtin_trap();
    return 0;
}
