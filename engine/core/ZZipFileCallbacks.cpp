#include "ZZipFileCallbacks.h"

#include <climits>

#include "ZResource.h"

zlib_filefunc_def ZZipFileCallbacks::table(ZResource** opened) {
    zlib_filefunc_def functions;
    functions.zopen_file = openFile;
    functions.zread_file = readFile;
    functions.zwrite_file = writeFile;
    functions.ztell_file = tellFile;
    functions.zseek_file = seekFile;
    functions.zclose_file = closeFile;
    functions.zerror_file = testError;
    functions.opaque = opened;
    return functions;
}

voidpf ZCALLBACK ZZipFileCallbacks::openFile(voidpf opaque, const char* filename, int mode) {
    bool reading = (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ ||
                   (mode & ZLIB_FILEFUNC_MODE_EXISTING);
    if (!reading || !filename) return nullptr;
    ZResource* handle = new ZResource();
    if (handle->open(filename, ZResourceModeRead) != ZResourceOk) {
        delete handle;
        return nullptr;
    }
    if (opaque) *static_cast<ZResource**>(opaque) = handle;
    return handle;
}

uLong ZCALLBACK ZZipFileCallbacks::readFile(voidpf, voidpf stream, void* buffer, uLong size) {
    ZResource* handle = static_cast<ZResource*>(stream);
    return handle && handle->read(buffer, size) == ZResourceOk ? size : 0;
}

uLong ZCALLBACK ZZipFileCallbacks::writeFile(voidpf, voidpf, const void*, uLong) {
    return 0;
}

long ZCALLBACK ZZipFileCallbacks::tellFile(voidpf, voidpf stream) {
    ZResource* handle = static_cast<ZResource*>(stream);
    int position = 0;
    if (handle && handle->tell(position) != ZResourceOk) position = 0;
    return position;
}

long ZCALLBACK ZZipFileCallbacks::seekFile(voidpf, voidpf stream, uLong offset, int origin) {
    ZResource* handle = static_cast<ZResource*>(stream);
    ZResourceWhence whence;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            whence = ZResourceWhenceSet;
            break;
        case ZLIB_FILEFUNC_SEEK_CUR:
            whence = ZResourceWhenceCurrent;
            break;
        case ZLIB_FILEFUNC_SEEK_END:
            whence = ZResourceWhenceEnd;
            break;
        default:
            return -1;
    }
    // The library steps back from the current place with an offset wrapped into the unsigned
    // type, so that one is taken as signed.
    long signedOffset = static_cast<long>(offset);
    bool fits = whence == ZResourceWhenceCurrent
                    ? signedOffset >= INT_MIN && signedOffset <= INT_MAX
                    : offset <= uLong(INT_MAX);
    // A failed seek is passed on: reading on from the old place would misread the archive.
    if (!handle || !fits || handle->seek(whence, static_cast<int>(signedOffset)) != ZResourceOk)
        return -1;
    return 0;
}

int ZCALLBACK ZZipFileCallbacks::closeFile(voidpf opaque, voidpf stream) {
    ZResource** opened = static_cast<ZResource**>(opaque);
    if (opened && *opened == stream) *opened = nullptr;
    delete static_cast<ZResource*>(stream);
    return 0;
}

int ZCALLBACK ZZipFileCallbacks::testError(voidpf, voidpf) {
    return 0;
}
